// Menu items: the five kinds (button, label or picture, slider, list, text or key field), their
// creators from the menu chunk's file items and their default message handling.
#pragma once

#include <cstddef>
#include <cstdint>

#include "shell/resfile.h"

struct TvRaster;
struct MV2MenuInstance;

// Colours of every item kind.
inline constexpr uint32_t kMV2MenuNormal = 0xFFE0E0E0u;
inline constexpr uint32_t kMV2MenuHighlighted = 0xFFFFE000u;
inline constexpr uint32_t kMV2MenuDisabled = 0x7FE0E0E0u;

// Flags of an item, second byte; the low byte is the item's own state.
inline constexpr uint32_t kMV2ItemRedraw = 0x100;
inline constexpr uint32_t kMV2ItemPressed = 0x200;
inline constexpr uint32_t kMV2ItemFocused = 0x400;
inline constexpr uint32_t kMV2ItemDisabled = 0x800;
inline constexpr uint32_t kMV2ItemScrollBarStyle = 0x1000;
inline constexpr uint32_t kMV2ItemStateMask = 0xFF;

// A picture of a menu texture and the part of it where a label's text is centred.
struct MV2MenuImage {
    TvRaster* raster; // none
    float uLeft, vTop, uRight, vBottom;
    float textLeft, textTop, textRight, textBottom;
};
inline constexpr size_t kMV2MenuImageFileSize = 36;

struct MV2MenuButton {
    MV2MenuItemHeader h;
    MV2TextDescriptor text;
};

struct MV2MenuLabel {
    MV2MenuItemHeader h;
    MV2TextDescriptor text;
    MV2MenuImage image;
};

// The drag offset lives in the header's kind word.
struct MV2MenuSlider {
    MV2MenuItemHeader h;
    int32_t minimum, maximum, value;
    MV2MenuImage images[6]; // track, up arrow, down arrow, thumb, spare, fill
    MV2TextDescriptor text;
    uint32_t mode;     // bit 0: step mode
    uint32_t lastStep; // ms of the last arrow step of the scroll-bar style
};
// Low state bits of a slider.
inline constexpr uint32_t kMV2SliderLowerHeld = 1;
inline constexpr uint32_t kMV2SliderRaiseHeld = 2;
inline constexpr uint32_t kMV2SliderActivated = 4;

struct MV2MenuListEntry {
    MV2MenuListEntry* next;
    MV2TextDescriptor descriptor;
    int32_t hasText; // the entry draws `text` (else the descriptor)
    char text[1];    // the rest follows the record
};

struct MV2MenuList {
    MV2MenuItemHeader h;
    int32_t fileValue;
    int32_t count;
    uint32_t selection; // byte 0 chosen, 1 highlighted, 2 first visible
    int32_t scrollBarFlag;
    MV2MenuListEntry* head;
    MV2MenuListEntry* tail;
    MV2MenuSlider* scrollBar;
};
inline constexpr int32_t kMV2ListMaxEntries = 255;
inline constexpr int32_t kMV2ListRowHeight = 20;
inline constexpr int32_t kMV2ScrollBarWidth = 28;
// Low state bits of a list.
inline constexpr uint32_t kMV2ListOpen = 1;
inline constexpr uint32_t kMV2ListPressOnBar = 2;

// The text buffer of capacity + 1 bytes follows the record (MV2MenuFieldText).
struct MV2MenuField {
    MV2MenuItemHeader h;
    int32_t capacity; // 1: a key field
    int32_t word10;
    uint32_t lastTick;
    int32_t length;
    int32_t letters;
    int32_t keyCode;
};
inline constexpr int32_t kMV2FieldMaxCapacity = 255;
inline constexpr uint32_t kMV2FieldEditing = 1;
inline char* MV2MenuFieldText(MV2MenuField* field) {
    return reinterpret_cast<char*>(field) + sizeof(MV2MenuField);
}

// The runtime size of an item of `kind` (a field's capacity from its file item), a multiple
// of 8; 0 for an unknown kind.
size_t MV2MenuItemRuntimeSize(uint32_t kind, uint32_t capacity);
// The field capacity a kind-4 file item gives, at most kMV2FieldMaxCapacity.
int32_t MV2MenuFieldCapacity(const uint8_t* fileItem);

using MV2MenuItemCreator = uint32_t (*)(MV2MenuItemHeader* item, const uint8_t* fileItem);
using MV2MenuItemHandler = int32_t (*)(MV2MenuInstance* instance, int32_t message,
                                       MV2MenuItemHeader* item, const intptr_t* args);

uint32_t MV2MenuButtonCreate(MV2MenuItemHeader* item, const uint8_t* fileItem);
uint32_t MV2MenuLabelCreate(MV2MenuItemHeader* item, const uint8_t* fileItem);
uint32_t MV2MenuSliderCreate(MV2MenuItemHeader* item, const uint8_t* fileItem);
uint32_t MV2MenuListCreate(MV2MenuItemHeader* item, const uint8_t* fileItem);
uint32_t MV2MenuFieldCreate(MV2MenuItemHeader* item, const uint8_t* fileItem);
extern const MV2MenuItemCreator gMV2MenuItemCreators[5];

int32_t MV2MenuButtonHandler(MV2MenuInstance* instance, int32_t message, MV2MenuItemHeader* item,
                             const intptr_t* args);
int32_t MV2MenuLabelHandler(MV2MenuInstance* instance, int32_t message, MV2MenuItemHeader* item,
                            const intptr_t* args);
int32_t MV2MenuSliderHandler(MV2MenuInstance* instance, int32_t message, MV2MenuItemHeader* item,
                             const intptr_t* args);
int32_t MV2MenuListHandler(MV2MenuInstance* instance, int32_t message, MV2MenuItemHeader* item,
                           const intptr_t* args);
int32_t MV2MenuFieldHandler(MV2MenuInstance* instance, int32_t message, MV2MenuItemHeader* item,
                            const intptr_t* args);
extern const MV2MenuItemHandler gMV2MenuItemHandlers[5];

void MV2MenuLabelDraw(MV2MenuInstance* instance, MV2MenuItemHeader* item);
int32_t MV2MenuListCreateScrollBar(MV2MenuInstance* instance, MV2MenuList* list);
bool MV2MenuTextHasHotKey(const MV2TextDescriptor* descriptor, int32_t character);
// The language text id of a key's name, or -1 (codes 141-168 and 171-175).
int32_t MV2MenuKeyNameTextId(int32_t code);
// The text descriptor of a button, label or slider (its id comes from the file); null for
// the other kinds.
MV2TextDescriptor* MV2MenuItemText(MV2MenuItemHeader* item);
