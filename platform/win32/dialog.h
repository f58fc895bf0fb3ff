// The layer's own dialog model: dialog templates, string tables and bitmaps that a program
// registers as it would ship them as resources, and the modal dialog run over them
// (DialogBoxParamA in win32.h). Positions and sizes are in dialog units of the template's font.
#pragma once

#include "platform/win32/win32.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

enum class PlatformDialogControlKind {
    DefaultPushButton, // pressed by Enter, and by a headless run
    PushButton,
    DropDownList, // a combo box whose list only drops down; height: the dropped list's
    Label,
    Bitmap, // shows the registered bitmap `bitmap`
};

struct PlatformDialogControl {
    int id; // -1 for controls that are never asked for
    PlatformDialogControlKind kind;
    std::string text; // '&' marks the mnemonic and is not drawn
    int x, y, width, height;
    int bitmap = 0;
};

struct PlatformDialogTemplate {
    std::string caption;
    std::string font;
    int pointSize;
    int width, height; // the client area; the dialog is centred on the screen
    std::vector<PlatformDialogControl> controls;
};

// Registration replaces an earlier resource of the same id.
void PlatformRegisterDialog(int id, PlatformDialogTemplate dialog);
void PlatformRegisterString(UINT id, std::string text);
// Rows top first, 4 bytes (red, green, blue, alpha) per pixel.
void PlatformRegisterBitmap(int id, int width, int height, std::vector<uint8_t> rgba);

// A rectangle of the dialog in dialog units to pixels (MapDialogRect), by the base units of
// the font the dialog is drawn with at the template's point size.
RECT PlatformDialogUnitsToPixels(const PlatformDialogTemplate& dialog, const RECT& units);

// What a user does, through the same path as the drawn dialog: choosing item `item` of a
// drop-down list selects it and, when the selection changed, notifies CBN_SELCHANGE; pressing
// a button notifies BN_CLICKED. Disabled controls do nothing. False when the dialog has no
// such enabled control (or item).
bool PlatformDialogChoose(HWND dialog, int id, int item);
bool PlatformDialogPress(HWND dialog, int id);

// Test seam: headless, the hook acts on the dialog right after WM_INITDIALOG, as a user
// would; a dialog still open afterwards has its default push button pressed. Null removes it.
void PlatformSetDialogHook(std::function<void(HWND dialog)> hook);
