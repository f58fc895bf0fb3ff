// Message boxes: an SDL box with a display; headless, a line on standard error and the
// default button at once. Every box is recorded for tests.
#include "platform/win32/win32_sdl.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

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

// The answer of a box closed without a choice: Cancel, else No, else Abort, else its only
// button.
int CancelAnswerOf(const std::vector<Button>& buttons) {
    for (int id : {IDCANCEL, IDNO, IDABORT})
        for (const Button& b : buttons)
            if (b.id == id) return id;
    return buttons.front().id;
}

// What the box's thread and the waiting caller share; either may be the last to let go.
struct BoxRun {
    std::mutex lock;
    std::condition_variable done;
    bool finished = false;
    int answer = 0;
};
} // namespace

int Win32RunBox(std::function<int()> show, int cancelAnswer) {
    if (Win32QuitRequested()) return cancelAnswer;
    auto run = std::make_shared<BoxRun>();
    std::thread([run, show = std::move(show)] {
        int answer = show();
        std::lock_guard<std::mutex> hold(run->lock);
        run->answer = answer;
        run->finished = true;
        run->done.notify_all();
    }).detach();
    std::unique_lock<std::mutex> hold(run->lock);
    while (!run->finished) {
        run->done.wait_for(hold, std::chrono::milliseconds(20));
        if (!run->finished && Win32QuitRequested()) return cancelAnswer;
    }
    return run->answer;
}

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
        int cancel = CancelAnswerOf(buttons);
        std::vector<SDL_MessageBoxButtonData> data;
        for (size_t i = 0; i < buttons.size(); ++i) {
            Uint32 flags = 0;
            if (i == def) flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
            if (buttons[i].id == cancel) flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
            data.push_back({flags, buttons[i].id, buttons[i].label});
        }
        UINT icon = type & 0xF0;
        Uint32 kind = icon == MB_ICONHAND         ? SDL_MESSAGEBOX_ERROR
                      : icon == MB_ICONEXCLAMATION ? SDL_MESSAGEBOX_WARNING
                                                   : SDL_MESSAGEBOX_INFORMATION;
        // The box runs on its own thread, which may outlive this call: it keeps copies.
        result = Win32RunBox(
            [data, kind, title = std::string(c), message = std::string(t),
             window = Win32SdlWindow(owner), fallback = result] {
                SDL_MessageBoxData box{};
                box.flags = kind;
                box.window = window;
                box.title = title.c_str();
                box.message = message.c_str();
                box.numbuttons = static_cast<int>(data.size());
                box.buttons = data.data();
                int pressed = -1;
                return SDL_ShowMessageBox(&box, &pressed) == 0 && pressed >= 0 ? pressed
                                                                                 : fallback;
            },
            cancel);
    }
    g_boxes.push_back({t, c, type, result});
    return result;
}

const std::vector<PlatformMessageBoxRecord>& PlatformMessageBoxes() { return g_boxes; }
void PlatformClearMessageBoxes() { g_boxes.clear(); }

void PlatformSetMessageBoxAnswer(int answer) {
    g_answer = answer;
}
