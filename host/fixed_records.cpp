// Writes the ModuleInfo and ErrorTextRecord host records at their offsets.
#include "host/fixed_records.h"

#include <cstdint>
#include <cstring>

namespace qel {
namespace {

// ModuleInfo layout.
constexpr std::size_t kModuleInfoInfo1 = 0;
constexpr std::size_t kModuleInfoInfo2 = 4;
constexpr std::size_t kModuleInfoInfo3 = 8;
constexpr std::size_t kModuleInfoName = 12;
constexpr std::size_t kModuleInfoNameWidth = 129;
constexpr std::uint32_t kInfo1 = 4;
constexpr std::uint32_t kInfo2 = 8;
constexpr std::uint32_t kInfo3 = 123456789;
constexpr char kModuleName[] = "Qel";

// ErrorTextRecord layout.
constexpr std::size_t kErrorTextSize = 0;
constexpr std::size_t kErrorTextText = 4;
constexpr std::uint32_t kErrorTextRecordSize = 517;
constexpr char kErrorText[] = "Fehler";

void writeU32(std::uint8_t* base, std::size_t offset, std::uint32_t value) {
  std::memcpy(base + offset, &value, sizeof value);
}

}  // namespace

void fillModuleInfo(void* record) {
  auto* bytes = static_cast<std::uint8_t*>(record);
  writeU32(bytes, kModuleInfoInfo1, kInfo1);
  writeU32(bytes, kModuleInfoInfo2, kInfo2);
  writeU32(bytes, kModuleInfoInfo3, kInfo3);
  // The whole name field is written, so the record's bytes are the same
  // after every call.
  std::memset(bytes + kModuleInfoName, 0, kModuleInfoNameWidth);
  std::memcpy(bytes + kModuleInfoName, kModuleName, sizeof kModuleName);
}

void fillErrorText(void* record) {
  auto* bytes = static_cast<std::uint8_t*>(record);
  writeU32(bytes, kErrorTextSize, kErrorTextRecordSize);
  std::memcpy(bytes + kErrorTextText, kErrorText, sizeof kErrorText);
}

}  // namespace qel
