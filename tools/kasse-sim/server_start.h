// Starting kasse-sim's server: the certificate checked and named, the port
// bound for this process alone, and every failure told with its reason.
#pragma once

#include <httplib.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "tools/kasse-sim/sim_options.h"

namespace qel::sim {

// A failure to start, told in one line without the usage text.
class StartError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Throws StartError naming `what`, the file and the system's reason unless
// `path` can be opened for reading.
void checkReadableFile(const char* what, const std::string& path);

// An HTTP server, or an HTTPS one with the options' certificate and key;
// throws StartError naming the file and the reason when they cannot be used.
std::unique_ptr<httplib::Server> makeServer(const SimOptions& options);

// Binds `server` to 127.0.0.1:`port` (0: a free port) and gives the port.
// A port that another process holds is refused, not shared; throws
// StartError with the system's reason.
int bindServer(httplib::Server& server, int port);

// The host name that the certificate in `certFile` is for: its first DNS
// name, else its first IP address, else its common name; "127.0.0.1" when
// it names none.
std::string certificateHost(const std::string& certFile);

}  // namespace qel::sim
