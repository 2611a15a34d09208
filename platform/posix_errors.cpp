// The POSIX side of the system's error texts: errno values as strerror words them.
#include <system_error>

#include "platform/platform.h"

namespace qel::platform {

std::wstring systemErrorText(std::uint32_t code) {
  // The generic category gives strerror's text without strerror's shared
  // buffer; the text is in the C library's locale, UTF-8 or plain ASCII.
  return utf8ToWide(std::generic_category().message(static_cast<int>(code)));
}

}  // namespace qel::platform
