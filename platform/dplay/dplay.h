// Stand-in for the peer-to-peer session service and its lobby's address building, as the
// network transports call them, over ENet. Only the TCP/IP service provider works: the host of
// a session binds the session's UDP port and relays between the machines that join it; IPX,
// modem and serial answer as when their device is absent. Each open session has a service
// thread that alone uses its ENet host: it acknowledges, sends what the game queued and queues
// what arrives, so no call of the game thread waits on the network, except the few that need
// an answer (enumerating, joining, asking for a player), which wait a bounded time.
#pragma once

#include "platform/com/com.h"
#include "platform/ddraw/ddraw.h"

#include <cstdint>

using DPID = uint32_t;

constexpr HRESULT DP_OK = 0;
constexpr HRESULT DPERR_CANTADDPLAYER = static_cast<HRESULT>(0x88770028u);
constexpr HRESULT DPERR_CANTCREATEPLAYER = static_cast<HRESULT>(0x8877003Cu);
constexpr HRESULT DPERR_GENERIC = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT DPERR_INVALIDFLAGS = static_cast<HRESULT>(0x88770078u);
constexpr HRESULT DPERR_INVALIDPARAMS = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT DPERR_INVALIDOBJECT = static_cast<HRESULT>(0x88770082u);
constexpr HRESULT DPERR_INVALIDPLAYER = static_cast<HRESULT>(0x88770096u);
constexpr HRESULT DPERR_NOCONNECTION = static_cast<HRESULT>(0x887700AAu);
constexpr HRESULT DPERR_NOMESSAGES = static_cast<HRESULT>(0x887700BEu);
constexpr HRESULT DPERR_BUFFERTOOSMALL = static_cast<HRESULT>(0x8877001Eu);
constexpr HRESULT DPERR_SENDTOOBIG = static_cast<HRESULT>(0x887700E6u);
constexpr HRESULT DPERR_BUSY = static_cast<HRESULT>(0x8877010Eu);
constexpr HRESULT DPERR_UNAVAILABLE = static_cast<HRESULT>(0x88770154u);
constexpr HRESULT DPERR_ALREADYINITIALIZED = static_cast<HRESULT>(0x88770005u);
constexpr HRESULT DPERR_UNINITIALIZED = static_cast<HRESULT>(0x8877015Eu);
constexpr HRESULT DPERR_NOSESSIONS = static_cast<HRESULT>(0x887700D2u);
constexpr HRESULT DPERR_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);

constexpr DPID DPID_SYSMSG = 0;
constexpr DPID DPID_ALLPLAYERS = 0;

constexpr uint32_t DPCONNECTION_DIRECTPLAY = 0x1;
constexpr uint32_t DPOPEN_JOIN = 0x1;
constexpr uint32_t DPOPEN_CREATE = 0x2;
constexpr uint32_t DPSEND_GUARANTEED = 0x1;
constexpr uint32_t DPRECEIVE_ALL = 0x1;
constexpr uint32_t DPRECEIVE_PEEK = 0x8;
constexpr uint32_t DPESC_TIMEDOUT = 0x1;
constexpr uint32_t DPSESSION_MIGRATEHOST = 0x4;
constexpr uint32_t DPSESSION_KEEPALIVE = 0x40;

// System message types (first word of a message whose sender is DPID_SYSMSG).
constexpr uint32_t DPSYS_CREATEPLAYERORGROUP = 0x0003;
constexpr uint32_t DPSYS_DESTROYPLAYERORGROUP = 0x0005;
constexpr uint32_t DPSYS_SESSIONLOST = 0x0031;
constexpr uint32_t DPSYS_HOST = 0x0101;

// {type, player type, id} of a created or destroyed player; the other system messages carry
// only the type.
struct DPMSG_PLAYER {
    uint32_t dwType;
    uint32_t dwPlayerType;
    DPID dpId;
};

