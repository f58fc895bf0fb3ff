#include "framework/misc/terminal.h"

#include "framework/core/framework.h"
#include "framework/core/memory.h"
#include "framework/core/modules.h"
#include "framework/misc/opened.h"

#include <cstdio>
#include <cstring>

const VkGuid CLSID_VkTerminal = {
    0x5D7ED862, 0x3749, 0x11D2, {0xB8, 0x63, 0x00, 0xA0, 0xC9, 0x33, 0xBE, 0x34}};
const VkGuid IID_IVkTerminal = {
    0x5D7ED861, 0x3749, 0x11D2, {0xB8, 0x63, 0x00, 0xA0, 0xC9, 0x33, 0xBE, 0x34}};

namespace {

constexpr uint32_t kRingSize = 4096;
constexpr uint32_t kMaxLine = 256;
constexpr uint32_t kReadSize = 64;
constexpr int32_t kFar = 999; // positions at or above this are not taken from the terminal
constexpr char kEsc = 0x1B;
constexpr char kBell = 7;

// Escape sequences and the text of GetLine, shared by every terminal; each use overwrites it.
char g_text[512];

// One line in the text ring; the circle runs oldest to newest, the newest is the edit line.
struct Line {
    uint32_t start;
    uint32_t length;
    Line* next;
    Line* prev;
};

class Terminal final : public VkObject<IVkTerminal, IID_IVkTerminal> {
public:
    VkResult SetStream(IVkStream* stream) override {
        if (stream) stream->AddRef();
        if (stream_) stream_->Release();
        stream_ = stream;
        return VK_OK;
    }

    VkResult GetStream(IVkStream** out) override {
        *out = stream_;
        return VK_OK;
    }

    VkResult GetLine(const char** out) override {
        *out = nullptr;
        if (!pending_) return VK_OK;
        CopyLine(pending_, g_text);
        *out = g_text;
        return VK_OK;
    }

    VkResult NextLine() override {
        if (!pending_) return VK_E_NOTERMINALDATA;
        pending_ = pending_->next == edit_ ? nullptr : pending_->next;
        return VK_OK;
    }

    VkResult Print(const char* text) override {
        if (!stream_) return VK_E_NOTERMINALDATA;
        if (!text) return VK_E_FAIL;
        int32_t editRow = EditRow(), last;
        MoveTo(editRow, 1);
        Put(kEsc, "[0J");
        int32_t length = static_cast<int32_t>(std::strlen(text));
        if (outRow_ <= editRow) {
            MoveTo(outRow_, outColumn_);
            last = rows_;
        } else {
            MoveTo(editRow, outColumn_);
            last = outColumn_ + length <= columns_ ? editRow + 1 : rows_;
        }
        Put(text, static_cast<uint32_t>(length));
        if (!awaitingSize_) Put(kEsc, "[6n");
        MoveTo(last, 1);
        PutEditLine();
        Put(kEsc, "[0K");
        MoveLeftToCursor();
        return VK_OK;
    }

    VkResult SetOutputPosition(int32_t column, int32_t row) override {
        if (column > kFar || row > kFar) return VK_E_FAIL;
        outColumn_ = column;
        outRow_ = row;
        return VK_OK;
    }

    VkResult Poll() override {
        if (!stream_) return VK_OK;
        if (querySize_) {
            MoveTo(kFar, kFar);
            if (Put(kEsc, "[6n") == 4) {
                querySize_ = false;
                awaitingSize_ = true;
            }
        }
        uint8_t input[kReadSize];
        uint32_t got = 0;
        stream_->Read(input, sizeof input, &got);
        for (uint32_t i = 0; i < got && i < sizeof input; ++i) {
            VkResult res = Key(input[i]);
            if (res < 0) return res;
        }
        return VK_OK;
    }

    VkResult Initialise() override {
        Free();
        columns_ = 80;
        rows_ = 25;
        outColumn_ = 1;
        outRow_ = 25;
        longest_ = cursor_ = used_ = 0;
        querySize_ = true;
        awaitingSize_ = false;
        state_ = 0;
        first_ = second_ = -1;
        ring_ = static_cast<char*>(VkMemAlloc(kRingSize));
        if (!ring_ || VkMemAllocPool(sizeof(Line), 56, &pool_) < 0 ||
            !(edit_ = static_cast<Line*>(pool_->Alloc()))) {
            Free();
            return VK_E_FAIL;
        }
        *edit_ = {0, 0, edit_, edit_};
        history_ = edit_;
        return VK_OK;
    }

