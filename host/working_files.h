// Names of the files that the library reads in the host's working folder.
#pragma once

namespace qel {

constexpr char kConfigFileName[] = "QelConnect.xml";

}  // namespace qel
