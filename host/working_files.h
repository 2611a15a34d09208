// Names of the files that the library reads in the host's working folder.
#pragma once

namespace qel {

constexpr char kConfigFileName[] = "QelConnect.xml";
// The host's own settings, which hold the terminal number.
constexpr char kTerminalFileName[] = "Sales.ini";

}  // namespace qel
