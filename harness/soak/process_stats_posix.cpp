// Reading the soak run's own figures on Linux, from /proc and from glibc's
// allocator.
#include "harness/soak/process_stats.h"

#include <malloc.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace qel::soak {

namespace {

// A "Name:   123 kB" line of /proc/self/status.
std::size_t statusKiB(const std::string& name) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.compare(0, name.size() + 1, name + ":") == 0) return std::stoul(line.substr(name.size() + 1));
  }
  return 0;
}

std::size_t countDescriptors() {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
  // The directory listing holds one descriptor of its own while it runs.
  return count - 1;
}

}  // namespace

const char kHeapName[] = "heap";
const char kDescriptorName[] = "fds";

ProcessStats currentStats() {
  ProcessStats stats;
  stats.residentKiB = statusKiB("VmRSS");
  stats.peakResidentKiB = statusKiB("VmHWM");
  const struct mallinfo2 heap = mallinfo2();
  stats.heapInUseBytes = heap.uordblks + heap.hblkhd;
  stats.openDescriptors = countDescriptors();
  return stats;
}

}  // namespace qel::soak
