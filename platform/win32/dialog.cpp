// Modal dialogs over registered templates. The dialog and its controls are windows of the layer
// (records without a window of their own) whose procedures keep the controls' state and hand
// the dialog's messages to the program's dialog procedure. With a display the dialog is drawn
// with Dear ImGui in an SDL window and OpenGL context of its own; headless, it is answered.
#include "platform/win32/dialog.h"

#include "platform/win32/win32_sdl.h"

#include <imgui.h>
#include <backends/imgui_impl_opengl3.h>
#include <backends/imgui_impl_sdl.h>

#include <algorithm>
#include <cfloat>
#include <cstdio>
#include <cstring>
#include <map>
#include <strings.h>

namespace {

struct Bitmap {
    int width = 0, height = 0;
    std::vector<uint8_t> rgba;
};

std::map<int, PlatformDialogTemplate> g_templates;
std::map<UINT, std::string> g_strings;
std::map<int, Bitmap> g_bitmaps;
std::function<void(HWND)> g_hook;

struct Item {
    std::string text;
    LPARAM data = 0;
};

struct Control {
    PlatformDialogControl source;
    std::string shown; // the text without its mnemonic marks
    RECT pixels{};
    HWND hwnd = nullptr;
    bool enabled = true;
    std::vector<Item> items; // drop-down lists
    int selected = -1;
};

struct Dialog {
    HWND hwnd = nullptr;
    DLGPROC proc = nullptr;
    PlatformDialogTemplate source;
    std::vector<Control> controls;
    bool ended = false;
    INT_PTR result = 0;
};

// Open dialogs, innermost last.
std::vector<Dialog*> g_open;

constexpr const char* kDialogClass = "PlatformDialog";
constexpr const char* kControlClass = "PlatformDialogControl";

Dialog* DialogOf(HWND hwnd) {
    for (Dialog* d : g_open)
        if (d->hwnd == hwnd) return d;
    return nullptr;
}

Control* ControlOf(HWND hwnd) {
    if (!hwnd) return nullptr;
    for (Dialog* d : g_open)
        for (Control& c : d->controls)
            if (c.hwnd == hwnd) return &c;
    return nullptr;
}

Control* ControlById(Dialog* d, int id) {
    if (!d) return nullptr;
    for (Control& c : d->controls)
        if (c.source.id == id) return &c;
    return nullptr;
}

bool IsButton(const Control& c) {
    return c.source.kind == PlatformDialogControlKind::DefaultPushButton ||
           c.source.kind == PlatformDialogControlKind::PushButton;
}

// '&' marks the next character as the mnemonic; "&&" is a plain '&'.
std::string WithoutMnemonics(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size()) ++i;
        out += text[i];
    }
    return out;
}

size_t CopyText(const std::string& text, char* buffer, size_t size) {
    if (!buffer || size == 0) return 0;
    size_t n = std::min(text.size(), size - 1);
    memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return n;
}

LRESULT ListMessage(Control& c, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto count = static_cast<intptr_t>(c.items.size());
    const auto index = static_cast<intptr_t>(wParam);
    const bool valid = index >= 0 && index < count;
    switch (message) {
    case CB_ADDSTRING:
        c.items.push_back({lParam ? reinterpret_cast<const char*>(lParam) : "", 0});
        return count;
    case CB_GETCOUNT: return count;
    case CB_GETCURSEL: return c.selected;
    case CB_SETCURSEL: c.selected = valid ? int(index) : -1; return valid ? index : CB_ERR;
    case CB_GETLBTEXT:
        // The caller's buffer holds the item's text and its terminator.
        if (!valid || !lParam) return CB_ERR;
        return LRESULT(CopyText(c.items[size_t(index)].text, reinterpret_cast<char*>(lParam),
                                c.items[size_t(index)].text.size() + 1));
    case CB_RESETCONTENT:
        c.items.clear();
        c.selected = -1;
        return 0;
    case CB_GETITEMDATA: return valid ? c.items[size_t(index)].data : CB_ERR;
    case CB_SETITEMDATA:
        if (!valid) return CB_ERR;
        c.items[size_t(index)].data = lParam;
        return 1;
    case CB_FINDSTRINGEXACT: {
        // From the item after `index` (from the start for -1) round to the start, ignoring case.
        if (!lParam || count == 0) return CB_ERR;
        const char* text = reinterpret_cast<const char*>(lParam);
        intptr_t from = valid ? index + 1 : 0;
        for (intptr_t k = 0; k < count; ++k) {
            intptr_t at = (from + k) % count;
            if (strcasecmp(c.items[size_t(at)].text.c_str(), text) == 0) return at;
        }
        return CB_ERR;
    }
    default: return CB_ERR;
    }
}

