// hrECExecute and hrECRefund through QelConnect.dll under Wine, the cases
// that only Windows can set up: a log that another program holds open, and
// the host's window during a slow transfer. The cases that both targets run
// are in tests/host/flow_cases_test.cpp and progress_cases_test.cpp.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <ostream>
#include <thread>

#include "tests/host/flow_fixture.h"
#include "tests/render/golden_documents.h"

namespace qel::test {
namespace {

// A file held open by the test, with the given sharing for everyone else.
class HeldFile {
 public:
  HeldFile(const wchar_t* name, DWORD share)
      : handle_(CreateFileW(name, GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            nullptr)) {}
  ~HeldFile() {
    if (isOpen()) CloseHandle(handle_);
  }
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;
  bool isOpen() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

using SaleFlowDll = FlowTest;
using namespace std::chrono_literals;

// The host's window while a call runs: a timer on it counts its ticks, and
// another thread keeps asking Windows whether the window hangs (a window
// whose thread takes no message for 5 seconds does).
class HostWatch {
 public:
  explicit HostWatch(void* host) : host_(static_cast<HWND>(host)) {
    ticks = 0;
    SetTimer(host_, kTimerId, 100, &HostWatch::onTimer);
    asker_ = std::thread([this] {
      while (!stop_) {
        if (IsHungAppWindow(host_)) hung_ = true;
        Sleep(200);
      }
    });
  }
  ~HostWatch() {
    stop_ = true;
    asker_.join();
    KillTimer(host_, kTimerId);
  }
  HostWatch(const HostWatch&) = delete;
  HostWatch& operator=(const HostWatch&) = delete;

  int timerTicks() const { return ticks; }
  bool seenHung() const { return hung_; }

 private:
  static constexpr UINT_PTR kTimerId = 0x7151;
  static void CALLBACK onTimer(HWND, UINT, UINT_PTR, DWORD) { ++ticks; }
  inline static std::atomic<int> ticks{0};

  HWND host_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> hung_{false};
  std::thread asker_;
};

// A 3-second transfer: the host's timer keeps firing (the two boxes alone
// give it a tick or two), and the window disables its owner while it shows.
TEST_F(SaleFlowDll, TheHostsWindowLivesOnDuringASlowTransfer) {
  slowKasse(3000ms, httpResponse(200, kasseAnswer("0", "OK")));
  HostWatch watch(owner());
  EXPECT_EQ(sell(smallSale(), {kIdOk, kIdOk}), 0);
  EXPECT_GE(watch.timerTicks(), 10);
  EXPECT_FALSE(watch.seenHung());
  ASSERT_EQ(progress_.size(), 2u);
  EXPECT_FALSE(progress_[0].ownerEnabled) << "owner disabled while the window shows";
  EXPECT_TRUE(progress_[1].ownerEnabled) << "owner enabled before the window goes";
  EXPECT_TRUE(IsWindowEnabled(static_cast<HWND>(owner())));
}

constexpr std::int32_t kNestedReceipt = 816;

// A host timer that starts another sale while the first one's transfer runs:
// the second runs to its end inside the first, with its own boxes and
// request, as it would from inside a message box, and the first then ends
// as usual.
class NestedSale {
 public:
  NestedSale(void* host, const boxoffice::HostLibrary& library, const void* paymentType)
      : host_(static_cast<HWND>(host)), execute_(library.execute()), paymentType_(paymentType) {
    result.fill(kResultPattern);
    active = this;
    SetTimer(host_, kTimerId, 100, &NestedSale::onTimer);
  }
  ~NestedSale() {
    KillTimer(host_, kTimerId);
    active = nullptr;
  }
  NestedSale(const NestedSale&) = delete;
  NestedSale& operator=(const NestedSale&) = delete;

  std::atomic<bool> transferRunning{false};
  std::optional<std::int32_t> code;
  ResultRecord result;

 private:
  static constexpr UINT_PTR kTimerId = 0x7152;
  static void CALLBACK onTimer(HWND, UINT, UINT_PTR, DWORD) {
    NestedSale* self = active;
    if (self == nullptr || self->code || !self->transferRunning) return;
    KillTimer(self->host_, kTimerId);
    // A receipt of its own: the outer one is open in the journal while it
    // is sent, and selling it again would be asked about.
    boxoffice::SaleBytes bytes = smallSale(7.0);
    bytes.belegnummer = kNestedReceipt;
    boxoffice::HostSale record(bytes);
    self->code =
        self->execute_(nullptr, self->host_, record.record(), self->paymentType_, nullptr, self->result.data());
  }
  inline static NestedSale* active = nullptr;