    VkResult Redraw() override {
        MoveTo(EditRow(), 1);
        PutEditLine();
        Put(kEsc, "[0J");
        MoveLeftToCursor();
        return VK_OK;
    }

    VkResult DeleteBack() override {
        if (cursor_ == 0) return VK_OK;
        --cursor_;
        RemoveAt(cursor_);
        return Redraw();
    }

    VkResult DeleteAtCursor() override {
        if (cursor_ >= edit_->length) return VK_OK;
        RemoveAt(cursor_);
        return Redraw();
    }

    int32_t InsertChar(const char* c) override {
        if (edit_->length >= kMaxLine || (used_ == kRingSize && !DropOldest())) {
            Put(&kBell, 1);
            return 0;
        }
        for (uint32_t i = edit_->length; i > cursor_; --i)
            At(i) = At(i - 1);
        At(cursor_) = *c;
        ++edit_->length;
        ++cursor_;
        ++used_;
        return 1;
    }

    VkResult Start() { return Initialise(); }

private:
    void Destroy() override {
        SetStream(nullptr);
        Free();
        VkDestroyOpened(this);
    }

    void Free() {
        SetStream(nullptr);
        if (pool_) pool_->Release(); // frees every line record
        VkMemFree(ring_);
        pool_ = nullptr;
        ring_ = nullptr;
        edit_ = history_ = pending_ = nullptr;
    }

    char& At(uint32_t i) { return ring_[(edit_->start + i) % kRingSize]; }

    uint32_t WritePosition() const { return (edit_->start + edit_->length) % kRingSize; }

    int32_t EditRow() const { return rows_ - static_cast<int32_t>(longest_) / columns_; }

    void CopyLine(const Line* line, char* out) {
        for (uint32_t i = 0; i < line->length; ++i)
            out[i] = ring_[(line->start + i) % kRingSize];
        out[line->length] = 0;
    }

    void RemoveAt(uint32_t at) {
        for (uint32_t i = at; i + 1 < edit_->length; ++i)
            At(i) = At(i + 1);
        --edit_->length;
        --used_;
    }

    // Makes room by forgetting the oldest line, unless that is the edit line or waits for
    // the client.
    bool DropOldest() {
        Line* oldest = edit_->next;
        if (oldest == edit_ || oldest == pending_) return false;
        oldest->prev->next = oldest->next;
        oldest->next->prev = oldest->prev;
        if (history_ == oldest) history_ = edit_;
        used_ -= oldest->length;
        pool_->Free(oldest);
        return true;
    }

    void EmptyEditLine() {
        used_ -= edit_->length;
        edit_->length = cursor_ = 0;
    }

    // Puts a copy of the line into the emptied edit line (the copy is taken first, since
    // making room may forget the line itself).
    void Recall(Line* line) {
        char text[kMaxLine + 1];
        CopyLine(line, text);
        history_ = line;
        EmptyEditLine();
        for (uint32_t i = 0; text[i]; ++i)
            InsertChar(&text[i]);
    }

    uint32_t Put(const void* data, uint32_t bytes) {
        uint32_t written = 0;
        if (stream_ && bytes) stream_->Write(data, bytes, &written);
        return written;
    }
    uint32_t Put(char esc, const char* rest) {
        char seq[8] = {esc};
        std::strncpy(seq + 1, rest, sizeof seq - 2);
        return Put(seq, static_cast<uint32_t>(std::strlen(seq)));
    }

    void MoveTo(int32_t row, int32_t column) {
        int n = std::snprintf(g_text, sizeof g_text, "%c[%d;%dH", kEsc, row, column);
        Put(g_text, static_cast<uint32_t>(n));
    }

    void MoveLeftToCursor() {
        if (cursor_ >= edit_->length) return;
        int n = std::snprintf(g_text, sizeof g_text, "%c[%uD", kEsc, edit_->length - cursor_);
        Put(g_text, static_cast<uint32_t>(n));
    }

    void PutEditLine() {
        uint32_t start = edit_->start, length = edit_->length;
        uint32_t first = length < kRingSize - start ? length : kRingSize - start;
        Put(ring_ + start, first);
        Put(ring_, length - first);
    }

    static int32_t AddDigit(int32_t number, uint8_t digit) {
        if (number < 0) number = 0;
        return number > 100000 ? number : number * 10 + (digit - '0');
    }

