// How qelhost check shows the password: whether there is one, and for a
// protected one its scope and whether it decrypts here; never its text.
#pragma once

#include <string>

#include "config/connector_config.h"

namespace qel::qelhost {

// The value shown for `config`'s password. For a protected password that
// does not decrypt here, `problem` receives the message a sale would show;
// otherwise it is left empty.
std::string passwordStatus(const ConnectorConfig& config, std::string& problem);

}  // namespace qel::qelhost
