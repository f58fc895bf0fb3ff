// Circular doubly linked lists through embedded TvLink fields; a head is empty when it points to
// itself.
#pragma once

#include "engine/core/engine.h"

inline void TvLinkInit(TvLink* head) {
    head->next = head->prev = head;
}

inline bool TvLinkEmpty(const TvLink* head) {
    return head->next == head;
}

inline void TvLinkInsertHead(TvLink* head, TvLink* link) {
    link->next = head->next;
    link->prev = head;
    head->next->prev = link;
    head->next = link;
}

// Unlinks and leaves the link pointing to itself, so a second removal is harmless.
inline void TvLinkRemove(TvLink* link) {
    link->prev->next = link->next;
    link->next->prev = link->prev;
    TvLinkInit(link);
}
