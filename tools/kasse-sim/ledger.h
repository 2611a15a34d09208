// The simulated cash register's book: one JSON line per order it booked,
// written before the answer goes out, so that an answer lost on the way
// still shows as booked.
#pragma once

#include <mutex>
#include <string>

#include "tools/kasse-sim/order_check.h"

namespace qel::sim {

class Ledger {
 public:
  // Opens `path` for appending (made if missing); throws StartError with
  // the system's reason when it cannot.
  explicit Ledger(const std::string& path);
  ~Ledger();
  Ledger(const Ledger&) = delete;
  Ledger& operator=(const Ledger&) = delete;

  // Appends the booking of `order` in one write:
  // {"receipt":..,"order":..,"total":"..","terminal":"..","positions":..,"time":".."}
  void book(const OrderSummary& order);

 private:
  int fd_;
  std::mutex mutex_;
};

// The ledger line of `order` booked at `time` (ISO 8601, UTC), with its "\n".
std::string ledgerLine(const OrderSummary& order, const std::string& time);

}  // namespace qel::sim
