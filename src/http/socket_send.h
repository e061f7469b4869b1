// How camknobd sends on a socket: never with SIGPIPE for a peer that left.
#pragma once

#include <sys/socket.h>

namespace camknob::http {

#if defined(MSG_NOSIGNAL)
inline constexpr int sendFlags = MSG_NOSIGNAL;
#else
inline constexpr int sendFlags = 0;  // macOS: SIGPIPE is ignored by the program
#endif

}  // namespace camknob::http
