// Reading the soak run's own figures on Windows: the working set and its
// peak, the bytes in use in the C runtime's heap and the open handles.
#include <windows.h>
#include <malloc.h>
#include <psapi.h>

#include <vector>

#include "tools/soak/process_stats.h"

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

// SYSTEM_HANDLE_INFORMATION of NtQuerySystemInformation (class 16): every
// handle of the system with the process that owns it.
struct SystemHandleEntry {
  ULONG ownerPid;
  BYTE objectType;
  BYTE flags;
  USHORT handle;
  PVOID object;
  ACCESS_MASK access;
};
struct SystemHandleInformation {
  ULONG count;
  SystemHandleEntry handles[1];
};
using QuerySystemInformation = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
constexpr ULONG kSystemHandleInformation = 16;
constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);

// GetProcessHandleCount, or where it answers 0 (Wine does) the handles of
// this process in the system's handle list.
std::size_t openHandles() {
  DWORD count = 0;
  if (GetProcessHandleCount(GetCurrentProcess(), &count) && count > 0) return count;
  auto query = reinterpret_cast<QuerySystemInformation>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
  if (query == nullptr) return 0;
  std::vector<BYTE> buffer(1 << 16);
  LONG status = 0;
  ULONG needed = 0;
  while ((status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed)) ==
         kInfoLengthMismatch) {
    buffer.resize(buffer.size() * 2);
  }
  if (status < 0) return 0;
  const auto* info = reinterpret_cast<const SystemHandleInformation*>(buffer.data());
  const ULONG self = GetCurrentProcessId();
  std::size_t own = 0;
  for (ULONG i = 0; i < info->count; ++i) {
    if (info->handles[i].ownerPid == self) ++own;
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
