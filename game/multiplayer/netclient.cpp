#include "game/multiplayer/netclient.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "engine/core/engine.h"
#include "engine/core/file_interface.h"
#include "engine/core/texture.h"
#include "framework/core/framework.h"
#include "framework/network/network.h"
#include "game/multiplayer/multiplayer.h"
#include "game/multiplayer/remoteplayers.h"
#include "game/player/playercraft.h"
#include "shell/errors.h"
#include "shell/resfile.h"
#include "shell/settings.h"

MV2NetClient gMV2Net = {};
int32_t gMV2NetHost = 0;
int32_t gMV2NetBackFromGame = 0;

namespace {

constexpr VkGuid kApplicationGuid = {
    0x2A717401, 0xAAD5, 0x11D2, {0xBE, 0x85, 0x00, 0x60, 0x08, 0x51, 0x3E, 0x1D}};
constexpr uint32_t kMaxServiceNames = 8;

void CopyCut(char* out, size_t size, const char* text) {
    std::snprintf(out, size, "%s", text ? text : "");
}

// Selects the chosen service and opens it; a joining machine gives the TCP address first.
int32_t OpenChosenService() {
    IVkNetwork* n = gMV2Net.network;
    if (n->SelectService(uint32_t(gMV2Net.serviceIndex)) < 0) return 0;
    if (gMV2Net.serviceIndex == 1 && !gMV2NetHost &&
        n->SetOption(kVkNetOptionTcpAddress, gMV2Net.address) < 0)
        return 0;
    return n->OpenService(uint32_t(gMV2Net.serviceIndex)) < 0 ? 0 : 1;
}

// 0 when the file could not be opened (it is not looked for again).
int32_t LoadTexts() {
    char name[64];
    const int32_t language = MV2LanguageFolderIndex;
    if (language > 0 && language < 7 && MV2LanguageFolders[language])
        std::snprintf(name, sizeof name, ".\\DATA\\%s\\mplay.txt", MV2LanguageFolders[language]);
    else
        std::snprintf(name, sizeof name, ".\\DATA\\mplay.txt");
    gMV2Net.textsLoaded = 1;
    TvFileInterface* files = TvEngineGetFileInterface();
    void* file = files ? files->open(name, "r") : nullptr;
    if (!file) {
        MV2ErrorBox("mplay.txt could not be opened or does not exist");
        return 0;
    }
    MV2NetReadTexts(file, gMV2Net.texts, kMV2NetTextLines);
    files->close(file);
    return 1;
}

// What hosting and joining share once the session is open: the per-session reset and the
// game player of this machine.
int32_t EnterSession() {
    IVkNetwork* n = gMV2Net.network;
    gMV2Net.spawnData = 0;
    MV2SetPlayerControlState(0);
    MV2NetReset();
    n->Poll();
    if (n->CreatePlayer(gMV2Net.localId, &gMV2Net.gamePlayerId, 0) < 0) return 0;
    gMV2Net.gamePlayer = 1;
    gMV2Net.nextObjectId = 1;
    return 1;
}

} // namespace

int32_t MV2NetReadTexts(void* file, char (*lines)[kMV2NetTextSize], int32_t maxLines) {
    TvFileInterface* files = TvEngineGetFileInterface();
    if (!files || !file || maxLines <= 0) return 0;
    // The first line is read and dropped: the second read lands on the same table line.
    int32_t count = 0;
    bool first = true;
    while (count < maxLines) {
        char* line = lines[count];
        if (!files->readLine(line, kMV2NetTextSize, file)) {
            line[0] = '\0';
            break;
        }
        line[kMV2NetTextSize - 1] = '\0';
        if (first) {
            first = false;
            line[0] = '\0';
            continue;
        }
        ++count;
    }
    return count;
}

void MV2NetFormatText(char* out, size_t size, const char* text, const char* const* args,
                      int32_t count) {
    if (!out || size == 0) return;
    size_t n = 0;
    int32_t next = 0;
    auto put = [&](char c) {
        if (n + 1 < size) out[n++] = c;
    };
    for (const char* p = text ? text : ""; *p && n + 1 < size; ++p) {
        if (p[0] == '%' && p[1] == 's') {
            const char* arg = next < count && args && args[next] ? args[next] : "";
            ++next;
            while (*arg)
                put(*arg++);
            ++p;
        } else if (p[0] == '%' && p[1] == '%') {
            put('%');
            ++p;
        } else {
            put(*p);
        }
    }
    out[n] = '\0';
}

int32_t MV2NetCreateClient() {
    if (gMV2Net.created) return 1;
    void* object = nullptr;
    gMV2Net.network = nullptr;
    if (VkCreateInstance(CLSID_VkNetwork, nullptr, 0, IID_IVkNetwork, &object) < 0 || !object) {
        MV2ErrorBox("Client: Could not create network component.\n");
        return 0;
    }
    IVkNetwork* n = static_cast<IVkNetwork*>(object);
    if (n->Initialise() < 0) {
        n->Release();
        MV2ErrorBox("Client: Could not create network component.\n");
        return 0;
    }
    n->SetApplicationGuid(&kApplicationGuid);
    n->SetMessageCallBack(MV2NetMessageCallBack);
    if (n->GetNumServices() == 0) {
        n->Release();
        return 0;
    }
    gMV2Net.network = n;
    gMV2Net.created = 1;
    return 1;
}

