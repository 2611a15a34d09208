// The library as the box-office application drives it in the fault tests:
// the sale and refund exports called with the operator's boxes answered and
// recorded, and the time each call took. One implementation per target: the
// native library through its dialog seam, the DLL under Wine with its real
// message boxes.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace qel::test {

struct ShownBox {
  std::wstring text;
  std::wstring caption;
};

struct CallOutcome {
  std::int32_t code = 0;
  std::vector<ShownBox> boxes;
  std::chrono::duration<double> elapsed{};
};

constexpr int kAnswerOk = 1;
constexpr int kAnswerCancel = 2;

// hrECExecute with the boxes answered by `answers` in turn (OK beyond them).
CallOutcome callSale(const void* order, const void* paymentType, void* result, const std::vector<int>& answers);
// hrECRefund; any box is answered with OK.
CallOutcome callRefund(const void* refund);

}  // namespace qel::test
