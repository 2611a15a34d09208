// The request templates compiled into the POSIX build, standing in for the
// TEMPLATE resources that the Windows DLL carries.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qel::platform::detail {

struct EmbeddedTemplate {
  std::uint16_t id;
  const char* data;
  std::size_t size;
};

extern const EmbeddedTemplate kEmbeddedTemplates[];
extern const std::size_t kEmbeddedTemplateCount;

}  // namespace qel::platform::detail
