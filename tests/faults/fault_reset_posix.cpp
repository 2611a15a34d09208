// Resetting a test server's connection on POSIX.
#include <sys/socket.h>

#include "tests/faults/fault_server.h"

namespace qel::test {

void resetConnection(Socket& socket) {
  const linger abort{1, 0};
  ::setsockopt(static_cast<int>(socket.handle()), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
  socket = Socket();
}

}  // namespace qel::test