void MV2NetListServices() {
    gMV2Net.tcpAvailable = 0;
    gMV2Net.ipxAvailable = 0;
    if (!gMV2Net.network) return;
    uint32_t count = gMV2Net.network->GetNumServices();
    if (count > kMaxServiceNames) count = kMaxServiceNames;
    bool named = false;
    for (uint32_t i = 0; i < count; ++i) {
        char* text = nullptr;
        if (gMV2Net.network->GetServiceName(i, &text) < 0 || !text) continue;
        char name[256];
        CopyCut(name, sizeof name, text);
        for (char* c = name; *c; ++c)
            *c = char(std::toupper(static_cast<unsigned char>(*c)));
        if (std::strstr(name, "TCP")) gMV2Net.tcpAvailable = named = true;
        if (std::strstr(name, "IPX")) gMV2Net.ipxAvailable = named = true;
    }
    if (!named) gMV2Net.tcpAvailable = gMV2Net.ipxAvailable = 1;
}

int32_t MV2NetDisconnect() {
    if (gMV2Net.network) gMV2Net.network->Disconnect();
    return 1;
}

int32_t MV2NetEnumSessions(char* names, int32_t maxCount, int32_t stride) {
    if (!gMV2Net.network || !names || stride < 1) return 0;
    MV2NetDisconnect();
    if (!OpenChosenService()) return 0;
    uint32_t count = 0;
    if (gMV2Net.network->EnumSessions(&count) < 0 || count < 1) return 0;
    int32_t i = 0;
    for (; uint32_t(i) < count && i < maxCount; ++i) {
        void* desc = nullptr;
        if (gMV2Net.network->GetSessionDesc(uint32_t(i), &desc) < 0 || !desc) continue;
        // A session entry begins with its name.
        std::snprintf(names + size_t(i) * size_t(stride), size_t(stride), "%s",
                      static_cast<const char*>(desc));
    }
    return i;
}

int32_t MV2NetHostSession(const char* description) {
    if (!gMV2Net.network) return 0;
    IVkNetwork* n = gMV2Net.network;
    MV2NetCloseSession();
    MV2NetDisconnect();
    if (!OpenChosenService()) return 0;
    if (n->HostSession(description, &gMV2Net.localId) < 0) return 0;
    n->Poll();
    gMV2Net.playerCount = 0;
    gMV2Net.fragLimit = gMV2Settings.fragLimit;
    if (!EnterSession()) return 0;
    gMV2Net.inSession = 1;
    return 1;
}

int32_t MV2NetJoinSession(int32_t index) {
    if (!gMV2Net.network || index < 0) return 0;
    IVkNetwork* n = gMV2Net.network;
    // Enumerating again inside the join replaces the entries: join by a copy of the name.
    void* desc = nullptr;
    if (n->GetSessionDesc(uint32_t(index), &desc) < 0 || !desc) return 0;
    char name[128];
    CopyCut(name, sizeof name, static_cast<const char*>(desc));
    if (n->JoinSession(name, &gMV2Net.localId) < 0) return 0;
    gMV2Net.inSession = 1;
    return EnterSession();
}

void MV2NetCloseSession() {
    if (!gMV2Net.inSession) return;
    if (gMV2Net.network) gMV2Net.network->CloseSession();
    gMV2Net.inSession = 0;
}

void MV2NetLeaveGame() {
    if (!gMV2Net.gamePlayer) return;
    gMV2Net.gamePlayer = 0;
    gMV2Net.running = 0;
    if (!gMV2Net.network) return;
    if (gMV2Net.network->DestroyPlayer(gMV2Net.gamePlayerId) < 0)
        MV2ErrorBox("Couldn't destroy network player");
    MV2NetSendSimple(kMV2NetPlayerLeft, 0);
    if (gMV2NetHost) {
        MV2NetSendSimple(kMV2NetSessionClosed, 0);
        gMV2Net.network->CloseSession();
    }
}

void MV2NetDestroyClient() {
    gMV2Net.created = 0;
    if (!gMV2Net.network) return;
    MV2NetDisconnect();
    gMV2Net.network->Release();
    gMV2Net.network = nullptr;
    gMV2Net.inSession = 0;
}

void MV2NetShutdown() {
    MV2NetDestroyClient();
    if (gMV2Net.icons) {
        TvTextureDestroy(gMV2Net.icons);
        gMV2Net.icons = nullptr;
    }
}

int32_t MV2NetLoadIcons() {
    if (!gMV2Net.icons) gMV2Net.icons = TvTextureRead("MPICONS", "MPICONSM");
    return gMV2Net.icons ? 1 : 0;
}

void MV2NetSetAddress(const char* text) {
    CopyCut(gMV2Net.address, sizeof gMV2Net.address, text);
}

const char* MV2NetGetAddress() {
    return gMV2Net.address;
}

void MV2NetReset() {
    MV2NetClearTicker();
    // A missing file skips the rest of this reset; the session goes on without texts.
    if (!gMV2Net.textsLoaded && !LoadTexts()) return;
    MV2NetStampBuffers();
    gMV2Net.spawnCursor = 0;
    gMV2Net.gameOver = 0;
    gMV2Net.frags = 0;
    MV2NetClearRecords();
    gMV2Net.sequence = 0;
}

void MV2NetAddLocalFrags(int32_t delta) {
    gMV2Net.frags += delta;
}
