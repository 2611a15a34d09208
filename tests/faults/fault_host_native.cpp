// The fault tests' host on the native library: the exports called directly,
// the boxes answered through the dialog seam.
#include <deque>

#include "host/qelconnect.h"
#include "tests/faults/fault_host.h"
#include "tests/support/dialog_recorder.h"

namespace qel::test {

namespace {

template <typename Call>
CallOutcome timed(std::deque<int> answers, Call call) {
  DialogRecorder recorder(std::move(answers));
  CallOutcome outcome;
  const auto start = std::chrono::steady_clock::now();
  outcome.code = call();
  outcome.elapsed = std::chrono::steady_clock::now() - start;
  for (const Dialog& d : recorder.seen()) outcome.boxes.push_back({d.text, d.caption});
  return outcome;
}

}  // namespace

CallOutcome callSale(const void* order, const void* paymentType, void* result, const std::vector<int>& answers) {
  return timed(std::deque<int>(answers.begin(), answers.end()), [&] {
    return hrECExecute(nullptr, nullptr, order, paymentType, nullptr, result);
  });
}

CallOutcome callRefund(const void* refund) {
  return timed({}, [&] { return hrECRefund(nullptr, nullptr, refund); });
}

}  // namespace qel::test