LRESULT ControlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Control* c = ControlOf(hwnd);
    if (!c) return DefWindowProcA(hwnd, message, wParam, lParam);
    if (message == WM_GETTEXT) {
        const bool list = c->source.kind == PlatformDialogControlKind::DropDownList;
        const bool chosen = c->selected >= 0 && size_t(c->selected) < c->items.size();
        const std::string& text =
            list ? (chosen ? c->items[size_t(c->selected)].text : std::string()) : c->source.text;
        return LRESULT(CopyText(text, reinterpret_cast<char*>(lParam), size_t(wParam)));
    }
    if (message >= CB_ADDSTRING && message <= CB_FINDSTRINGEXACT) {
        if (c->source.kind != PlatformDialogControlKind::DropDownList) return CB_ERR;
        return ListMessage(*c, message, wParam, lParam);
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// Closing the dialog is its cancel command, unless the cancel button is there and disabled.
void Cancel(Dialog* d) {
    Control* cancel = ControlById(d, IDCANCEL);
    if (cancel && !cancel->enabled) return;
    SendMessageA(d->hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                 reinterpret_cast<LPARAM>(cancel ? cancel->hwnd : nullptr));
}

// The dialog's own window procedure: the program's procedure first, then the defaults.
LRESULT DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Dialog* d = DialogOf(hwnd);
    if (!d || !d->proc) return DefWindowProcA(hwnd, message, wParam, lParam);
    if (INT_PTR handled = d->proc(hwnd, message, wParam, lParam)) return handled;
    if (message == WM_CLOSE) {
        Cancel(d);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

void RegisterClasses() {
    for (auto [name, proc] :
         {std::pair{kDialogClass, &DialogProc}, std::pair{kControlClass, &ControlProc}}) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = proc;
        wc.lpszClassName = name;
        RegisterClassA(&wc);
    }
}

int DefaultButton(const Dialog& d) {
    for (const Control& c : d.controls)
        if (c.source.kind == PlatformDialogControlKind::DefaultPushButton) return c.source.id;
    return IDOK;
}

// ---- Drawn on a display ----

int EventWindow(const SDL_Event& e) {
    switch (e.type) {
    case SDL_WINDOWEVENT: return int(e.window.windowID);
    case SDL_KEYDOWN:
    case SDL_KEYUP: return int(e.key.windowID);
    case SDL_TEXTINPUT: return int(e.text.windowID);
    case SDL_MOUSEMOTION: return int(e.motion.windowID);
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: return int(e.button.windowID);
    case SDL_MOUSEWHEEL: return int(e.wheel.windowID);
    default: return -1;
    }
}

// The OpenGL attributes a context is made with; the dialog's are set around its creation only.
struct GlAttributes {
    static constexpr SDL_GLattr kNames[4] = {SDL_GL_CONTEXT_MAJOR_VERSION,
                                             SDL_GL_CONTEXT_MINOR_VERSION,
                                             SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_FLAGS};
    int values[4] = {};
    void Read() {
        for (int i = 0; i < 4; ++i)
            SDL_GL_GetAttribute(kNames[i], &values[i]);
    }
    void Write() const {
        for (int i = 0; i < 4; ++i)
            SDL_GL_SetAttribute(kNames[i], values[i]);
    }
};

class DrawnDialog {
public:
    explicit DrawnDialog(Dialog& d) : d_(d) {}
    ~DrawnDialog() { Close(); }
    bool Open();
    void Run();

private:
    void Close();
    void AddBitmaps();
    void Frame();
    void Handle(const SDL_Event& e);

    Dialog& d_;
    SDL_Window* window_ = nullptr;
    SDL_GLContext context_ = nullptr;
    SDL_Window* previousWindow_ = nullptr;
    SDL_GLContext previousContext_ = nullptr;
    ImGuiContext* imgui_ = nullptr;
    ImGuiContext* previousImgui_ = nullptr;
    bool sdlBackend_ = false, glBackend_ = false;
    std::string clickThrough_;      // the hint before the back end set it
    std::map<int, int> atlasRects_; // bitmap id -> custom rectangle of the font atlas
    std::vector<SDL_Event> others_; // events of other windows, given back at the end
};

bool DrawnDialog::Open() {
    previousWindow_ = SDL_GL_GetCurrentWindow();
    previousContext_ = SDL_GL_GetCurrentContext();
    RECT size = PlatformDialogUnitsToPixels(d_.source, {0, 0, d_.source.width, d_.source.height});
    window_ = SDL_CreateWindow(d_.source.caption.c_str(), SDL_WINDOWPOS_CENTERED,
                               SDL_WINDOWPOS_CENTERED, int(size.right), int(size.bottom),
                               SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_ALWAYS_ON_TOP);
    if (!window_) return false;
    GlAttributes saved;
    saved.Read();
    GlAttributes{{3, 3, SDL_GL_CONTEXT_PROFILE_CORE, 0}}.Write();
    context_ = SDL_GL_CreateContext(window_);
    saved.Write();
    if (!context_ || SDL_GL_MakeCurrent(window_, context_) != 0) return false;
    previousImgui_ = ImGui::GetCurrentContext();
    imgui_ = ImGui::CreateContext();
    ImGui::SetCurrentContext(imgui_);
    ImGuiIO& io = ImGui::GetIO();
    io.IniFilename = nullptr; // nothing is written to the working folder
    io.LogFilename = nullptr;
    io.ConfigFlags |= ImGuiConfigFlags_NoMouseCursorChange;
    ImGui::StyleColorsLight();
    ImGuiStyle& style = ImGui::GetStyle();
    style.WindowRounding = style.FrameRounding = style.PopupRounding = 0.0f;
    style.FrameBorderSize = 1.0f;
    style.WindowPadding = ImVec2(0, 0);
    AddBitmaps();
    // The back end sets a hint for every window; the game's windows get theirs back at the end.
    const char* clickThrough = SDL_GetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH);
    clickThrough_ = clickThrough ? clickThrough : "";
    sdlBackend_ = ImGui_ImplSDL2_InitForOpenGL(window_, context_);
    glBackend_ = sdlBackend_ && ImGui_ImplOpenGL3_Init("#version 150");
    if (!glBackend_) return false;
    SDL_ShowWindow(window_);
    SDL_RaiseWindow(window_);
    return true;
}

