// Message boxes: an SDL box with a display; headless, a line on standard error and the
// default button at once. Every box is recorded for tests.
#include "platform/win32/win32_sdl.h"

#include <cstdio>

namespace {
std::vector<PlatformMessageBoxRecord> g_boxes;
int g_answer = 0;

struct Button {
    int id;
    const char* label;
};

std::vector<Button> ButtonsOf(UINT type) {
    switch (type & 0x0F) {
    case MB_OKCANCEL: return {{IDOK, "OK"}, {IDCANCEL, "Cancel"}};
    case MB_ABORTRETRYIGNORE: return {{IDABORT, "Abort"}, {IDRETRY, "Retry"}, {IDIGNORE, "Ignore"}};
    case MB_YESNOCANCEL: return {{IDYES, "Yes"}, {IDNO, "No"}, {IDCANCEL, "Cancel"}};
    case MB_YESNO: return {{IDYES, "Yes"}, {IDNO, "No"}};
    case MB_RETRYCANCEL: return {{IDRETRY, "Retry"}, {IDCANCEL, "Cancel"}};
    default: return {{IDOK, "OK"}};
    }
}
} // namespace

int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type) {
    std::vector<Button> buttons = ButtonsOf(type);
    size_t def = (type & MB_DEFBUTTON3) ? 2 : (type & MB_DEFBUTTON2) ? 1 : 0;
    if (def >= buttons.size()) def = 0;
    int result = buttons[def].id;
    const char* t = text ? text : "";
    const char* c = caption ? caption : "Error";

    if (PlatformIsHeadless()) {
        for (const Button& b : buttons)
            if (b.id == g_answer) result = g_answer;
        fprintf(stderr, "%s: %s\n", c, t);
        fflush(stderr);
    } else {
        std::vector<SDL_MessageBoxButtonData> data;
        for (size_t i = 0; i < buttons.size(); ++i) {
            Uint32 flags = 0;
            if (i == def) flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
            if (buttons[i].id == IDCANCEL || buttons[i].id == IDNO)
                flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
            data.push_back({flags, buttons[i].id, buttons[i].label});
        }
        UINT icon = type & 0xF0;
        SDL_MessageBoxData box{};
        box.flags = icon == MB_ICONHAND         ? SDL_MESSAGEBOX_ERROR
                    : icon == MB_ICONEXCLAMATION ? SDL_MESSAGEBOX_WARNING
                                                 : SDL_MESSAGEBOX_INFORMATION;
        box.window = Win32SdlWindow(owner);
        box.title = c;
        box.message = t;
        box.numbuttons = static_cast<int>(data.size());
        box.buttons = data.data();
        int pressed = -1;
        if (SDL_ShowMessageBox(&box, &pressed) == 0 && pressed >= 0) result = pressed;
    }
    g_boxes.push_back({t, c, type, result});
    return result;
}

const std::vector<PlatformMessageBoxRecord>& PlatformMessageBoxes() { return g_boxes; }
void PlatformClearMessageBoxes() { g_boxes.clear(); }

void PlatformSetMessageBoxAnswer(int answer) {
    g_answer = answer;
}
