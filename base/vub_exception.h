// The library's one exception type: a complete message for the operator and
// a code from the failing layer that is carried along but never shown.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace qel {

class VubException {
 public:
  explicit VubException(std::wstring message, std::int32_t code = 0) : message_(std::move(message)), code_(code) {}

  std::wstring message() const { return message_; }
  std::int32_t code() const { return code_; }

 private:
  std::wstring message_;
  std::int32_t code_;
};

}  // namespace qel