// Bitmaps travel in the font atlas, so the renderer's one texture draws them too.
void DrawnDialog::AddBitmaps() {
    ImFontAtlas* atlas = ImGui::GetIO().Fonts;
    int widest = 0;
    for (const Control& c : d_.controls) {
        auto it = g_bitmaps.find(c.source.bitmap);
        if (c.source.kind != PlatformDialogControlKind::Bitmap || it == g_bitmaps.end() ||
            atlasRects_.count(c.source.bitmap))
            continue;
        atlasRects_[c.source.bitmap] =
            atlas->AddCustomRectRegular(it->second.width, it->second.height);
        widest = std::max(widest, it->second.width);
    }
    if (atlasRects_.empty()) return;
    atlas->TexDesiredWidth = 512;
    while (atlas->TexDesiredWidth < widest + 2)
        atlas->TexDesiredWidth *= 2;
    atlas->Build();
    unsigned char* pixels = nullptr;
    int width = 0, height = 0;
    atlas->GetTexDataAsRGBA32(&pixels, &width, &height);
    for (auto [id, index] : atlasRects_) {
        const Bitmap& b = g_bitmaps[id];
        const ImFontAtlasCustomRect* r = atlas->GetCustomRectByIndex(index);
        if (!r->IsPacked()) continue;
        for (int y = 0; y < b.height; ++y)
            memcpy(pixels + (size_t(r->Y + y) * size_t(width) + r->X) * 4,
                   b.rgba.data() + size_t(y) * size_t(b.width) * 4, size_t(b.width) * 4);
    }
}

