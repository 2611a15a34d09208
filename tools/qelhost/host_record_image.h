// The host's byte records of one sale or refund, built from an order file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>

#include <nlohmann/json_fwd.hpp>

namespace qel::boxoffice {
class HostSale;
class LowMemory;
}  // namespace qel::boxoffice

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

  HostRecordImage(HostRecordImage&&) noexcept;
  ~HostRecordImage();

  bool isRefund() const { return refund_ != nullptr; }

  // Sale records (null for a refund).
  const void* hostOrder() const;
  const void* paymentType() const;
  // Refund record (null for a sale).
  const void* refund() const;

  // What the order holds, for the run's heading.
  struct Summary {
    std::size_t positions = 0;
    std::size_t tickets = 0;
    std::size_t fixedFees = 0;
    std::size_t additionalFees = 0;
    double grossTotal = 0.0;
    std::int32_t receipt = 0;
  };
  const Summary& summary() const { return summary_; }

 private:
  HostRecordImage();

  friend class RecordBuilder;
  // Each record with the arrays behind its pointers, below 4 GiB.
  std::unique_ptr<boxoffice::HostSale> sale_;
  std::unique_ptr<boxoffice::LowMemory> paymentType_;
  std::unique_ptr<std::array<std::uint8_t, 24>> refund_;
  Summary summary_;
};

}  // namespace qel::qelhost
