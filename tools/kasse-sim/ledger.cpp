// Appending bookings to kasse-sim's ledger.
#include "tools/kasse-sim/ledger.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include <nlohmann/json.hpp>

#include "base/utc_time.h"
#include "tools/kasse-sim/server_start.h"

namespace qel::sim {
namespace {

std::string utcNow() {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  return isoUtc(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

}  // namespace

std::string ledgerLine(const OrderSummary& order, const std::string& time) {
  // The numbers were checked as whole numbers of at most 32 bits.
  const nlohmann::ordered_json line = {{"receipt", std::stoll(order.dwbelegnr)},
                                       {"order", std::stoll(order.dwaufragid)},
                                       {"total", order.total},
                                       {"terminal", order.terminal},
                                       {"positions", order.positions},
                                       {"time", time}};
  return line.dump() + "\n";
}

Ledger::Ledger(const std::string& path) : fd_(::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644)) {
  if (fd_ < 0) throw StartError("cannot open the ledger '" + path + "': " + std::strerror(errno));
}

Ledger::~Ledger() { ::close(fd_); }

void Ledger::book(const OrderSummary& order) {
  const std::string line = ledgerLine(order, utcNow());
  std::lock_guard<std::mutex> lock(mutex_);
  // One write per line, so that a reader never sees half of one; a lost
  // booking would make the book lie, so a short write ends the program.
  if (::write(fd_, line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
    std::fprintf(stderr, "kasse-sim: cannot write the ledger: %s\n", std::strerror(errno));
    std::abort();
  }
}

}  // namespace qel::sim
