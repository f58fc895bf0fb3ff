#include "platform/winsock/winsock.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace ws {

namespace {

thread_local int lastError = 0;
int startups = 0;
uint16_t redirectFrom = 0;
uint16_t redirectTo = 0;
bool loopbackOnly = false;

int ErrorFromErrno(int err) {
    switch (err) {
    case EINTR: return WSAEINTR;
    case EBADF: return WSAENOTSOCK;
    case EFAULT: return WSAEFAULT;
    case EMFILE:
    case ENFILE: return WSAEMFILE;
    case EAGAIN:
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
        return WSAEWOULDBLOCK;
    case EINPROGRESS: return WSAEINPROGRESS;
    case ENOTSOCK: return WSAENOTSOCK;
    case EADDRINUSE: return WSAEADDRINUSE;
    case EADDRNOTAVAIL: return WSAEADDRNOTAVAIL;
    case ENETDOWN: return WSAENETDOWN;
    case ENETUNREACH: return WSAENETUNREACH;
    case ECONNABORTED: return WSAECONNABORTED;
    case ECONNRESET:
    case EPIPE: return WSAECONNRESET;
    case ENOBUFS:
    case ENOMEM: return WSAENOBUFS;
    case ENOTCONN: return WSAENOTCONN;
    case ETIMEDOUT: return WSAETIMEDOUT;
    case ECONNREFUSED: return WSAECONNREFUSED;
    case EHOSTUNREACH: return WSAEHOSTUNREACH;
    default: return WSAEINVAL;
    }
}

int Fail(int error) {
    lastError = error;
    return SOCKET_ERROR;
}

int FailErrno() {
    return Fail(ErrorFromErrno(errno));
}

bool Valid(SOCKET s) {
    return s != INVALID_SOCKET && s <= 0x7FFFFFFF;
}

// The old address layout into the POSIX one; false unless it is a whole IPv4 address.
bool ToPosix(const sockaddr* address, int length, ::sockaddr_in* out) {
    if (!address || length < static_cast<int>(sizeof(sockaddr_in))) return false;
    sockaddr_in in;
    std::memcpy(&in, address, sizeof in);
    if (in.sin_family != WSA_AF_INET) return false;
    std::memset(out, 0, sizeof *out);
    out->sin_family = AF_INET;
    out->sin_port = in.sin_port;
    out->sin_addr.s_addr = in.sin_addr;
    return true;
}

// A host name of letters, digits, dots and hyphens, or a dotted address; anything else cannot
// be found and is not looked up.
bool PlausibleHostName(const char* name) {
    size_t length = std::strlen(name);
    if (length == 0 || length > 253) return false;
    for (size_t i = 0; i < length; ++i) {
        char c = name[i];
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                  c == '.' || c == '-' || c == '_';
        if (!ok) return false;
    }
    return true;
}

} // namespace

int WSAStartup(uint16_t version, WSADATA* data) {
    uint8_t major = version & 0xFF;
    uint8_t minor = version >> 8;
    if (major < 1 || (major == 1 && minor < 1)) return WSAVERNOTSUPPORTED;
    if (!data) return WSAEFAULT;
    std::memset(data, 0, sizeof *data);
    data->wVersion = major > 2 || (major == 2 && minor > 2) ? 0x0202 : version;
    data->wHighVersion = 0x0202;
    std::strcpy(data->szDescription, "POSIX sockets");
    std::strcpy(data->szSystemStatus, "Running");
    ++startups;
    return 0;
}

int WSACleanup() {
    if (startups == 0) return Fail(WSANOTINITIALISED);
    --startups;
    return 0;
}

int WSAGetLastError() {
    return lastError;
}

SOCKET socket(int family, int type, int protocol) {
    if (startups == 0) {
        lastError = WSANOTINITIALISED;
        return INVALID_SOCKET;
    }
    if (family != WSA_AF_INET || type != WSA_SOCK_STREAM || (protocol != 0 && protocol != 6)) {
        lastError = WSAEINVAL;
        return INVALID_SOCKET;
    }
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        FailErrno();
        return INVALID_SOCKET;
    }
    return static_cast<SOCKET>(fd);
}

