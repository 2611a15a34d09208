// The host's byte records of one sale or refund, built from an order file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "tools/qelhost/system.h"

namespace qel::qelhost {

// Owns every record and array that the library is handed, laid out byte for
// byte as the box-office application lays them out. Arrays behind the
// records' 32-bit pointer fields lie below 4 GiB.
class HostRecordImage {
 public:
  // Builds from an order file: an object with "order" (and optionally
  // "paymentType") for a sale, or with "refund". Throws std::runtime_error
  // naming the offending field; notes about cut texts go to `warnings`.
  static HostRecordImage fromJson(const nlohmann::json& document, std::ostream& warnings);

  bool isRefund() const { return refund_ != nullptr; }

  // Sale records (null for a refund).
  const void* hostOrder() const { return hostOrder_; }
  const void* paymentType() const { return paymentType_; }
  // Refund record (null for a sale).
  const void* refund() const { return refund_; }

  // What the order holds, for the run's heading.
  struct Summary {
    std::size_t positions = 0;
    std::size_t tickets = 0;
    std::size_t fixedFees = 0;
    std::size_t additionalFees = 0;
    double grossTotal = 0.0;
  };
  const Summary& summary() const { return summary_; }

 private:
  HostRecordImage() = default;

  friend class RecordBuilder;
  std::uint8_t* allocate(std::size_t size);

  std::vector<LowMemory> blocks_;
  const void* hostOrder_ = nullptr;
  const void* paymentType_ = nullptr;
  const void* refund_ = nullptr;
  Summary summary_;
};

}  // namespace qel::qelhost
