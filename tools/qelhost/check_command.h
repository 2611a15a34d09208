// qelhost check: can this workstation reach the cash register? Reads the
// library's files in the working folder with the library's own code, shows
// their values and tries the connection, without sending an order.
#pragma once

#include <ostream>

namespace qel::qelhost {

// Writes one line per step (read QelConnect.xml, read Sales.ini, resolve,
// connect, TLS handshake, credentials) with its outcome to `out`; a failed
// step shows the message the operator would see. Returns true when every
// step passed.
bool runCheck(std::ostream& out);

}  // namespace qel::qelhost