void DrawnDialog::Close() {
    if (glBackend_) ImGui_ImplOpenGL3_Shutdown();
    if (sdlBackend_) {
        ImGui_ImplSDL2_Shutdown();
        SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH,
                    clickThrough_.empty() ? nullptr : clickThrough_.c_str());
    }
    glBackend_ = sdlBackend_ = false;
    if (imgui_) {
        ImGui::DestroyContext(imgui_);
        ImGui::SetCurrentContext(previousImgui_);
        imgui_ = nullptr;
    }
    if (context_) SDL_GL_DeleteContext(context_);
    if (window_) SDL_DestroyWindow(window_);
    context_ = nullptr;
    window_ = nullptr;
    // The context that was current before (the game window's) is current again.
    if (previousContext_) SDL_GL_MakeCurrent(previousWindow_, previousContext_);
    previousContext_ = nullptr;
    for (SDL_Event& e : others_)
        SDL_PushEvent(&e);
    others_.clear();
}

void DrawnDialog::Handle(const SDL_Event& e) {
    if (EventWindow(e) != int(SDL_GetWindowID(window_))) {
        others_.push_back(e);
        return;
    }
    const bool popup = ImGui::IsPopupOpen("", ImGuiPopupFlags_AnyPopup);
    if (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_CLOSE) {
        SendMessageA(d_.hwnd, WM_CLOSE, 0, 0);
    } else if (e.type == SDL_KEYDOWN && !popup && e.key.keysym.sym == SDLK_ESCAPE) {
        Cancel(&d_);
    } else if (e.type == SDL_KEYDOWN && !popup &&
               (e.key.keysym.sym == SDLK_RETURN || e.key.keysym.sym == SDLK_KP_ENTER)) {
        PlatformDialogPress(d_.hwnd, DefaultButton(d_));
    }
    ImGui_ImplSDL2_ProcessEvent(&e);
}

void DrawnDialog::Frame() {
    ImGui_ImplOpenGL3_NewFrame();
    ImGui_ImplSDL2_NewFrame();
    ImGui::NewFrame();
    ImGuiIO& io = ImGui::GetIO();
    ImGui::SetNextWindowPos(ImVec2(0, 0));
    ImGui::SetNextWindowSize(io.DisplaySize);
    ImGui::Begin("##dialog", nullptr,
                 ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove |
                     ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoBringToFrontOnFocus);
    int pressed = 0, chosenList = 0, chosenItem = -1;
    for (size_t i = 0; i < d_.controls.size(); ++i) {
        Control& c = d_.controls[i];
        const ImVec2 at(float(c.pixels.left), float(c.pixels.top));
        const ImVec2 size(float(c.pixels.right - c.pixels.left),
                          float(c.pixels.bottom - c.pixels.top));
        ImGui::PushID(int(i));
        ImGui::BeginDisabled(!c.enabled);
        ImGui::SetCursorPos(at);
        switch (c.source.kind) {
        case PlatformDialogControlKind::Label: ImGui::TextUnformatted(c.shown.c_str()); break;
        case PlatformDialogControlKind::Bitmap: {
            auto it = atlasRects_.find(c.source.bitmap);
            ImFontAtlas* atlas = io.Fonts;
            if (it == atlasRects_.end()) break;
            ImVec2 uv0, uv1;
            atlas->CalcCustomRectUV(atlas->GetCustomRectByIndex(it->second), &uv0, &uv1);
            ImGui::Image(atlas->TexID, size, uv0, uv1);
            break;
        }
        case PlatformDialogControlKind::DefaultPushButton:
        case PlatformDialogControlKind::PushButton: {
            const bool def = c.source.kind == PlatformDialogControlKind::DefaultPushButton;
            // A label as wide as its button gives up the padding rather than letters.
            const ImVec2 padding = ImGui::GetStyle().FramePadding;
            const float room = (size.x - ImGui::CalcTextSize(c.shown.c_str()).x) / 2;
            ImGui::PushStyleVar(ImGuiStyleVar_FrameBorderSize, def ? 2.0f : 1.0f);
            ImGui::PushStyleVar(ImGuiStyleVar_FramePadding,
                                ImVec2(std::clamp(room, 0.0f, padding.x), padding.y));
            if (ImGui::Button(c.shown.c_str(), size)) pressed = c.source.id;
            ImGui::PopStyleVar(2);
            break;
        }
        case PlatformDialogControlKind::DropDownList: {
            // The control's height is the dropped list's.
            const float field = ImGui::GetFrameHeight();
            ImGui::SetNextItemWidth(size.x);
            ImGui::SetNextWindowSizeConstraints(ImVec2(0, 0),
                                                ImVec2(FLT_MAX, std::max(field, size.y - field)));
            const bool chosen = c.selected >= 0 && size_t(c.selected) < c.items.size();
            if (ImGui::BeginCombo("", chosen ? c.items[size_t(c.selected)].text.c_str() : "")) {
                for (size_t k = 0; k < c.items.size(); ++k) {
                    ImGui::PushID(int(k));
                    if (ImGui::Selectable(c.items[k].text.c_str(), int(k) == c.selected)) {
                        chosenList = c.source.id;
                        chosenItem = int(k);
                    }
                    if (int(k) == c.selected) ImGui::SetItemDefaultFocus();
                    ImGui::PopID();
                }
                ImGui::EndCombo();
            }
            break;
        }
        }
        ImGui::EndDisabled();
        ImGui::PopID();
    }
    ImGui::End();
    ImGui::Render();
    ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
    SDL_GL_SwapWindow(window_);
    // The procedure runs after the frame, so the lists it refills are drawn whole next frame.
    if (chosenItem >= 0) PlatformDialogChoose(d_.hwnd, chosenList, chosenItem);
    if (pressed) PlatformDialogPress(d_.hwnd, pressed);
}