int bind(SOCKET s, const sockaddr* address, int length) {
    if (!Valid(s)) return Fail(WSAENOTSOCK);
    ::sockaddr_in in;
    if (!ToPosix(address, length, &in)) return Fail(WSAEFAULT);
    if (loopbackOnly && in.sin_addr.s_addr == htonl(INADDR_ANY))
        in.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    // The old library let a port be bound again while closed connections on it lingered.
    int yes = 1;
    setsockopt(static_cast<int>(s), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    if (::bind(static_cast<int>(s), reinterpret_cast<::sockaddr*>(&in), sizeof in) < 0)
        return FailErrno();
    return 0;
}

int listen(SOCKET s, int backlog) {
    if (!Valid(s)) return Fail(WSAENOTSOCK);
    if (::listen(static_cast<int>(s), backlog) < 0) return FailErrno();
    return 0;
}

SOCKET accept(SOCKET s, sockaddr* address, int* length) {
    if (!Valid(s)) {
        lastError = WSAENOTSOCK;
        return INVALID_SOCKET;
    }
    int fd = static_cast<int>(s);
    int flags = fcntl(fd, F_GETFL);
    ::sockaddr_in in{};
    socklen_t inLength = sizeof in;
    int accepted =
        ::accept4(fd, reinterpret_cast<::sockaddr*>(&in), &inLength,
                  SOCK_CLOEXEC | (flags >= 0 && (flags & O_NONBLOCK) ? SOCK_NONBLOCK : 0));
    if (accepted < 0) {
        FailErrno();
        return INVALID_SOCKET;
    }
    if (address && length && *length >= static_cast<int>(sizeof(sockaddr_in))) {
        sockaddr_in out{};
        out.sin_family = WSA_AF_INET;
        out.sin_port = in.sin_port;
        out.sin_addr = in.sin_addr.s_addr;
        std::memcpy(address, &out, sizeof out);
        *length = sizeof out;
    }
    return static_cast<SOCKET>(accepted);
}

int connect(SOCKET s, const sockaddr* address, int length) {
    if (!Valid(s)) return Fail(WSAENOTSOCK);
    ::sockaddr_in in;
    if (!ToPosix(address, length, &in)) return Fail(WSAEFAULT);
    if (redirectFrom && in.sin_port == htons(redirectFrom)) in.sin_port = htons(redirectTo);
    int res;
    do {
        res = ::connect(static_cast<int>(s), reinterpret_cast<::sockaddr*>(&in), sizeof in);
    } while (res < 0 && errno == EINTR);
    if (res < 0) return FailErrno();
    return 0;
}

hostent* gethostbyname(const char* name) {
    thread_local uint32_t addresses[8];
    thread_local char* addressList[9];
    thread_local char* aliases[1];
    thread_local char hostName[256];
    thread_local hostent entry;
    if (!name || !PlausibleHostName(name)) {
        lastError = WSAHOST_NOT_FOUND;
        return nullptr;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(name, nullptr, &hints, &found) != 0 || !found) {
        lastError = WSAHOST_NOT_FOUND;
        return nullptr;
    }
    int count = 0;
    for (addrinfo* at = found; at && count < 8; at = at->ai_next) {
        if (at->ai_family != AF_INET || at->ai_addrlen < sizeof(::sockaddr_in)) continue;
        addresses[count] = reinterpret_cast<::sockaddr_in*>(at->ai_addr)->sin_addr.s_addr;
        addressList[count] = reinterpret_cast<char*>(&addresses[count]);
        ++count;
    }
    freeaddrinfo(found);
    if (count == 0) {
        lastError = WSAHOST_NOT_FOUND;
        return nullptr;
    }
    addressList[count] = nullptr;
    aliases[0] = nullptr;
    std::strncpy(hostName, name, sizeof hostName - 1);
    hostName[sizeof hostName - 1] = '\0';
    entry = {hostName, aliases, WSA_AF_INET, static_cast<int16_t>(sizeof(uint32_t)), addressList};
    return &entry;
}

int ioctlsocket(SOCKET s, long command, uint32_t* argument) {
    if (!Valid(s)) return Fail(WSAENOTSOCK);
    if (command != WSA_FIONBIO || !argument) return Fail(WSAEINVAL);
    int fd = static_cast<int>(s);
    int flags = fcntl(fd, F_GETFL);
    if (flags < 0) return FailErrno();
    flags = *argument ? flags | O_NONBLOCK : flags & ~O_NONBLOCK;
    if (fcntl(fd, F_SETFL, flags) < 0) return FailErrno();
    return 0;
}

int send(SOCKET s, const char* buffer, int length, int flags) {
    if (!Valid(s)) return Fail(WSAENOTSOCK);
    if (length < 0 || (!buffer && length > 0)) return Fail(WSAEFAULT);
    ssize_t sent;
    do {
        sent =
            ::send(static_cast<int>(s), buffer, static_cast<size_t>(length), flags | MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    if (sent < 0) return FailErrno();
    return static_cast<int>(sent);
}

int recv(SOCKET s, char* buffer, int length, int flags) {
    if (!Valid(s)) return Fail(WSAENOTSOCK);
    if (length < 0 || (!buffer && length > 0)) return Fail(WSAEFAULT);
    ssize_t got;
    do {
        got = ::recv(static_cast<int>(s), buffer, static_cast<size_t>(length), flags);
    } while (got < 0 && errno == EINTR);
    if (got < 0) return FailErrno();
    return static_cast<int>(got);
}

int PlatformWaitReadable(SOCKET s, uint32_t timeoutMs) {
    if (!Valid(s)) return Fail(WSAENOTSOCK);
    pollfd entry = {static_cast<int>(s), POLLIN, 0};
    int wait = timeoutMs > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int>(timeoutMs);
    int ready;
    do {
        ready = ::poll(&entry, 1, wait);
    } while (ready < 0 && errno == EINTR);
    if (ready < 0) return FailErrno();
    return ready;
}

int closesocket(SOCKET s) {
    if (!Valid(s)) return Fail(WSAENOTSOCK);
    if (::close(static_cast<int>(s)) < 0) return FailErrno();
    return 0;
}

uint16_t(htons)(uint16_t value) {
    return ::htons(value);
}

int getsockname(SOCKET s, sockaddr* address, int* length) {
    if (!Valid(s)) return Fail(WSAENOTSOCK);
    if (!address || !length || *length < static_cast<int>(sizeof(sockaddr_in)))
        return Fail(WSAEFAULT);
    ::sockaddr_in in{};
    socklen_t inLength = sizeof in;
    if (::getsockname(static_cast<int>(s), reinterpret_cast<::sockaddr*>(&in), &inLength) < 0)
        return FailErrno();
    sockaddr_in out{};
    out.sin_family = WSA_AF_INET;
    out.sin_port = in.sin_port;
    out.sin_addr = in.sin_addr.s_addr;
    std::memcpy(address, &out, sizeof out);
    *length = sizeof out;
    return 0;
}

void PlatformWinsockRedirectPort(uint16_t from, uint16_t to) {
    redirectFrom = to ? from : 0;
    redirectTo = to;
}

void PlatformWinsockLoopbackOnly(bool only) {
    loopbackOnly = only;
}

} // namespace ws
