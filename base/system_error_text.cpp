// The system's text and code of a failure, for the operator's messages.
#include "base/system_error_text.h"

#include "platform/platform.h"

namespace qel {

std::wstring systemErrorWithCode(std::uint32_t code) {
  return platform::systemErrorText(code) + L" (" + std::to_wstring(code) + L")";
}

}  // namespace qel
