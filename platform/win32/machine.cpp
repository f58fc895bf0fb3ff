#include "platform/win32/machine.h"

#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

std::optional<DWORD> g_serial;

void FillText(char* buffer, DWORD size) {
    if (buffer && size) buffer[0] = '\0';
}

} // namespace

BOOL GetComputerNameA(char* buffer, DWORD* size) {
    if (!size) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0) std::strcpy(host, "localhost");
    DWORD len = static_cast<DWORD>(std::strlen(host));
    if (!buffer || *size < len + 1) {
        *size = len + 1;
        SetLastError(ERROR_BUFFER_OVERFLOW);
        return FALSE;
    }
    std::memcpy(buffer, host, len + 1);
    *size = len;
    return TRUE;
}

BOOL GetUserNameA(char* buffer, DWORD* size) {
    if (!size) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const char* name = nullptr;
    if (const passwd* pw = getpwuid(geteuid())) name = pw->pw_name;
    if (!name || !*name) name = std::getenv("USER");
    if (!name) name = "";
    DWORD len = static_cast<DWORD>(std::strlen(name));
    if (!buffer || *size < len + 1) {
        *size = len + 1;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(buffer, name, len + 1);
    *size = len + 1;
    return TRUE;
}

BOOL GetVolumeInformationA(const char*, char* volumeName, DWORD volumeNameSize, DWORD* serial,
                           DWORD* maxComponentLength, DWORD* flags, char* fileSystemName,
                           DWORD fileSystemNameSize) {
    DWORD value;
    if (g_serial) {
        value = *g_serial;
    } else {
        struct statvfs info;
        if (statvfs("/", &info) != 0) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return FALSE;
        }
        value = static_cast<DWORD>(info.f_fsid ^ (static_cast<uint64_t>(info.f_fsid) >> 32));
    }
    if (serial) *serial = value;
    if (maxComponentLength) *maxComponentLength = 255;
    if (flags) *flags = 0;
    FillText(volumeName, volumeNameSize);
    FillText(fileSystemName, fileSystemNameSize);
    return TRUE;
}

void PlatformSetVolumeSerial(std::optional<DWORD> serial) {
    g_serial = serial;
}