void DrawnDialog::Run() {
    while (!d_.ended) {
        if (Win32QuitRequested()) {
            // A quit request closes the dialog; one that stays open ends with 0.
            SendMessageA(d_.hwnd, WM_CLOSE, 0, 0);
            if (!d_.ended) d_.result = 0;
            d_.ended = true;
            break;
        }
        SDL_Event e;
        while (SDL_PollEvent(&e))
            Handle(e);
        if (d_.ended) break;
        Frame();
        SDL_WaitEventTimeout(nullptr, 30);
    }
}

} // namespace

void PlatformRegisterDialog(int id, PlatformDialogTemplate dialog) {
    g_templates[id] = std::move(dialog);
}

void PlatformRegisterString(UINT id, std::string text) {
    g_strings[id] = std::move(text);
}

void PlatformRegisterBitmap(int id, int width, int height, std::vector<uint8_t> rgba) {
    if (width <= 0 || height <= 0 || rgba.size() != size_t(width) * size_t(height) * 4) return;
    g_bitmaps[id] = Bitmap{width, height, std::move(rgba)};
}

void PlatformSetDialogHook(std::function<void(HWND)> hook) {
    g_hook = std::move(hook);
}

// Base units of the font the dialog is drawn with (Dear ImGui's own, 7 by 13 pixels) at the
// template's 8 points, in proportion for other sizes.
RECT PlatformDialogUnitsToPixels(const PlatformDialogTemplate& dialog, const RECT& units) {
    const int points = dialog.pointSize > 0 ? dialog.pointSize : 8;
    const LONG baseX = LONG(7 * points / 8), baseY = LONG(13 * points / 8);
    auto x = [&](LONG v) { return v * baseX / 4; };
    auto y = [&](LONG v) { return v * baseY / 8; };
    return RECT{x(units.left), y(units.top), x(units.right), y(units.bottom)};
}

