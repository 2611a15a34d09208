// QelConnect.dll loaded, used and unloaded a hundred times in one process, as
// a host does that frees its payment plug-in after hrECDeInit and loads it
// again later: no crash, no hang, every call returns its code, the module
// stays mapped once it has used libcurl, and nothing grows.
#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "boxoffice/box_hook_win32.h"
#include "boxoffice/host_library.h"
#include "boxoffice/host_sale.h"
#include "harness/soak/process_stats.h"
#include "host/qelconnect.h"
#include "tests/support/sale_scenario.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/server_loopback.h"
#include "tests/transport/kasse_answers.h"

namespace qel::test {
namespace {

using Seconds = std::chrono::duration<double>;

constexpr int kCycles = 100;
constexpr int kFirstSample = 10;
// The time-out sale waits out the library's 6 s response time-out. In every
// cycle that would take ten minutes, so it runs in the first and the last
// cycle only: once in a freshly loaded module and once in one that has been
// loaded and freed 99 times, which are the two states an unload could break.
constexpr int kTimeoutCycles[] = {1, kCycles};
// The .invalid domain never resolves, so the lookup fails at once.
constexpr wchar_t kUnresolvableUrl[] = L"http://kasse.invalid/sap/kasse";
// Growth allowed between the 10th and the 100th cycle. A module unloaded
// and loaded anew each time, which starts libcurl (Winsock, the security
// DLL) again without ever cleaning it up, added 4 handles, 19 KiB of heap
// and 20 KiB of working set a cycle under Wine: 360 handles, 1.7 MiB of
// heap and 1.7 MiB of working set over these 90 cycles.
constexpr std::size_t kMemoryBoundKiB = 1024;
constexpr std::size_t kHeapBoundKiB = 256;
constexpr std::size_t kHandleBound = 2;

// Wine reports no private bytes (GetProcessMemoryInfo leaves PrivateUsage
// at 0), so the address space in use stands beside it: a module image
// mapped anew at each load, or a libcurl initialisation never undone,
// shows there, and the C runtime's heap shows what stays allocated.
struct Usage {
  std::size_t privateKiB = 0;
  std::size_t workingSetKiB = 0;
  std::size_t addressSpaceKiB = 0;
  std::size_t heapKiB = 0;
  std::size_t handles = 0;
};

Usage currentUsage() {
  Usage usage;
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof memory;
  if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory)) {
    usage.privateKiB = memory.PrivateUsage / 1024;
    usage.workingSetKiB = memory.WorkingSetSize / 1024;
  }
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  if (GlobalMemoryStatusEx(&status)) {
    usage.addressSpaceKiB = static_cast<std::size_t>((status.ullTotalVirtual - status.ullAvailVirtual) / 1024);
  }
  const soak::ProcessStats stats = soak::currentStats();
  usage.heapKiB = stats.heapInUseBytes / 1024;
  usage.handles = stats.openDescriptors;
  return usage;
}

void printUsage(const char* when, const Usage& usage) {
  std::printf(
      "[loadunload] %s: private %zu KiB, working set %zu KiB, address space %zu KiB, heap %zu KiB, handles %zu\n", when,
      usage.privateKiB, usage.workingSetKiB, usage.addressSpaceKiB, usage.heapKiB, usage.handles);
}

bool isTimeoutCycle(int cycle) {
  for (int c : kTimeoutCycles) {
    if (c == cycle) return true;
  }
  return false;
}

class LoadUnloadDll : public ::testing::Test {
 protected:
  // One hrECExecute of the small sale, the operator confirming every box.
  // Each is a first attempt: the journal that a sale in doubt left is
  // removed, since the question about an earlier attempt has tests of its
  // own.
  std::int32_t sell(const boxoffice::HostLibrary& dll, Seconds& elapsed) {
    std::remove("QelConnect.journal");
    boxoffice::HostSale record(smallSale());
    PaymentTypeRecord payment = paymentType();
    ResultRecord result;
    result.fill(kResultPattern);
    boxoffice::BoxHook answerer([](const boxoffice::ShownDialog&) { return boxoffice::kIdOk; });
    auto execute = dll.function<decltype(&hrECExecute)>("hrECExecute");
    const auto start = std::chrono::steady_clock::now();
    const std::int32_t code = execute(nullptr, nullptr, record.record(), payment.data(), nullptr, result.data());
    elapsed = std::chrono::steady_clock::now() - start;
    dialogs_ = answerer.dialogs();
    return code;
  }

