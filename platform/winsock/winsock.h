// Stand-in for the old platform's socket library, over POSIX sockets: only the calls the TCP
// stream component makes, with their names, result codes and failure paths. Errors are kept
// per thread and read back with WSAGetLastError as the old library's error numbers.
#pragma once

#include <cstdint>

namespace ws {

using SOCKET = uintptr_t;
constexpr SOCKET INVALID_SOCKET = ~static_cast<SOCKET>(0);
constexpr int SOCKET_ERROR = -1;

constexpr int WSA_AF_INET = 2;
constexpr int WSA_SOCK_STREAM = 1;
constexpr long WSA_FIONBIO = static_cast<long>(0x8004667Eu);

// Error numbers of the old library.
constexpr int WSAEINTR = 10004;
constexpr int WSAEBADF = 10009;
constexpr int WSAEFAULT = 10014;
constexpr int WSAEINVAL = 10022;
constexpr int WSAEMFILE = 10024;
constexpr int WSAEWOULDBLOCK = 10035;
constexpr int WSAEINPROGRESS = 10036;
constexpr int WSAENOTSOCK = 10038;
constexpr int WSAEADDRINUSE = 10048;
constexpr int WSAEADDRNOTAVAIL = 10049;
constexpr int WSAENETDOWN = 10050;
constexpr int WSAENETUNREACH = 10051;
constexpr int WSAECONNABORTED = 10053;
constexpr int WSAECONNRESET = 10054;
constexpr int WSAENOBUFS = 10055;
constexpr int WSAENOTCONN = 10057;
constexpr int WSAETIMEDOUT = 10060;
constexpr int WSAECONNREFUSED = 10061;
constexpr int WSAEHOSTUNREACH = 10065;
constexpr int WSAVERNOTSUPPORTED = 10092;
constexpr int WSANOTINITIALISED = 10093;
constexpr int WSAHOST_NOT_FOUND = 11001;

// An IPv4 address as the old library lays it out (16 bytes); port and address in network
// order.
struct sockaddr_in {
    int16_t sin_family;
    uint16_t sin_port;
    uint32_t sin_addr;
    char sin_zero[8];
};
static_assert(sizeof(sockaddr_in) == 16);

struct sockaddr {
    uint16_t sa_family;
    char sa_data[14];
};

// A looked-up host: its name and its IPv4 addresses (h_length bytes each, network order),
// the list ending with a null entry.
struct hostent {
    char* h_name;
    char** h_aliases;
    int16_t h_addrtype;
    int16_t h_length;
    char** h_addr_list;
};

struct WSADATA {
    uint16_t wVersion;
    uint16_t wHighVersion;
    char szDescription[257];
    char szSystemStatus[129];
};

// Versions 1.1 to 2.2 are served; the result is 0 or an error number.
int WSAStartup(uint16_t version, WSADATA* data);
int WSACleanup();
int WSAGetLastError();

SOCKET socket(int family, int type, int protocol);
int bind(SOCKET s, const sockaddr* address, int length);
int listen(SOCKET s, int backlog);
// A socket accepted from a non-blocking listener is non-blocking too, as the old library made
// it.
SOCKET accept(SOCKET s, sockaddr* address, int* length);
int connect(SOCKET s, const sockaddr* address, int length);
// The entry lives until the next call on the same thread; null when the name is not found.
hostent* gethostbyname(const char* name);
int ioctlsocket(SOCKET s, long command, uint32_t* argument);
// A peer that has gone away gives WSAECONNRESET; the process is never signalled.
int send(SOCKET s, const char* buffer, int length, int flags);
int recv(SOCKET s, char* buffer, int length, int flags);
int closesocket(SOCKET s);
uint16_t htons(uint16_t value);
// The address a socket is bound to (tests use it to learn the port picked for port 0).
int getsockname(SOCKET s, sockaddr* address, int* length);

// Waits up to `timeoutMs` for data, the end of the stream or an error on a socket: 1 when
// reading would not wait, 0 when the time ran out, SOCKET_ERROR on failure. Interrupted waits
// go on; the time is restarted then.
int PlatformWaitReadable(SOCKET s, uint32_t timeoutMs);

// Test seams. Outgoing connections to port `from` go to port `to` instead (0 clears); while
// loopback-only is set, a socket bound to the any-address is bound to 127.0.0.1.
void PlatformWinsockRedirectPort(uint16_t from, uint16_t to);
void PlatformWinsockLoopbackOnly(bool only);

} // namespace ws
