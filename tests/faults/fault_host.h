// The library as the box-office application drives it in the fault tests:
// loaded once by path, the sale and refund exports called with the
// operator's boxes answered and recorded, and the time each call took.
#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include "boxoffice/box_answerer.h"
#include "boxoffice/host_library.h"

namespace qel::test {

struct CallOutcome {
  std::int32_t code = 0;
  std::vector<boxoffice::ShownDialog> boxes;
  std::chrono::duration<double> elapsed{};
};

constexpr int kAnswerOk = boxoffice::kIdOk;
constexpr int kAnswerCancel = boxoffice::kIdCancel;
// What a box gives back when the system could not show it at all.
constexpr int kBoxNotShown = 0;

// Loaded once and kept for the whole run, as the host keeps it.
inline const boxoffice::HostLibrary& faultLibrary() {
  static const boxoffice::HostLibrary library(QEL_LIBRARY_PATH);
  return library;
}

template <typename Call>
CallOutcome timedCall(std::vector<int> answers, Call call) {
  boxoffice::BoxAnswerer answerer(faultLibrary(), std::move(answers));
  CallOutcome outcome;
  const auto start = std::chrono::steady_clock::now();
  outcome.code = call();
  outcome.elapsed = std::chrono::steady_clock::now() - start;
  outcome.boxes = answerer.dialogs();
  return outcome;
}

// hrECExecute with the boxes answered by `answers` in turn (OK beyond them).
inline CallOutcome callSale(const void* order, const void* paymentType, void* result, const std::vector<int>& answers) {
  const auto execute = faultLibrary().execute();
  return timedCall(answers, [&] { return execute(nullptr, nullptr, order, paymentType, nullptr, result); });
}

// hrECRefund; any box is answered with OK.
inline CallOutcome callRefund(const void* refund) {
  const auto execute = faultLibrary().refund();
  return timedCall({}, [&] { return execute(nullptr, nullptr, refund); });
}

}  // namespace qel::test
