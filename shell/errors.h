// Error boxes and the game's own message screen: 26 prioritised message slots, each a text of
// the language with up to two choice buttons; slot 25 is the fatal warning, shown in a loop of
// its own until it is dismissed.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr int32_t kMV2MessageSlots = 26;
inline constexpr int32_t kMV2ChoiceSets = 10;
inline constexpr int32_t kMV2FatalSlot = 25;
inline constexpr size_t kMV2FatalTextSize = 1024;
inline constexpr size_t kMV2FileNameSize = 260;
inline constexpr int32_t kMV2MessageTextChars = 1023;
inline constexpr int32_t kMV2MessageTextLines = 20;

struct MV2MessageSlot {
    int32_t textId; // -1 none; -2 and -3 special
    int32_t category;
    int32_t choiceSet;
    int32_t reset; // reset the controls when shown and closed
    int32_t pause; // pause the CD music too
};
extern const MV2MessageSlot kMV2MessageSlotTable[kMV2MessageSlots];

struct MV2ChoiceSet {
    int32_t count;
    int32_t first, second; // button text ids
    int32_t initial;
    int32_t current;
};

struct MV2MessageScreen {
    int32_t on[kMV2MessageSlots];
    int32_t pauseFlag[kMV2MessageSlots];
    int32_t current; // the highest slot on; 0 when none
    int32_t showing;
    int32_t redraw;
    int32_t textId;
    int32_t choiceSet;
    int32_t shownText; // cleared unless the text is meant to stay
    MV2ChoiceSet sets[kMV2ChoiceSets];
    char fatalText[kMV2FatalTextSize + kMV2FileNameSize + 32];
    int32_t pausedGame, pausedSpeech, pausedMusic;
};
extern MV2MessageScreen gMV2Messages;

// The name of the file most recently opened through the engine's file interface.
extern char gMV2LastFileName[kMV2FileNameSize];
void MV2NoteFileName(const char* name);
// Puts the file interface's open behind one that notes each name; undone by the shut-down.
void MV2InstallFileNameRecorder();
void MV2RemoveFileNameRecorder();

// A message box without owner, captioned "Marovant Error !", with an OK button.
int MV2ErrorBox(const char* text);
void MV2ShowMessage(int32_t slot, int32_t on, int32_t pause, const char* format, ...);
void MV2CloseMessage();
int32_t MV2UpdateMessage();
void MV2DrawMessage();
// Draws a text id of the language word-wrapped at the message depth 0.025, centred on x, in
// white; the height used.
int32_t MV2DrawTextIdWrapped(uint32_t textId, int32_t x, int32_t y, int32_t halfWidth, int32_t rhw);
// Lays out and draws a text with the small font; the height used.
int32_t MV2DrawMessageText(const char* text, int32_t x, int32_t y, int32_t width,
                           uint32_t colour);
// The layout alone: the number of lines and, when `lines` is given, each line's text.
int32_t MV2LayoutMessageText(const char* text, int32_t width,
                             char (*lines)[kMV2MessageTextChars + 1]);
// Restores the message screen's starting state (the choice sets' selections included).
void MV2ResetMessages();
