// Reading the soak run's own figures on Windows: the working set and its
// peak, the bytes in use in the C runtime's heap and the open handles.
#include <windows.h>
#include <malloc.h>
#include <psapi.h>

#include "harness/soak/process_stats.h"

namespace qel::soak {

namespace {

// The bytes of all blocks in use in the C runtime's heap, where every
// malloc and new of the DLL and of this program ends up.
std::size_t crtHeapInUse() {
  std::size_t used = 0;
  _HEAPINFO entry{};
  while (_heapwalk(&entry) == _HEAPOK) {
    if (entry._useflag == _USEDENTRY) used += entry._size;
  }
  return used;
}

// Handle values are multiples of four, and Windows and Wine both hand out
// the lowest free slot first, so the table is dense: past this many free
// slots in a row no handle of the process is left.
constexpr ULONG_PTR kHandleStep = 4;
constexpr std::size_t kFreeSlotsAtEnd = 1024;

// GetProcessHandleCount, or where it answers 0 (Wine does) the handles this
// process holds, found by asking each slot about itself. The system's whole
// handle list (NtQuerySystemInformation) is not used: Wine's server crashes
// listing it while another process starts or ends.
std::size_t openHandles() {
  DWORD count = 0;
  if (GetProcessHandleCount(GetCurrentProcess(), &count) && count > 0) return count;
  std::size_t own = 0;
  std::size_t freeInARow = 0;
  for (ULONG_PTR value = kHandleStep; freeInARow < kFreeSlotsAtEnd; value += kHandleStep) {
    DWORD flags = 0;
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) {
      ++own;
      freeInARow = 0;
    } else {
      ++freeInARow;
    }
  }
  return own;
}

}  // namespace

const char kHeapName[] = "heap";
const char kDescriptorName[] = "handles";

ProcessStats currentStats() {
  ProcessStats stats;
  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof memory;
  if (GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory)) {
    stats.residentKiB = memory.WorkingSetSize / 1024;
    stats.peakResidentKiB = memory.PeakWorkingSetSize / 1024;
  }
  stats.heapInUseBytes = crtHeapInUse();
  stats.openDescriptors = openHandles();
  return stats;
}

}  // namespace qel::soak
