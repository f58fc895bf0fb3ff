#include "platform/dplay/dplay_log.h"

#include "platform/win32/inputlog.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

enum Call : uint8_t {
    kClose = 1,
    kCreatePlayer = 2,
    kDestroyPlayer = 3,
    kEnumSessions = 4,
    kMessageCount = 5,
    kOpen = 6,
    kReceive = 7,
    kSend = 8,
};

constexpr HRESULT kReplayEnded = DPERR_NOCONNECTION;

// An event's bytes being written.
struct Writer {
    std::vector<uint8_t>& out;
    void U8(uint8_t v) { out.push_back(v); }
    void U16(uint16_t v) {
        U8(uint8_t(v));
        U8(uint8_t(v >> 8));
    }
    void U32(uint32_t v) {
        for (int i = 0; i < 4; ++i) U8(uint8_t(v >> (8 * i)));
    }
    void Bytes(const void* p, size_t n) {
        const auto* b = static_cast<const uint8_t*>(p);
        out.insert(out.end(), b, b + n);
    }
};

// A recorded event's bytes being read; every read is checked against the end.
struct Reader {
    const uint8_t* p;
    uint32_t left;
    bool ok = true;
    const uint8_t* Take(uint32_t n) {
        if (!ok || left < n) {
            ok = false;
            return nullptr;
        }
        const uint8_t* at = p;
        p += n;
        left -= n;
        return at;
    }
    uint32_t U32() {
        const uint8_t* b = Take(4);
        return b ? uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 |
                       uint32_t(b[3]) << 24
                 : 0;
    }
    uint16_t U16() {
        const uint8_t* b = Take(2);
        return b ? uint16_t(b[0] | b[1] << 8) : 0;
    }
    uint8_t U8() {
        const uint8_t* b = Take(1);
        return b ? b[0] : 0;
    }
};

struct SeenSession {
    uint32_t callbackFlags;
    bool has;
    DPSESSIONDESC2 desc;
    std::string name;
};

struct EnumContext {
    LPDPENUMSESSIONSCALLBACK2 callback;
    void* context;
    std::vector<SeenSession>* seen;
};

int RecordingEnumCallback(const DPSESSIONDESC2* desc, uint32_t* timeoutMs, uint32_t flags,
                          void* context) {
    auto* c = static_cast<EnumContext*>(context);
    SeenSession s{flags, desc != nullptr, {}, {}};
    if (desc) {
        s.desc = *desc;
        s.name = desc->lpszSessionNameA ? desc->lpszSessionNameA : "";
        if (s.name.size() > 0xFFFF) s.name.resize(0xFFFF);
    }
    c->seen->push_back(std::move(s));
    return c->callback(desc, timeoutMs, flags, c->context);
}

class LoggedDirectPlay final : public IDirectPlay {
public:
    explicit LoggedDirectPlay(IDirectPlay* real) : real_(real) { buffer_.reserve(512); }

    HRESULT QueryInterface(REFIID iid, void** out) override {
        return DplaySessionQueryInterface(this, iid, out);
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        if (--refs_ > 0) return refs_;
        real_->Release();
        delete this;
        return 0;
    }

    HRESULT Close() override {
        if (Replay()) return Simple(kClose);
        return Record(kClose, real_->Close());
    }
    HRESULT Open(const DPSESSIONDESC2* desc, uint32_t flags) override {
        if (Replay()) return Simple(kOpen);
        return Record(kOpen, real_->Open(desc, flags));
    }
    HRESULT DestroyPlayer(DPID id) override {
        if (Replay()) return Simple(kDestroyPlayer);
        return Record(kDestroyPlayer, real_->DestroyPlayer(id));
    }
    HRESULT Send(DPID from, DPID to, uint32_t flags, const void* data, uint32_t size) override {
        if (Replay()) return Simple(kSend);
        return Record(kSend, real_->Send(from, to, flags, data, size));
    }

    HRESULT CreatePlayer(DPID* id, const DPNAME* name, void* event, const void* data,
                         uint32_t dataSize, uint32_t flags) override {
        if (Replay()) {
            Reader r;
            HRESULT hr;
            if (!Next(kCreatePlayer, &r, &hr)) return kReplayEnded;
            DPID got = r.U32();
            if (id && hr >= 0) *id = got;
            return hr;
        }
        HRESULT hr = real_->CreatePlayer(id, name, event, data, dataSize, flags);
        Writer w = Begin(kCreatePlayer, hr);
        w.U32(id && hr >= 0 ? *id : 0);
        inputlog::RecordCall(buffer_.data(), uint32_t(buffer_.size()));
        return hr;
    }

    HRESULT GetMessageCount(DPID id, uint32_t* count) override {
        if (Replay()) {
            Reader r;
            HRESULT hr;
            if (!Next(kMessageCount, &r, &hr)) return kReplayEnded;
            uint32_t got = r.U32();
            if (count && hr >= 0) *count = got;
            return hr;
        }
        HRESULT hr = real_->GetMessageCount(id, count);
        Writer w = Begin(kMessageCount, hr);
        w.U32(count && hr >= 0 ? *count : 0);
        inputlog::RecordCall(buffer_.data(), uint32_t(buffer_.size()));
        return hr;
    }

