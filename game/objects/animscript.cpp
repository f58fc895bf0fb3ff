#include "game/objects/animscript.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "engine/core/engine.h"
#include "engine/core/file_interface.h"
#include "engine/core/memory.h"
#include "game/objects/puppets.h"

namespace {

// Tokens above the byte values; any other single character is its own token.
enum Token : int32_t {
    kEnd = 256,
    kNum,
    kName,
    kTrigger,
    kStart,
    kEndKeyword,
    kState,
    kAnim,
    kCallback,
    kNoRun,
    kMove,
    kFoot,
};

struct Keyword {
    const char* text;
    Token token;
};

constexpr Keyword kKeywords[] = {
    {"trigger", kTrigger}, {"start", kStart}, {"end", kEndKeyword},
    {"state", kState},     {"anim", kAnim},   {"callback", kCallback},
    {"norun", kNoRun},     {"move", kMove},   {"foot", kFoot},
};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsNameStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

// The longest-match scanner over the script text: numbers, keywords (lower case only), names,
// single characters; blanks and comments are skipped. Embedded NUL bytes are characters.
struct Scanner {
    const char* p;
    const char* end;
    int32_t token = kEnd;
    float number = 0;
    char name[kMV2AnimScriptNameMax + 1] = {};

    void SkipToLineEnd() {
        while (p < end && *p != '\n')
            p++;
    }

    // The number of the digits at [from, to): an optional '-', digits, optionally '.' and digits.
    static float Number(const char* from, const char* to) {
        float value = 0;
        const auto [rest, error] = std::from_chars(from, to, value);
        (void)rest;
        if (error != std::errc::result_out_of_range) return value;
        // Too large for a float (no exponent is written, so never too small unless it is 0).
        const bool negative = *from == '-';
        bool nonzero = false;
        for (const char* c = from; c < to && *c != '.'; c++)
            nonzero = nonzero || (*c >= '1' && *c <= '9');
        const float magnitude = nonzero ? HUGE_VALF : 0.0f;
        return negative ? -magnitude : magnitude;
    }

    void Next() {
        for (;;) {
            if (p >= end) {
                token = kEnd;
                return;
            }
            const char c = *p;
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
                p++;
                continue;
            }
            const char after = p + 1 < end ? p[1] : 0;
            if (c == '#' || (c == '/' && after == '/')) {
                SkipToLineEnd();
                continue;
            }
            if (c == '/' && after == '*') {
                // To the next "*/", over lines, not nested; an open comment runs to the end.
                const char* q = p + 2;
                while (q + 1 < end && !(q[0] == '*' && q[1] == '/'))
                    q++;
                p = q + 1 < end ? q + 2 : end;
                continue;
            }
            const char* q = p + (c == '-' ? 1 : 0);
            if (q < end && IsDigit(*q)) {
                while (q < end && IsDigit(*q))
                    q++;
                if (q < end && *q == '.') {
                    q++;
                    while (q < end && IsDigit(*q))
                        q++;
                }
                number = Number(p, q);
                p = q;
                token = kNum;
                return;
            }
            if (IsNameStart(c)) {
                q = p;
                while (q < end && (IsNameStart(*q) || IsDigit(*q)))
                    q++;
                const size_t length = size_t(q - p);
                token = kName;
                for (const Keyword& k : kKeywords) {
                    if (std::strlen(k.text) == length && std::memcmp(k.text, p, length) == 0) {
                        token = k.token;
                        break;
                    }
                }
                if (token == kName) {
                    const size_t kept = length < kMV2AnimScriptNameMax ? length
                                                                       : kMV2AnimScriptNameMax;
                    std::memcpy(name, p, kept);
                    name[kept] = 0;
                }
                p = q;
                return;
            }
            token = uint8_t(c);
            p++;
            return;
        }
    }
};

// The recursive-descent parser of the script grammar with its actions on the puppet.
struct Parser {
    MV2Puppet* puppet;
    Scanner s;
    MV2PuppetAnim* anim = nullptr;      // the animation being declared
    MV2AnimScriptItem** list = nullptr; // where new items go

    bool Accept(int32_t token) {
        if (s.token != token) return false;
        s.Next();
        return true;
    }

    template <typename T> T* Allocate(TvFreeList** freeList, int32_t perChunk) {
        if (!*freeList) *freeList = TvFreeListCreate(sizeof(T), perChunk);
        T* block = *freeList ? static_cast<T*>(TvFreeListAlloc(*freeList)) : nullptr;
        if (block) *block = T{};
        return block;
    }