  HWND host_;
  decltype(&hrECExecute) execute_;
  const void* paymentType_;
};

TEST_F(SaleFlowDll, ASaleStartedByAHostTimerDuringTheTransferRunsInsideIt) {
  NestedSale nested(owner(), *library_, paymentType_.data());
  server_.emplace([&nested](const ReceivedRequest&, ServerConnection& connection) {
    nested.transferRunning = true;
    std::this_thread::sleep_for(1000ms);
    connection.send(httpResponse(200, kasseAnswer("0", "OK")));
  });
  writeFile("QelConnect.xml", configFor(server_->url(), 0));

  EXPECT_EQ(sell(smallSale(), {kIdOk, kIdOk, kIdOk, kIdOk}), 0);
  EXPECT_EQ(nested.code, std::optional<std::int32_t>(0));
  EXPECT_EQ(requestCount(), 2u);
  ASSERT_EQ(dialogs().size(), 4u);
  const wchar_t* expected[] = {kAskTransfer, kAskTransfer, kAskPrinting, kAskPrinting};
  for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(dialogs()[i].text, expected[i]) << "box " << i;
  EXPECT_TRUE(result_ == expectedResult(42.5));
  EXPECT_TRUE(nested.result == goldenResult({4711, kNestedReceipt, 7.0, 77, kZahlartId}, kResultPattern));
  EXPECT_TRUE(IsWindowEnabled(static_cast<HWND>(owner())));
}

// The host ends its message loop (PostQuitMessage) while the transfer runs:
// the transfer still completes, "Tickets drucken?" is still asked, and the
// WM_QUIT is posted again when the call is over, as a modal loop does, and
// waits in the queue afterwards with its exit code.
void CALLBACK quitOnce(HWND window, UINT, UINT_PTR id, DWORD) {
  KillTimer(window, id);
  PostQuitMessage(42);
}

TEST_F(SaleFlowDll, AQuitDuringTheTransferIsKeptForTheHost) {
  slowKasse(1000ms, httpResponse(200, kasseAnswer("0", "OK")));
  SetTimer(static_cast<HWND>(owner()), 0x7153, 700, &quitOnce);
  EXPECT_EQ(sell(smallSale(), {kIdOk, kIdOk}), 0);
  EXPECT_EQ(requestCount(), 1u);
  EXPECT_TRUE(result_ == expectedResult(42.5));
  ASSERT_EQ(dialogs().size(), 2u);
  EXPECT_EQ(dialogs()[1].text, kAskPrinting);
  MSG message{};
  ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(message.wParam, 42u);
}

struct StalledTransfer {
  const char* name;
  bool refund;
};
void PrintTo(const StalledTransfer& c, std::ostream* out) { *out << c.name; }

class StalledTransferDll : public FlowTest, public ::testing::WithParamInterface<StalledTransfer> {};

// A cash register that takes the request and never answers: the transfer
// waits out its 6 seconds, and Windows never takes the host for hung.
TEST_P(StalledTransferDll, NeverMakesTheHostHang) {
  server_.emplace([](const ReceivedRequest&, ServerConnection& connection) { connection.holdUntilStopped(); });
  writeFile("QelConnect.xml", configFor(server_->url(), 0));
  HostWatch watch(owner());
  const auto record = refundExample();
  const std::int32_t code = GetParam().refund ? refund(record.data()) : sell(smallSale(), {kIdOk});
  EXPECT_EQ(code, kNotCompleted);
  EXPECT_FALSE(watch.seenHung());
  ASSERT_EQ(progress_.size(), 2u);
  EXPECT_EQ(progress_[1].text, L"\u00dcbertragung an die Kasse \u2026 (6 von 6 s)");
  ASSERT_FALSE(dialogs().empty());
  EXPECT_EQ(dialogs().back().caption, kErrorCaption);
  EXPECT_EQ(progress_[1].boxesBefore, dialogs().size() - 1) << "the window goes before the error box";
}

INSTANTIATE_TEST_SUITE_P(BothTransfers, StalledTransferDll,
                         ::testing::Values(StalledTransfer{"Sale", false}, StalledTransfer{"Refund", true}),
                         [](const ::testing::TestParamInfo<StalledTransfer>& info) { return info.param.name; });

// Another program holding the log open without any sharing costs the entry
// and nothing else.
TEST_F(SaleFlowDll, ALogLockedByAnotherProgramCostsOnlyTheEntry) {
  acceptingKasse();
  {
    HeldFile locked(L"QelConnect.log", 0);
    ASSERT_TRUE(locked.isOpen());
    EXPECT_EQ(sell(smallSale(), {kIdOk, kIdOk}), 0);
    EXPECT_EQ(dialogs().size(), 2u) << "no error box for the log";
    EXPECT_EQ(requestCount(), 1u);
    EXPECT_TRUE(result_ == expectedResult(42.5));
  }
  EXPECT_EQ(readFile("QelConnect.log"), "");

  // A viewer that shares the file does not stand in the way.
  HeldFile viewer(L"QelConnect.log", FILE_SHARE_READ | FILE_SHARE_WRITE);
  ASSERT_TRUE(viewer.isOpen());
  EXPECT_EQ(sell(smallSale(), {kIdOk, kIdOk}), 0);
  EXPECT_EQ(readFile("QelConnect.log"), kLogEntry);
}

}  // namespace
}  // namespace qel::test
