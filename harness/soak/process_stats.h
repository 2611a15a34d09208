// What the soak run watches of its own process: resident memory, its peak,
// the heap in use and the open file descriptors (on Windows: the working
// set, its peak, the private bytes and the open handles).
#pragma once

#include <cstddef>

namespace qel::soak {

struct ProcessStats {
  std::size_t residentKiB = 0;      // VmRSS
  std::size_t peakResidentKiB = 0;  // VmHWM
  std::size_t heapInUseBytes = 0;   // bytes handed out by malloc and not freed
  std::size_t openDescriptors = 0;  // entries of /proc/self/fd
};

ProcessStats currentStats();

// How the report names the heap figure and the descriptors on this system.
extern const char kHeapName[];
extern const char kDescriptorName[];

}  // namespace qel::soak
