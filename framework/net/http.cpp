#include "framework/net/http.h"

#include "framework/core/framework.h"
#include "framework/core/memory.h"
#include "framework/core/modules.h"
#include "framework/net/tcp.h"

#include <cstdio>
#include <cstring>

const VkGuid CLSID_VkHttp = {
    0x8B8E1545, 0x7E25, 0x11D2, {0xB8, 0x63, 0x00, 0xA0, 0xC9, 0x33, 0xBE, 0x34}};

namespace {

constexpr uint16_t kHttpPort = 80;
constexpr size_t kLongLine = 80; // header lines this long or longer are ignored

// A header line, lower-cased; lines of kLongLine characters or more keep only their length.
struct Line {
    char text[kLongLine];
    size_t length = 0;
    void Append(char c) {
        if (length < kLongLine) text[length] = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
        ++length;
    }
};

bool IsLineEnd(int c) {
    return c == '\r' || c == '\n';
}

// The decimal value after the leading blanks, held within the expected length's range.
int32_t ParseLength(const char* at, const char* end) {
    while (at < end && (*at == ' ' || *at == '\t'))
        ++at;
    int64_t value = 0;
    for (; at < end && *at >= '0' && *at <= '9'; ++at) {
        value = value * 10 + (*at - '0');
        if (value > INT32_MAX) value = INT32_MAX;
    }
    return static_cast<int32_t>(value);
}

// Applies one header line; sets *complete on the empty line that ends the header.
VkResult ApplyLine(const Line& line, IVkSyncStream* sync, bool* complete) {
    if (line.length == 0) {
        *complete = true;
        return sync->SetOption(VK_SYNC_BYTES_READ, 0);
    }
    if (line.length >= kLongLine) return VK_OK;
    const char* text = line.text;
    const char* end = text + line.length;
    const char* colon = nullptr;
    int colons = 0;
    bool quoted = false;
    for (const char* at = text; at < end; ++at) {
        if (*at == '"')
            quoted = !quoted;
        else if (*at == ':' && !quoted && colons++ == 0)
            colon = at;
    }
    static constexpr char kLength[] = "content-length";
    if (colons == 1 && size_t(colon - text) == sizeof kLength - 1 &&
        std::memcmp(text, kLength, sizeof kLength - 1) == 0)
        return sync->SetOption(VK_SYNC_EXPECTED_LENGTH,
                               static_cast<uint32_t>(ParseLength(colon + 1, end)));
    // A status line whose status is an error, 400 or more: first word "http/1.0" or
    // "http/1.1", second word three digits. The body would be the server's error page, not
    // the document asked for, so the request fails.
    const char* word = text;
    while (word < end && *word == ' ')
        ++word;
    const char* wordEnd = word;
    while (wordEnd < end && *wordEnd != ' ')
        ++wordEnd;
    const char* second = wordEnd;
    while (second < end && *second == ' ')
        ++second;
    const char* secondEnd = second;
    while (secondEnd < end && *secondEnd != ' ')
        ++secondEnd;
    const bool http = wordEnd - word == 8 && (std::memcmp(word, "http/1.1", 8) == 0 ||
                                              std::memcmp(word, "http/1.0", 8) == 0);
    if (!http || secondEnd - second != 3) return VK_OK;
    int status = 0;
    for (const char* at = second; at < secondEnd; ++at) {
        if (*at < '0' || *at > '9') return VK_OK;
        status = status * 10 + (*at - '0');
    }
    return status >= 400 ? VK_E_HTTPNOTFOUND : VK_OK;
}

VkResult ReadByte(IVkStream* stream, int* c) {
    uint8_t byte = 0;
    uint32_t got = 0;
    VkResult res = stream->Read(&byte, 1, &got);
    if (res >= 0 && got != 1) res = VK_E_FAIL;
    *c = byte;
    return res;
}

} // namespace

VkResult VkHttpReadHeader(IVkStream* stream, IVkSyncStream* sync, int32_t* heldBack) {
    *heldBack = -1;
    Line line;
    bool complete = false;
    VkResult res = VK_OK;
    for (;;) {
        int c1 = 0;
        res = ReadByte(stream, &c1);
        if (res < 0) return res;
        if (!IsLineEnd(c1)) {
            line.Append(static_cast<char>(c1));
            continue;
        }
        int c2 = 0;
        res = ReadByte(stream, &c2);
        if (res < 0) return res;
        res = ApplyLine(line, sync, &complete);
        line.length = 0;
        if (res < 0) return res;
        if (complete) {
            if (!(IsLineEnd(c2) && c2 != c1)) *heldBack = c2;
            return res;
        }
        if (!IsLineEnd(c2)) {
            line.Append(static_cast<char>(c2));
        } else if (c2 == c1) {
            // Two equal line ends in a row: the empty line ends the header.
            return ApplyLine(line, sync, &complete);
        }
    }
}

