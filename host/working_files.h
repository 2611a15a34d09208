// Names of the files that the library reads in the host's working folder, and
// how much of them it reads at most.
#pragma once

#include <cstddef>

namespace qel {

constexpr char kConfigFileName[] = "QelConnect.xml";
// The host's own settings, which hold the terminal number.
constexpr char kTerminalFileName[] = "Sales.ini";

// No real QelConnect.xml or Sales.ini comes near a few MiB; a larger one is
// refused rather than read into memory, so that a runaway file (or one linked
// to a device) cannot exhaust the host's address space.
constexpr std::size_t kLargestWorkingFile = std::size_t{64} << 20;

}  // namespace qel
