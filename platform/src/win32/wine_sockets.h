// For tests under wine: whether this wine lacks the local (AF_UNIX) sockets Windows has.
#pragma once

#include <string>

namespace platform::test {

// Empty on Windows and on a wine with AF_UNIX sockets; else why the socket tests cannot run.
std::string wine_without_local_sockets();

}  // namespace platform::test