namespace {

class Http final : public VkObjectOf<VkFace<IVkUrlResource, IID_IVkUrlResource>,
                                     VkFace<IVkStream, IID_IVkStream>> {
public:
    VkResult Init() {
        void* out = nullptr;
        VkResult res =
            VkCreateInstance(CLSID_VkStandardTcp, nullptr, 0, IID_IVkTcpConnection, &out);
        if (res < 0) return res;
        tcp_ = static_cast<IVkTcpConnection*>(out);
        tcp_->SetOption(VK_TCP_PORT, kHttpPort);
        res = VkCreateInstance(CLSID_VkSyncStream, nullptr, 0, IID_IVkSyncStream, &out);
        if (res < 0) return res;
        sync_ = static_cast<IVkSyncStream*>(out);
        res = tcp_->QueryInterface(IID_IVkStream, &out);
        if (res < 0) return res;
        IVkStream* tcpStream = static_cast<IVkStream*>(out);
        sync_->SetOption(VK_SYNC_STREAM, reinterpret_cast<uintptr_t>(tcpStream));
        tcpStream->Release();
        res = sync_->QueryInterface(IID_IVkStream, &out);
        if (res < 0) return res;
        stream_ = static_cast<IVkStream*>(out);
        return VK_OK;
    }

    VkResult SetProperty(uint32_t property, const char* text) override {
        VkResult res = parts_.Set(property, text);
        // Naming the file sends the request.
        return res == VK_OK && property == VK_URL_NAME ? Request() : res;
    }

    VkResult GetProperty(uint32_t property, char* buffer, uint32_t size) override {
        return parts_.Get(property, buffer, size);
    }

    VkResult Read(void* buffer, uint32_t n, uint32_t* got) override {
        uint8_t* at = static_cast<uint8_t*>(buffer);
        uint32_t extra = 0;
        if (n > 0 && heldBack_ >= 0) {
            *at++ = static_cast<uint8_t>(heldBack_);
            heldBack_ = -1;
            uintptr_t count = 0;
            sync_->GetOption(VK_SYNC_BYTES_READ, &count);
            sync_->SetOption(VK_SYNC_BYTES_READ, count + 1);
            extra = 1;
            --n;
        }
        uint32_t count = 0;
        VkResult res = stream_->Read(at, n, &count);
        if (got) *got = count + extra;
        // A connection closed before the announced length has come cut the body: that is a
        // failure, not the end of the document.
        if (res == VK_E_ENDOFFILE) {
            uintptr_t expected = 0, received = 0;
            if (sync_->GetOption(VK_SYNC_EXPECTED_LENGTH, &expected) >= 0 &&
                sync_->GetOption(VK_SYNC_BYTES_READ, &received) >= 0 && received < expected)
                return VK_E_FAIL;
        }
        return res;
    }

    VkResult Write(const void* buffer, uint32_t n, uint32_t* written) override {
        return stream_->Write(buffer, n, written);
    }
    VkResult Seek(int32_t, uint32_t, uint32_t*) override { return VK_E_FAIL; }

private:
    // Connects, sends the GET request and reads the response header.
    VkResult Request() {
        heldBack_ = -1;
        VkResult res = tcp_->Connect(parts_.host);
        if (res < 0) return res;
        char request[4 + sizeof parts_.path + sizeof parts_.name + 12];
        int length = std::snprintf(request, sizeof request, "GET %s%s HTTP/1.0\n\n", parts_.path,
                                   parts_.name);
        if (length < 0 || static_cast<size_t>(length) >= sizeof request) return VK_E_FAIL;
        uint32_t written = 0;
        res = stream_->Write(request, static_cast<uint32_t>(length), &written);
        if (res < 0) return res;
        // A request cut short would be answered as another one.
        if (written != static_cast<uint32_t>(length)) return VK_E_FAIL;
        return VkHttpReadHeader(stream_, sync_, &heldBack_);
    }

    void Destroy() override {
        if (stream_) stream_->Release();
        if (sync_) sync_->Release();
        if (tcp_) tcp_->Release();
        VkMemDestroyObject(this);
    }

    VkUrlParts parts_;
    IVkStream* stream_ = nullptr;
    IVkSyncStream* sync_ = nullptr;
    IVkTcpConnection* tcp_ = nullptr;
    int32_t heldBack_ = -1;
};

const VkComponentRecord kHttpRecords[] = {
    {&CLSID_VkHttp, 0, nullptr, 0, nullptr, VkCreateHttp, "Vesk - HTTP", "Vesk.HTTP.5.1",
     "Vesk.HTTP", nullptr},
};

} // namespace

VkResult VkCreateHttp(IVkUnknown* outer, IVkUnknown** out) {
    *out = nullptr;
    if (outer) return VK_E_NOAGGREGATION;
    Http* http = nullptr;
    VkResult res = VkMemCreateObject(&http);
    if (res < 0) return res;
    res = http->Init();
    if (res < 0) {
        http->Release();
        return res;
    }
    *out = static_cast<IVkUrlResource*>(http);
    return VK_OK;
}

VkResult VkHttpModuleRegister(IVkRegistry* registry) {
    return VkModule<kHttpRecords>::Register(registry);
}
