// Fuzz target: arbitrary bytes as the host's sale record with its arrays,
// decoded into an order, rendered into the request and filled into the
// payment result; the first bytes also serve as a refund record.
//
// The input is read as the host lays the sale out in memory: the 1296-byte
// header first, then the position array, each position's tickets in turn and
// the additional fees. Each count is cut down to what the remaining bytes
// hold and written back, so the library is fuzzed within the host's contract
// (a pointer addresses at least as many records as its count says). A list
// pointer of 0 stays null, which the library must refuse when its count
// promises records. The arrays lie below 4 GiB, where the host's 32-bit
// pointer fields can name them, each fenced by poisoned bytes under ASan.
#include <tinyxml2.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "base/vub_exception.h"
#include "boxoffice/low_memory.h"
#include "fuzz/fuzz_support.h"
#include "host/payment_result.h"
#include "order/host_records.h"
#include "order/order.h"
#include "transport/kasse_exchange.h"

#if defined(__has_include)
#if __has_include(<sanitizer/asan_interface.h>)
#include <sanitizer/asan_interface.h>
#endif
#endif
#ifndef ASAN_POISON_MEMORY_REGION
#define ASAN_POISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#define ASAN_UNPOISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#endif

namespace {

using qel::HostAdditionalFeeRecord;
using qel::HostOrderRecord;
using qel::HostPositionRecord;
using qel::HostTicketRecord;
using qel::fuzz::check;

// Longer inputs are cut to this; libFuzzer's default limit is far below.
constexpr std::size_t kMaxInput = 1u << 20;
// Room for the arrays of the longest input with a fence after each.
constexpr std::size_t kArenaSize = 4u << 20;
constexpr std::size_t kFence = 16;
constexpr std::size_t kAlign = 8;

// Low memory for the arrays, poisoned except where an input's arrays lie.
class Arena {
 public:
  Arena() : memory_(kArenaSize) { ASAN_POISON_MEMORY_REGION(memory_.data(), memory_.size()); }

  // A copy of `size` bytes at a fresh place; the bytes around it stay poisoned.
  std::uint8_t* place(const std::uint8_t* bytes, std::size_t size) {
    std::uint8_t* block = memory_.data() + used_;
    used_ += (size + kFence + kAlign - 1) / kAlign * kAlign;
    check(used_ <= memory_.size(), "the arena holds every array of an input");
    ASAN_UNPOISON_MEMORY_REGION(block, size);
    if (size > 0) std::memcpy(block, bytes, size);
    return block;
  }

  void reset() {
    ASAN_POISON_MEMORY_REGION(memory_.data(), used_);
    used_ = 0;
  }

 private:
  qel::boxoffice::LowMemory memory_;
  std::size_t used_ = 0;
};

// The input's bytes, taken from the front.
struct Input {
  const std::uint8_t* data;
  std::size_t left;

  std::vector<std::uint8_t> take(std::size_t size) {
    const std::size_t n = std::min(size, left);
    std::vector<std::uint8_t> bytes(data, data + n);
    bytes.resize(size, 0);
    data += n;
    left -= n;
    return bytes;
  }
};

template <typename T>
T get(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
  return qel::hostbytes::read<T>(bytes.data(), offset);
}

template <typename T>
void put(std::vector<std::uint8_t>& bytes, std::size_t offset, T value) {
  std::memcpy(bytes.data() + offset, &value, sizeof value);
}

// Lays out one list: its count is cut to what the input holds, its records
// are placed in the arena, and its pointer field is pointed at them (a null
// pointer stays null and the count as it was). Returns the records' bytes.
template <typename Count>
std::vector<std::uint8_t> takeList(Input& input, std::vector<std::uint8_t>& owner, std::size_t countOffset,
                                   std::size_t pointerOffset, std::size_t recordSize) {
  if (get<std::uint32_t>(owner, pointerOffset) == 0) return {};
  const Count stored = get<Count>(owner, countOffset);
  const std::size_t wanted = stored > 0 ? static_cast<std::size_t>(stored) : 0;
  const std::size_t count = std::min(wanted, input.left / recordSize);
  if (stored > 0) put<Count>(owner, countOffset, static_cast<Count>(count));
  return input.take(count * recordSize);
}

void pointAt(std::vector<std::uint8_t>& owner, std::size_t pointerOffset, const std::uint8_t* records) {
  if (get<std::uint32_t>(owner, pointerOffset) == 0) return;
  put<std::uint32_t>(owner, pointerOffset, qel::boxoffice::LowMemory::addressOf(records));
}

// The request exactly as the exchange builds it.
std::string renderRequest(const qel::Order& order) { return std::string(qel::buildEnvelope(order).view()); }

void checkWellFormed(const std::string& request) {
  tinyxml2::XMLDocument document;
  check(document.Parse(request.c_str(), request.size()) == tinyxml2::XML_SUCCESS,
        "every order renders into a well-formed request");
}

void fuzzSale(Input input, Arena& arena) {
  std::vector<std::uint8_t> header = input.take(HostOrderRecord::kSize);
  std::vector<std::uint8_t> positions = takeList<std::int32_t>(
      input, header, HostOrderRecord::kCdwauftragpos, HostOrderRecord::kPauftragpos, HostPositionRecord::kSize);

  // Each position's tickets follow, position by position.
  const std::size_t positionCount = positions.size() / HostPositionRecord::kSize;
  for (std::size_t i = 0; i < positionCount; ++i) {
    std::vector<std::uint8_t> position(positions.begin() + i * HostPositionRecord::kSize,
                                       positions.begin() + (i + 1) * HostPositionRecord::kSize);
    const std::vector<std::uint8_t> tickets = takeList<std::int32_t>(
        input, position, HostPositionRecord::kCiticketspos, HostPositionRecord::kPticketinfos, HostTicketRecord::kSize);
    pointAt(position, HostPositionRecord::kPticketinfos, arena.place(tickets.data(), tickets.size()));
    std::copy(position.begin(), position.end(), positions.begin() + i * HostPositionRecord::kSize);
  }
  const std::vector<std::uint8_t> fees =
      takeList<std::uint32_t>(input, header, HostOrderRecord::kCdwzusatzgebuehren, HostOrderRecord::kPzusatzgebuehren,
                              HostAdditionalFeeRecord::kSize);
  pointAt(header, HostOrderRecord::kPauftragpos, arena.place(positions.data(), positions.size()));
  pointAt(header, HostOrderRecord::kPzusatzgebuehren, arena.place(fees.data(), fees.size()));

  const HostOrderRecord record(header.data());
  qel::Order order;
  try {
    order.fillFromHostOrder(record);
  } catch (const qel::VubException& e) {
    check(order == qel::Order(), "a refused record leaves the order as it was");
    check(!e.message().empty(), "a refused record has a message");
    return;
  }
  check(order.auftragspositionen().size() == positionCount, "every position is decoded");
  checkWellFormed(renderRequest(order));

  std::array<std::uint8_t, qel::paymentresult::kRecordSize> result{};
  const std::array<std::uint8_t, 8> paymentType{};
  qel::fillPaymentResult(result.data(), order, record, paymentType.data());
}

void fuzzRefund(Input input) {
  const std::vector<std::uint8_t> bytes = input.take(qel::HostRefundRecord::kSize);
  qel::Order order;
  order.fillFromRefund(qel::HostRefundRecord(bytes.data()));
  checkWellFormed(renderRequest(order));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Arena arena;
  const Input input{data, std::min(size, kMaxInput)};
  fuzzSale(input, arena);
  arena.reset();
  fuzzRefund(input);
  return 0;
}