INT_PTR DialogBoxParamA(HINSTANCE instance, const char* templateName, HWND, DLGPROC proc,
                        LPARAM param) {
    const uintptr_t name = reinterpret_cast<uintptr_t>(templateName);
    auto it = name <= 0xFFFF ? g_templates.find(int(name)) : g_templates.end();
    if (it == g_templates.end() || !proc) {
        SetLastError(it == g_templates.end() ? ERROR_RESOURCE_NAME_NOT_FOUND
                                             : ERROR_INVALID_PARAMETER);
        return -1;
    }
    RegisterClasses();
    auto* d = new Dialog;
    d->source = it->second;
    d->controls.reserve(d->source.controls.size());
    g_open.push_back(d);
    // No window of its own: with a display the drawn dialog has one.
    RECT frame = PlatformDialogUnitsToPixels(d->source, {0, 0, d->source.width, d->source.height});
    d->hwnd =
        CreateWindowExA(0, kDialogClass, d->source.caption.c_str(), WS_CHILD, 0, 0,
                        int(frame.right), int(frame.bottom), nullptr, nullptr, instance, nullptr);
    for (const PlatformDialogControl& source : d->source.controls) {
        Control c;
        c.source = source;
        c.shown = WithoutMnemonics(source.text);
        c.pixels = PlatformDialogUnitsToPixels(
            d->source, {source.x, source.y, source.x + source.width, source.y + source.height});
        c.hwnd = CreateWindowExA(
            0, kControlClass, source.text.c_str(), WS_CHILD | WS_VISIBLE, int(c.pixels.left),
            int(c.pixels.top), int(c.pixels.right - c.pixels.left),
            int(c.pixels.bottom - c.pixels.top), d->hwnd, nullptr, instance, nullptr);
        d->controls.push_back(std::move(c));
    }
    d->proc = proc;
    SendMessageA(d->hwnd, WM_INITDIALOG,
                 reinterpret_cast<WPARAM>(d->controls.empty() ? nullptr : d->controls[0].hwnd),
                 param);
    if (!d->ended) {
        bool drawn = false;
        if (!PlatformIsHeadless()) {
            DrawnDialog shown(*d);
            drawn = shown.Open();
            if (drawn)
                shown.Run();
            else
                fprintf(stderr, "dialog: cannot be shown (%s); answered with its default button\n",
                        SDL_GetError());
        }
        if (!drawn) {
            if (g_hook) g_hook(d->hwnd);
            if (!d->ended) PlatformDialogPress(d->hwnd, DefaultButton(*d));
            // A dialog that its default button does not end is left with 0.
        }
    }
    const INT_PTR result = d->ended ? d->result : 0;
    DestroyWindow(d->hwnd);
    g_open.erase(std::find(g_open.begin(), g_open.end(), d));
    delete d;
    return result;
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
    Dialog* d = DialogOf(dialog);
    if (!d) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    d->ended = true;
    d->result = result;
    return TRUE;
}

HWND GetDlgItem(HWND dialog, int id) {
    Control* c = ControlById(DialogOf(dialog), id);
    return c ? c->hwnd : nullptr;
}

UINT GetDlgItemTextA(HWND dialog, int id, char* buffer, int size) {
    if (!buffer || size <= 0) return 0;
    buffer[0] = '\0';
    HWND control = GetDlgItem(dialog, id);
    if (!control) return 0;
    return UINT(SendMessageA(control, WM_GETTEXT, WPARAM(size), reinterpret_cast<LPARAM>(buffer)));
}

BOOL EnableWindow(HWND hwnd, BOOL enable) {
    Control* c = ControlOf(hwnd);
    if (!c) return FALSE;
    const BOOL wasDisabled = c->enabled ? FALSE : TRUE;
    c->enabled = enable != 0;
    return wasDisabled;
}

BOOL IsWindowEnabled(HWND hwnd) {
    if (Control* c = ControlOf(hwnd)) return c->enabled ? TRUE : FALSE;
    return IsWindow(hwnd);
}

int LoadStringA(HINSTANCE, UINT id, char* buffer, int size) {
    if (!buffer || size <= 0) return 0;
    buffer[0] = '\0';
    auto it = g_strings.find(id);
    return it == g_strings.end() ? 0 : int(CopyText(it->second, buffer, size_t(size)));
}

bool PlatformDialogChoose(HWND dialog, int id, int item) {
    Control* c = ControlById(DialogOf(dialog), id);
    if (!c || !c->enabled || c->source.kind != PlatformDialogControlKind::DropDownList ||
        item < 0 || size_t(item) >= c->items.size())
        return false;
    const int before = c->selected;
    c->selected = item;
    if (before != item)
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(WORD(id), CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(c->hwnd));
    return true;
}

bool PlatformDialogPress(HWND dialog, int id) {
    Control* c = ControlById(DialogOf(dialog), id);
    if (!c || !c->enabled || !IsButton(*c)) return false;
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(WORD(id), BN_CLICKED),
                 reinterpret_cast<LPARAM>(c->hwnd));
    return true;
}
