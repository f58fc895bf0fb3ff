#include "engine/core/file_interface.h"

#include <cctype>
#include <cstdio>

#include "platform/crt/crt.h"

namespace {

FILE* File(void* handle) {
    return static_cast<FILE*>(handle);
}

void* Open(const char* name, const char* mode) {
    return PlatformOpenFile(name, mode);
}

bool Exists(const char* name) {
    TvFileInterface& f = TvEngineInstancePtr->fileFuncs;
    void* handle = f.open(name, "rb");
    if (!handle) return false;
    f.close(handle);
    return true;
}

int32_t Close(void* handle) {
    return std::fclose(File(handle));
}
size_t Read(void* buffer, size_t size, size_t count, void* handle) {
    return std::fread(buffer, size, count, File(handle));
}
size_t Write(const void* buffer, size_t size, size_t count, void* handle) {
    return std::fwrite(buffer, size, count, File(handle));
}
char* ReadLine(char* buffer, int32_t capacity, void* handle) {
    return std::fgets(buffer, capacity, File(handle));
}
int32_t WriteString(const char* string, void* handle) {
    return std::fputs(string, File(handle)) >= 0 ? 0 : -1;
}
int32_t AtEnd(void* handle) {
    return std::feof(File(handle));
}
int32_t Seek(void* handle, long offset, int32_t origin) {
    static const int kOrigins[] = {SEEK_SET, SEEK_CUR, SEEK_END};
    if (origin < 0 || origin > 2) return -1;
    return std::fseek(File(handle), offset, kOrigins[origin]);
}
int32_t Flush(void* handle) {
    return std::fflush(File(handle)) == 0 ? 0 : -1;
}

long Length(void* handle) {
    TvFileInterface& f = TvEngineInstancePtr->fileFuncs;
    f.seek(handle, 0, 2);
    long length = std::ftell(File(handle));
    f.seek(handle, 0, 0);
    return length;
}

} // namespace

void TvFileInterfaceInstall(TvFileInterface* funcs) {
    *funcs = {Exists, Open, Close, Read, Write, ReadLine, WriteString, AtEnd, Seek, Flush, Length};
}

TvFileInterface* TvEngineGetFileInterface() {
    return &TvEngineInstancePtr->fileFuncs;
}

bool TvPathIsAbsolute(const char* name) {
    if (!name) return false;
    if (name[0] == '\\') return true;
    return std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':';
}