  // A sale that must fail in transfer: not completed, the question and one
  // error box, within the 7 s that any failing transfer may take.
  void expectFailedSale(const boxoffice::HostLibrary& dll, const char* what, int cycle) {
    Seconds elapsed{};
    EXPECT_EQ(sell(dll, elapsed), kNotCompleted) << what << " in cycle " << cycle;
    EXPECT_LT(elapsed.count(), 7.0) << what << " in cycle " << cycle;
    ASSERT_EQ(dialogs_.size(), 2u) << what << " in cycle " << cycle;
    EXPECT_EQ(dialogs_[1].caption, kErrorCaption);
    slowest_ = std::max(slowest_, elapsed.count());
    if (cycle == 1 || cycle == kCycles) {
      std::printf("[loadunload] cycle %d, %s: returned after %.2f s\n", cycle, what, elapsed.count());
    }
  }

  // LoadLibraryW, hrECInit, the failing sales, a completed one, hrECDeInit;
  // FreeLibrary when `dll` goes out of scope.
  void runCycle(int cycle) {
    boxoffice::HostLibrary dll(QEL_DLL_PATH);
    if (pinnedBase_ != nullptr && dll.handle() != pinnedBase_) ++movedCycles_;
    std::uint32_t module = 0;
    EXPECT_EQ(dll.function<decltype(&hrECInit)>("hrECInit")(nullptr, &module), 0) << "cycle " << cycle;

    writeFile("QelConnect.xml", configFor(kUnresolvableUrl));
    expectFailedSale(dll, "unresolvable host", cycle);

    if (isTimeoutCycle(cycle)) {
      LoopbackServer silent([](const ReceivedRequest&, ServerConnection& c) { c.holdUntilStopped(); });
      writeFile("QelConnect.xml", configFor(silent.url()));
      expectFailedSale(dll, "server that never answers", cycle);
    }

    // A cash register of its own per cycle: one that recorded every request
    // of the run would itself grow the heap.
    LoopbackServer accepting(httpResponse(200, kasseAnswer("0", "OK")));
    writeFile("QelConnect.xml", configFor(accepting.url()));
    Seconds elapsed{};
    EXPECT_EQ(sell(dll, elapsed), 0) << "completed sale in cycle " << cycle;
    EXPECT_EQ(accepting.requests().size(), 1u) << "cycle " << cycle;
    slowest_ = std::max(slowest_, elapsed.count());

    std::uint32_t word = 0xDEADBEEF;
    EXPECT_EQ(dll.function<decltype(&hrECDeInit)>("hrECDeInit")(&word), 0) << "cycle " << cycle;
    EXPECT_EQ(word, 0u);
    if (pinnedBase_ == nullptr) pinnedBase_ = dll.handle();
  }

  ScratchDir dir_;
  std::vector<boxoffice::ShownDialog> dialogs_;
  void* pinnedBase_ = nullptr;
  int movedCycles_ = 0;
  double slowest_ = 0;
};

TEST_F(LoadUnloadDll, AHundredCyclesNeitherCrashNorHangNorGrow) {
  ASSERT_EQ(GetModuleHandleW(QEL_DLL_PATH), nullptr) << "the test must load the library itself";
  const auto start = std::chrono::steady_clock::now();
  Usage afterFirstSample;
  int unmappedCycles = 0;
  for (int cycle = 1; cycle <= kCycles; ++cycle) {
    runCycle(cycle);
    // The library called libcurl, so FreeLibrary must have left it mapped
    // where it was. Counted rather than asserted, so that a module that
    // does get unloaded still shows what that costs in memory and handles.
    if (GetModuleHandleW(QEL_DLL_PATH) != pinnedBase_) ++unmappedCycles;
    if (cycle == kFirstSample) afterFirstSample = currentUsage();
  }
  const Usage atEnd = currentUsage();
  const double total = Seconds(std::chrono::steady_clock::now() - start).count();

  printUsage("after cycle 10", afterFirstSample);
  printUsage("after cycle 100", atEnd);
  std::printf("[loadunload] %d cycles in %.1f s, slowest sale %.2f s, unmapped after %d, moved in %d\n", kCycles, total,
              slowest_, unmappedCycles, movedCycles_);
  EXPECT_EQ(unmappedCycles, 0) << "FreeLibrary unmapped a module that had used libcurl";
  EXPECT_EQ(movedCycles_, 0) << "LoadLibraryW returned another base than the first load";
  EXPECT_LE(atEnd.privateKiB, afterFirstSample.privateKiB + kMemoryBoundKiB);
  EXPECT_LE(atEnd.workingSetKiB, afterFirstSample.workingSetKiB + kMemoryBoundKiB);
  EXPECT_LE(atEnd.addressSpaceKiB, afterFirstSample.addressSpaceKiB + kMemoryBoundKiB);
  EXPECT_LE(atEnd.heapKiB, afterFirstSample.heapKiB + kHeapBoundKiB);
  EXPECT_LE(atEnd.handles, afterFirstSample.handles + kHandleBound);
}

}  // namespace
}  // namespace qel::test
