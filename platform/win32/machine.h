// Stand-in for the machine-identity calls: computer name, user name and volume serial.
#pragma once

#include "platform/win32/win32.h"

#include <optional>

// The host name. size holds the buffer size and receives the length without the terminator;
// a buffer too small gives FALSE, ERROR_BUFFER_OVERFLOW and the size needed in size.
BOOL GetComputerNameA(char* buffer, DWORD* size);
// The login name. size holds the buffer size and receives the length with the terminator;
// a buffer too small gives FALSE, ERROR_INSUFFICIENT_BUFFER and the size needed.
BOOL GetUserNameA(char* buffer, DWORD* size);
// Only the serial number is filled in: the file-system id of "/" stands for the volume of
// any root given. The other outputs get empty texts and zeros.
BOOL GetVolumeInformationA(const char* root, char* volumeName, DWORD volumeNameSize, DWORD* serial,
                           DWORD* maxComponentLength, DWORD* flags, char* fileSystemName,
                           DWORD fileSystemNameSize);

constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_BUFFER_OVERFLOW = 111;

// Test seam: a fixed volume serial, or none to read the real one again.
void PlatformSetVolumeSerial(std::optional<DWORD> serial);