extern const GUID CLSID_DirectPlay;
extern const GUID CLSID_DirectPlayLobby;
extern const GUID IID_IDirectPlay3A;
extern const GUID IID_IDirectPlay4A;
extern const GUID IID_IDirectPlayLobby2A;
extern const GUID IID_IDirectPlayLobby3A;
extern const GUID DPSPGUID_TCPIP;
extern const GUID DPSPGUID_IPX;
extern const GUID DPSPGUID_MODEM;
extern const GUID DPSPGUID_SERIAL;
extern const GUID DPAID_ServiceProvider;
extern const GUID DPAID_INet;
extern const GUID DPAID_Modem;
extern const GUID DPAID_Phone;
extern const GUID DPAID_ComPort;

struct DPSESSIONDESC2 {
    uint32_t dwSize;
    uint32_t dwFlags;
    GUID guidInstance;
    GUID guidApplication;
    uint32_t dwMaxPlayers;
    uint32_t dwCurrentPlayers;
    const char* lpszSessionNameA;
};

struct DPNAME {
    uint32_t dwSize;
    uint32_t dwFlags;
    const char* lpszShortNameA;
    const char* lpszLongNameA;
};

struct DPCOMPOUNDADDRESSELEMENT {
    GUID guidDataType;
    uint32_t dwDataSize;
    const void* lpData;
};

using LPDPENUMCONNECTIONSCALLBACK = int (*)(const GUID* serviceProvider, void* connection,
                                            uint32_t connectionSize, const DPNAME* name,
                                            uint32_t flags, void* context);
using LPDPENUMSESSIONSCALLBACK2 = int (*)(const DPSESSIONDESC2* desc, uint32_t* timeoutMs,
                                          uint32_t flags, void* context);

// One class serves both interface versions: the methods the transports call sit at the same
// places in both.
class IDirectPlay {
public:
    virtual HRESULT QueryInterface(REFIID iid, void** out) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    virtual HRESULT Close() = 0;
    virtual HRESULT CreatePlayer(DPID* id, const DPNAME* name, void* event, const void* data,
                                 uint32_t dataSize, uint32_t flags) = 0;
    virtual HRESULT DestroyPlayer(DPID id) = 0;
    virtual HRESULT EnumSessions(const DPSESSIONDESC2* desc, uint32_t timeoutMs,
                                 LPDPENUMSESSIONSCALLBACK2 callback, void* context,
                                 uint32_t flags) = 0;
    virtual HRESULT GetMessageCount(DPID id, uint32_t* count) = 0;
    virtual HRESULT Open(const DPSESSIONDESC2* desc, uint32_t flags) = 0;
    virtual HRESULT Receive(DPID* from, DPID* to, uint32_t flags, void* data, uint32_t* size) = 0;
    virtual HRESULT Send(DPID from, DPID to, uint32_t flags, const void* data, uint32_t size) = 0;
    virtual HRESULT EnumConnections(const GUID* application, LPDPENUMCONNECTIONSCALLBACK callback,
                                    void* context, uint32_t flags) = 0;
    virtual HRESULT InitializeConnection(const void* connection, uint32_t flags) = 0;

protected:
    ~IDirectPlay() = default;
};

class IDirectPlayLobby {
public:
    virtual HRESULT QueryInterface(REFIID iid, void** out) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    virtual HRESULT CreateCompoundAddress(const DPCOMPOUNDADDRESSELEMENT* elements, uint32_t count,
                                          void* address, uint32_t* size) = 0;

protected:
    ~IDirectPlayLobby() = default;
};

// Creates the session object or the lobby (the two classes above); other classes fail.
HRESULT DirectPlayCoCreateInstance(REFCLSID clsid, void* outer, uint32_t context, REFIID iid,
                                   void** out);

// Test seams: the UDP port sessions are hosted on and looked for (the default when 0; while a
// port is set, sessions are hosted on the loopback address only), and the number of times a
// game thread has waited for an answer from the network. A program run by a test takes its
// port from MAROVANT_SESSION_PORT.
void PlatformDplaySetPort(uint16_t port);
uint32_t PlatformDplayWaitCount();
// A UDP port on the loopback address that no socket holds at the moment (0 if none is found),
// for tests that run sessions side by side.
uint16_t PlatformDplayFreePort();
