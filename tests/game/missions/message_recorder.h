// A type handler for mission fixtures that notes every message its objects receive, then
// handles it as the default handler does.
#pragma once

#include <cstdint>
#include <vector>

#include "game/objects/objects.h"

struct RecordedMessage {
    int32_t scriptId, message;
    intptr_t p1;
};

inline std::vector<RecordedMessage>& RecordedMessages() {
    static std::vector<RecordedMessage> messages;
    return messages;
}

inline intptr_t RecordingHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    RecordedMessages().push_back({object->scriptId, message, p1});
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

// How often the object with that script id received the message with that p1.
inline int CountRecorded(int32_t scriptId, int32_t message, intptr_t p1) {
    int n = 0;
    for (const RecordedMessage& r : RecordedMessages())
        if (r.scriptId == scriptId && r.message == message && r.p1 == p1) n++;
    return n;
}
