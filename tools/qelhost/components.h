// The libraries built into qelhost and, from the same static libraries of the
// same build, into the payment-system library: what a security review asks
// for, as the code itself reports it.
#pragma once

#include <string>
#include <vector>

namespace qel::qelhost {

struct Component {
  std::string name;     // "libcurl", "tinyxml2"
  std::string version;  // "7.88.1"
  std::string detail;   // libcurl: its TLS backend ("Schannel", "OpenSSL/3.0.11"); otherwise empty
};

std::vector<Component> linkedComponents();

}  // namespace qel::qelhost
