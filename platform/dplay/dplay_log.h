// The session service under the input log: while a recording runs, the answers of the session
// object's calls are recorded; while a replay runs, they come from the recording and no network
// is used, so that one machine of a network game plays again alone.
//
// Each call is one session-call event of the log (little-endian): u8 call, i32 result, then
//   1 close, 3 destroy player, 6 open, 8 send: nothing more
//   2 create player     u32 id
//   4 enum sessions     u32 n, n x {u32 callback flags, u8 has session, and when it has:
//                       u32 flags, 16-byte instance, 16-byte application, u32 most players,
//                       u32 players, u16 name length, name}
//   5 message count     u32 count
//   7 receive           u32 from, u32 to, u32 size, and size bytes when the result is 0
// Listing the connections and initialising one touch no network and stay live.
#pragma once

#include "platform/dplay/dplay.h"

// Wraps a session object (the wrapper takes over the reference given). In replay the object is
// only asked for its connections.
IDirectPlay* DplayLogWrap(IDirectPlay* real);

// For the layer's session objects: the interfaces both serve (the two versions), with a
// reference added; others are refused.
HRESULT DplaySessionQueryInterface(IDirectPlay* session, REFIID iid, void** out);
