// Resetting a test server's connection with Winsock.
#include <winsock2.h>

#include "tests/faults/fault_server.h"

namespace qel::test {

void resetConnection(Socket& socket) {
  linger abort{};
  abort.l_onoff = 1;
  abort.l_linger = 0;
  ::setsockopt(static_cast<SOCKET>(socket.handle()), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort),
               sizeof abort);
  socket = Socket();
}

}  // namespace qel::test
