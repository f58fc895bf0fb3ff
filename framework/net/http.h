// The HTTP component: fetches one document over HTTP/1.0 with a GET request and hands its body
// out as a stream. It is addressed like a local file (host, path, file name); setting the file
// name connects on port 80, sends the request and reads the response header.
#pragma once

#include "framework/storage/file.h"
#include "framework/storage/syncstream.h"
#include "framework/streams/stream.h"

// The server answered with an error status (400 or more).
constexpr VkResult VK_E_HTTPNOTFOUND = static_cast<VkResult>(0x80030385u);

extern const VkGuid CLSID_VkHttp;

VkResult VkCreateHttp(IVkUnknown* outer, IVkUnknown** out);

// Reads a response header byte by byte from a waiting stream, applying the header lines to it
// (expected length, bytes-read count). The first body byte, when the header's end had to read
// it, comes back in heldBack (-1 for none).
VkResult VkHttpReadHeader(IVkStream* stream, IVkSyncStream* sync, int32_t* heldBack);