    VkResult Key(uint8_t b) {
        switch (state_) {
        case 0: return PlainKey(b);
        case 1:
            state_ = b == '[' ? 2 : 0;
            first_ = -1;
            return VK_OK;
        case 2:
            if (b >= '0' && b <= '9') {
                first_ = AddDigit(first_, b);
                return VK_OK;
            }
            state_ = 0;
            if (b == ';') {
                state_ = 3;
                second_ = -1;
            } else if (b == 'A') {
                RecallOlder();
            } else if (b == 'B') {
                RecallNewer();
            } else if (b == 'C' && cursor_ < edit_->length) {
                ++cursor_;
                Put(kEsc, "[1C");
            } else if (b == 'D' && cursor_ > 0) {
                --cursor_;
                Put(kEsc, "[1D");
            }
            return VK_OK;
        default:
            if (b >= '0' && b <= '9') {
                second_ = AddDigit(second_, b);
                return VK_OK;
            }
            state_ = 0;
            if (b == 'R') PositionReport();
            return VK_OK;
        }
    }

    void PositionReport() {
        if (awaitingSize_) {
            if (first_ > 1 && first_ < kFar) rows_ = first_;
            if (second_ > 1 && second_ < kFar) columns_ = second_;
            awaitingSize_ = false;
        } else {
            if (first_ > 0 && first_ < kFar) outRow_ = first_;
            if (second_ > 0 && second_ < kFar) outColumn_ = second_;
        }
    }

    VkResult PlainKey(uint8_t b) {
        char c = static_cast<char>(b);
        if (b >= 0x20 && b <= 0x7F) {
            if (InsertChar(&c)) {
                if (edit_->length == 1 || cursor_ == edit_->length)
                    Put(&c, 1);
                else
                    Redraw();
                if (edit_->length > longest_) longest_ = edit_->length;
            }
            return VK_OK;
        }
        switch (b) {
        case 3: NextLine(); break;
        case 7: Put(&c, 1); break;
        case 8: DeleteBack(); break;
        case 10:
        case 13: {
            longest_ = cursor_ = 0;
            if (edit_->length > 0) {
                Line* line = static_cast<Line*>(pool_->Alloc());
                if (!line) return VK_E_FAIL;
                if (!pending_) pending_ = edit_;
                *line = {WritePosition(), 0, edit_->next, edit_};
                edit_->next->prev = line;
                edit_->next = line;
                edit_ = line;
            }
            history_ = edit_;
            Put(&c, 1);
            break;
        }
        case 12:
            Put(kEsc, "[1;1H");
            Put(kEsc, "[0J");
            Redraw();
            break;
        case 16: DeleteAtCursor(); break;
        case 27: state_ = 1; break;
        default: break;
        }
        return VK_OK;
    }

    void RecallOlder() {
        Line* older = history_->prev;
        if (older != edit_) Recall(older);
        Redraw();
    }

    void RecallNewer() {
        if (history_ == edit_) return;
        Line* newer = history_->next;
        if (newer == edit_) {
            history_ = edit_;
            EmptyEditLine();
        } else {
            Recall(newer);
        }
        Redraw();
    }

    IVkStream* stream_ = nullptr;
    IVkMemPool* pool_ = nullptr;
    char* ring_ = nullptr;
    Line* edit_ = nullptr;
    Line* history_ = nullptr;
    Line* pending_ = nullptr;
    uint32_t cursor_ = 0;
    uint32_t used_ = 0; // bytes of the ring held by lines
    uint32_t longest_ = 0;
    int32_t columns_ = 80, rows_ = 25;
    int32_t outColumn_ = 1, outRow_ = 25;
    bool querySize_ = true, awaitingSize_ = false;
    int state_ = 0;
    int32_t first_ = -1, second_ = -1;
};

const VkComponentRecord kTerminalRecords[] = {
    {&CLSID_VkTerminal, 0, nullptr, 0, nullptr, VkCreateTerminal, "Vesk - Terminal",
     "Vesk.Terminal.5.1", "Vesk.Terminal", nullptr},
};

} // namespace

VkResult VkCreateTerminal(IVkUnknown* outer, IVkUnknown** out) {
    return VkCreateOpened<Terminal>(outer, out);
}

VkResult VkTerminalModuleRegister(IVkRegistry* registry) {
    return VkModule<kTerminalRecords>::Register(registry);
}
