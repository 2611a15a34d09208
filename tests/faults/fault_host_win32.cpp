// The fault tests' host under Wine: QelConnect.dll loaded by name as the
// box-office application loads it, its real message boxes answered.
#include <windows.h>

#include "host/qelconnect.h"
#include "tests/faults/fault_host.h"
#include "tools/winhost/dialog_answerer.h"
#include "tools/winhost/loaded_library.h"

namespace qel::test {

namespace {

// Loaded once and kept for the whole run, as the host keeps it.
const winhost::LoadedLibrary& library() {
  static const winhost::LoadedLibrary dll(QEL_DLL_PATH);
  return dll;
}

template <typename Call>
CallOutcome timed(std::vector<int> answers, Call call) {
  // Boxes beyond the script get OK: the error box has no other button.
  winhost::DialogAnswerer answerer([&answers](const winhost::ShownDialog&) {
    if (answers.empty()) return winhost::kIdOk;
    const int answer = answers.front();
    answers.erase(answers.begin());
    return answer;
  });
  CallOutcome outcome;
  const auto start = std::chrono::steady_clock::now();
  outcome.code = call();
  outcome.elapsed = std::chrono::steady_clock::now() - start;
  for (const winhost::ShownDialog& d : answerer.dialogs()) outcome.boxes.push_back({d.text, d.caption});
  return outcome;
}

}  // namespace

CallOutcome callSale(const void* order, const void* paymentType, void* result, const std::vector<int>& answers) {
  auto execute = library().function<decltype(&hrECExecute)>("hrECExecute");
  return timed(answers, [&] {
    return execute(nullptr, nullptr, order, paymentType, nullptr, result);
  });
}

CallOutcome callRefund(const void* refund) {
  auto execute = library().function<decltype(&hrECRefund)>("hrECRefund");
  return timed({}, [&] { return execute(nullptr, nullptr, refund); });
}

}  // namespace qel::test
