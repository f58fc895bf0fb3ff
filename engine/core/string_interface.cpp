#include "engine/core/string_interface.h"

#include <cstdio>
#include <cstring>

#include "engine/core/engine_modules.h"

namespace {

TvModuleGlobals g_stringModule;

int Format(char* buffer, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int n = std::vsprintf(buffer, format, args);
    va_end(args);
    return n;
}
int FormatList(char* buffer, const char* format, va_list args) {
    return std::vsprintf(buffer, format, args);
}
char* Copy(char* d, const char* s) {
    return std::strcpy(d, s);
}
char* CopyN(char* d, const char* s, size_t n) {
    return std::strncpy(d, s, n);
}
char* Append(char* d, const char* s) {
    return std::strcat(d, s);
}
char* AppendN(char* d, const char* s, size_t n) {
    return std::strncat(d, s, n);
}

// The last match; the terminator matches a search for 0.
char* FindLastChar(const char* s, int c) {
    const char* found = nullptr;
    for (;; s++) {
        if (*s == static_cast<char>(c)) found = s;
        if (*s == '\0') break;
    }
    return const_cast<char*>(found);
}
// The first match, null when the terminator comes first; a search for 0 finds the terminator.
char* FindChar(const char* s, int c) {
    for (;; s++) {
        if (*s == static_cast<char>(c)) return const_cast<char*>(s);
        if (*s == '\0') return nullptr;
    }
}
char* FindString(const char* s, const char* sub) {
    return const_cast<char*>(std::strstr(s, sub));
}
int Compare(const char* a, const char* b) {
    return std::strcmp(a, b);
}

char FoldLower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}
char FoldUpper(char c) {
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

int CompareNoCase(const char* a, const char* b) {
    if (!a || !b) return 0;
    for (;; a++, b++) {
        signed char ca = static_cast<signed char>(FoldLower(*a));
        signed char cb = static_cast<signed char>(FoldLower(*b));
        if (ca != cb) return ca - cb;
        if (ca == 0) return 0;
    }
}
size_t Length(const char* s) {
    return std::strlen(s);
}
char* ToUpper(char* s) {
    if (s) {
        for (char* p = s; *p; p++)
            *p = FoldUpper(*p);
    }
    return s;
}
char* ToLower(char* s) {
    if (s) {
        for (char* p = s; *p; p++)
            *p = FoldLower(*p);
    }
    return s;
}
char* Tokenize(char* s, const char* delimiters) {
    return std::strtok(s, delimiters);
}
int Scan(const char* s, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int n = std::vsscanf(s, format, args);
    va_end(args);
    return n;
}

} // namespace

void TvStringInterfaceInstall(TvStringInterface* funcs) {
    *funcs = {Format,       FormatList, Copy,       CopyN,   Append,        AppendN,
              FindLastChar, FindChar,   FindString, Compare, CompareNoCase, Length,
              ToUpper,      ToLower,    Tokenize,   Scan};
}

const int32_t _TvStringModuleDataSize = 0;

void* _TvStringModuleOpen(void* instance, int32_t offset, int32_t) {
    return TvModuleOpened(g_stringModule, instance, offset);
}

void* _TvStringModuleClose(void* instance, int32_t, int32_t) {
    return TvModuleClosed(g_stringModule, instance);
}