    HRESULT Receive(DPID* from, DPID* to, uint32_t flags, void* data, uint32_t* size) override {
        if (Replay()) {
            Reader r;
            HRESULT hr;
            if (!Next(kReceive, &r, &hr)) return kReplayEnded;
            DPID f = r.U32(), t = r.U32();
            uint32_t n = r.U32();
            const uint8_t* bytes = hr == DP_OK ? r.Take(n) : nullptr;
            if (!r.ok) return kReplayEnded;
            if (!from || !to || !size) return DPERR_INVALIDPARAMS;
            if (hr == DP_OK && (!data || *size < n)) {
                // The game asked with less room than it had when recorded: it is out of step.
                *size = n;
                return DPERR_BUFFERTOOSMALL;
            }
            *from = f;
            *to = t;
            if (hr == DP_OK || hr == DPERR_BUFFERTOOSMALL) *size = n;
            if (bytes && n) std::memcpy(data, bytes, n);
            return hr;
        }
        HRESULT hr = real_->Receive(from, to, flags, data, size);
        Writer w = Begin(kReceive, hr);
        w.U32(from ? *from : 0);
        w.U32(to ? *to : 0);
        uint32_t n = size && (hr == DP_OK || hr == DPERR_BUFFERTOOSMALL) ? *size : 0;
        if (hr == DP_OK && !data) n = 0;
        w.U32(n);
        if (hr == DP_OK && n) w.Bytes(data, n);
        inputlog::RecordCall(buffer_.data(), uint32_t(buffer_.size()));
        return hr;
    }

    HRESULT EnumSessions(const DPSESSIONDESC2* desc, uint32_t timeoutMs,
                         LPDPENUMSESSIONSCALLBACK2 callback, void* context,
                         uint32_t flags) override {
        if (Replay()) {
            Reader r;
            HRESULT hr;
            if (!Next(kEnumSessions, &r, &hr)) return kReplayEnded;
            uint32_t n = r.U32();
            for (uint32_t i = 0; i < n && r.ok; ++i) {
                uint32_t callbackFlags = r.U32();
                bool has = r.U8() != 0;
                DPSESSIONDESC2 found = {};
                std::string name;
                if (has) {
                    found.dwSize = sizeof found;
                    found.dwFlags = r.U32();
                    if (const uint8_t* g = r.Take(16)) std::memcpy(&found.guidInstance, g, 16);
                    if (const uint8_t* g = r.Take(16)) std::memcpy(&found.guidApplication, g, 16);
                    found.dwMaxPlayers = r.U32();
                    found.dwCurrentPlayers = r.U32();
                    uint16_t length = r.U16();
                    if (const uint8_t* b = r.Take(length))
                        name.assign(reinterpret_cast<const char*>(b), length);
                    found.lpszSessionNameA = name.c_str();
                }
                if (!r.ok || !callback) break;
                uint32_t timeout = 0;
                callback(has ? &found : nullptr, &timeout, callbackFlags, context);
            }
            return r.ok ? hr : kReplayEnded;
        }
        std::vector<SeenSession> seen;
        EnumContext c{callback, context, &seen};
        HRESULT hr = real_->EnumSessions(desc, timeoutMs, callback ? RecordingEnumCallback : nullptr,
                                         &c, flags);
        Writer w = Begin(kEnumSessions, hr);
        w.U32(uint32_t(seen.size()));
        for (const SeenSession& s : seen) {
            w.U32(s.callbackFlags);
            w.U8(s.has ? 1 : 0);
            if (!s.has) continue;
            w.U32(s.desc.dwFlags);
            w.Bytes(&s.desc.guidInstance, 16);
            w.Bytes(&s.desc.guidApplication, 16);
            w.U32(s.desc.dwMaxPlayers);
            w.U32(s.desc.dwCurrentPlayers);
            w.U16(uint16_t(s.name.size()));
            w.Bytes(s.name.data(), s.name.size());
        }
        inputlog::RecordCall(buffer_.data(), uint32_t(buffer_.size()));
        return hr;
    }

    HRESULT EnumConnections(const GUID* application, LPDPENUMCONNECTIONSCALLBACK callback,
                            void* context, uint32_t flags) override {
        return real_->EnumConnections(application, callback, context, flags);
    }
    HRESULT InitializeConnection(const void* connection, uint32_t flags) override {
        return real_->InitializeConnection(connection, flags);
    }

private:
    ~LoggedDirectPlay() = default;

    static bool Replay() { return inputlog::ReplayingSessions(); }

    Writer Begin(Call call, HRESULT hr) {
        buffer_.clear();
        Writer w{buffer_};
        w.U8(call);
        w.U32(static_cast<uint32_t>(hr));
        return w;
    }

    HRESULT Record(Call call, HRESULT hr) {
        Begin(call, hr);
        inputlog::RecordCall(buffer_.data(), uint32_t(buffer_.size()));
        return hr;
    }

    // The next session call of the replay when it is this call; otherwise the replay is out of
    // step and ends.
    static bool Next(Call call, Reader* r, HRESULT* hr) {
        uint32_t size = 0;
        const uint8_t* bytes = inputlog::ReplayCall(&size);
        if (!bytes) return false;
        *r = Reader{bytes, size};
        if (r->U8() != call) {
            inputlog::ReplayOutOfStep("a different session call");
            return false;
        }
        *hr = static_cast<HRESULT>(r->U32());
        return r->ok;
    }

    static HRESULT Simple(Call call) {
        Reader r{nullptr, 0};
        HRESULT hr;
        return Next(call, &r, &hr) ? hr : kReplayEnded;
    }

    IDirectPlay* real_;
    ULONG refs_ = 1;
    std::vector<uint8_t> buffer_;
};

} // namespace

IDirectPlay* DplayLogWrap(IDirectPlay* real) {
    return real ? new LoggedDirectPlay(real) : nullptr;
}
