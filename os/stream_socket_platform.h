#pragma once

#include "os/stream_socket.h"

namespace keystead::os {

// The system's poll behind WaitReadable and WaitWritable, implemented once
// per platform. Thread-safe; never throws.
enum class SocketDirection { kRead, kWrite };

// One poll of the socket for the direction, waiting at most waitMs (a
// pending interruption retried). A hang-up is kReady: the reader sees the
// close as a 0-byte read; kError is for a failed poll or an invalid socket.
SocketWait PollSocket(SocketHandle socket, SocketDirection direction, int waitMs);

}  // namespace keystead::os