    // A trigger appended to the current animation; its item list becomes the current list.
    bool BeginTrigger() {
        list = nullptr;
        if (!anim) return true;
        auto* trigger = Allocate<MV2AnimTrigger>(&puppet->triggerList, 16);
        if (!trigger) return false;
        if (anim->lastTrigger)
            anim->lastTrigger->next = trigger;
        else
            anim->triggers = trigger;
        anim->lastTrigger = trigger;
        list = &trigger->items;
        return true;
    }

    // thingy_list up to and including its closing brace.
    bool ItemList() {
        while (!Accept('}')) {
            uint8_t modifier = kMV2ScriptNoSign;
            if (Accept('+'))
                modifier = kMV2ScriptPlus;
            else if (Accept('-'))
                modifier = kMV2ScriptMinus;
            else if (Accept('!'))
                modifier = kMV2ScriptNot;
            const int32_t kind = s.token;
            if (kind != kState && kind != kAnim && kind != kCallback) return false;
            s.Next();
            if (s.token != kName) return false;
            MV2AnimScriptItem* item = nullptr;
            if (list) {
                item = Allocate<MV2AnimScriptItem>(&puppet->itemList, 32);
                if (!item) return false;
                item->modifier = modifier;
                item->next = *list;
                *list = item;
            }
            int32_t index = -1;
            uint8_t itemKind = kMV2ScriptState;
            if (kind == kState) {
                // The flag is added even when nothing is being built.
                index = MV2PuppetAddStateFlag(&puppet->flags, s.name);
                if (index < 0) return false;
            } else if (kind == kAnim) {
                itemKind = kMV2ScriptAnim;
                const MV2PuppetAnim* named = MV2PuppetFindAnim(puppet, s.name);
                index = named ? named->index : -1;
            } else {
                itemKind = kMV2ScriptCallback;
                index = MV2PuppetFindCallback(puppet, s.name);
            }
            if (item) {
                item->kind = itemKind;
                item->index = index;
            }
            s.Next();
        }
        return true;
    }

    bool Part() {
        switch (s.token) {
        case kTrigger:
            s.Next();
            if (!BeginTrigger()) return false;
            return Accept('{') && ItemList();
        case kStart:
        case kEndKeyword: {
            const bool start = s.token == kStart;
            s.Next();
            list = anim ? (start ? &anim->startEvents : &anim->endEvents) : nullptr;
            return Accept('{') && ItemList();
        }
        case kMove: {
            s.Next();
            float v[3];
            for (float& x : v) {
                if (s.token != kNum) return false;
                x = s.number;
                s.Next();
            }
            if (anim) anim->move = {v[0], v[1], v[2]};
            return true;
        }
        case kFoot: {
            s.Next();
            if (s.token != kName) return false;
            if (anim) {
                if (const MV2PuppetNode* node = MV2PuppetFindDefNode(puppet, s.name))
                    anim->footNode = node->id;
            }
            s.Next();
            return true;
        }
        default:
            return false;
        }
    }

    bool Declaration() {
        if (Accept(kNoRun)) {
            if (s.token != kName) return false;
            if (MV2PuppetAnim* named = MV2PuppetFindAnim(puppet, s.name)) named->run = 0;
            s.Next();
            return true;
        }
        if (s.token != kName) return false;
        // A name the puppet lacks, or one declared before: the body is read and dropped.
        anim = MV2PuppetFindAnim(puppet, s.name);
        if (anim && anim->defined)
            anim = nullptr;
        else if (anim)
            anim->defined = 1;
        s.Next();
        if (!Accept('{')) return false;
        while (!Accept('}'))
            if (!Part()) return false;
        return true;
    }

    int32_t Run() {
        s.Next();
        while (s.token != kEnd)
            if (!Declaration()) return 0;
        return 1;
    }
};

} // namespace

int32_t MV2AnimScriptParseText(MV2Puppet* puppet, const char* text, size_t length) {
    if (!puppet || (!text && length)) return 0;
    Parser parser{puppet, Scanner{text, text + length}};
    return parser.Run();
}

int32_t MV2AnimScriptParseFile(MV2Puppet* puppet, const char* path) {
    TvFileInterface* files = TV_ENGINE ? TvEngineGetFileInterface() : nullptr;
    void* file = files && files->open && path ? files->open(path, "r") : nullptr;
    if (!file) return 0;
    char* text = static_cast<char*>(TvMalloc(kMV2AnimScriptMaxBytes + 2));
    size_t length = 0;
    if (text) {
        length = files->read(text, 1, kMV2AnimScriptMaxBytes, file);
        text[length] = 0;
        text[length + 1] = 0;
    }
    files->close(file);
    if (!text) return 0;
    const int32_t result = MV2AnimScriptParseText(puppet, text, length);
    TvFree(text);
    return result;
}
