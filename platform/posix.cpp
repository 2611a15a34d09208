// The POSIX side of the platform layer: the development library's stand-ins
// for message boxes, resources and the Windows code pages (its files are in
// posix_files.cpp).
#include <dlfcn.h>
#include <sys/random.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>

#include "platform/cp1252.h"
#include "platform/dialog_handler.h"
#include "platform/embedded_templates.h"
#include "platform/platform.h"
#include "platform/utf8.h"

extern "C" {
__attribute__((visibility("default"))) void qelSetDialogHandler(QelDialogHandler handler);
}

namespace qel::platform {
namespace {

// The dialog seam: tests and the command-line host answer message boxes
// through a handler; without one nothing is ever confirmed.
std::atomic<QelDialogHandler> dialogHandler{nullptr};

// Windows reports a missing resource id with ERROR_RESOURCE_NAME_NOT_FOUND.
constexpr std::uint32_t kErrorResourceNameNotFound = 1814;

int defaultDialog(const wchar_t* text, const wchar_t* caption) {
  std::fprintf(stderr, "[%s] %s\n", wideToUtf8(caption).c_str(), wideToUtf8(text).c_str());
  return kIdCancel;
}

// A box of MB_ `type` handed to the dialog seam, or written to stderr and
// cancelled when no handler is set.
int showBox(void* owner, const wchar_t* text, const wchar_t* caption, unsigned int type) {
  QelDialogHandler handler = dialogHandler.load();
  if (handler == nullptr) return defaultDialog(text, caption);
  return handler(owner, text, caption, type);
}

}  // namespace

namespace detail {
QelDialogHandler currentDialogHandler() { return dialogHandler.load(); }
}  // namespace detail

int messageBox(void* owner, const wchar_t* text, const wchar_t* caption, Buttons buttons) {
  return showBox(owner, text, caption, static_cast<unsigned int>(buttons));
}

int warningBox(void* owner, const wchar_t* text, const wchar_t* caption, Buttons buttons) {
  return showBox(owner, text, caption, static_cast<unsigned int>(buttons) | detail::warningStyle(buttons));
}

LocalTime localTime(std::int64_t unixMs) {
  // The times asked about are the library's own, none before 1970.
  const time_t seconds = static_cast<time_t>(unixMs / 1000);
  struct tm local {};
  if (localtime_r(&seconds, &local) == nullptr) return {};
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min};
}

std::int64_t utcMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

std::uint32_t processId() { return static_cast<std::uint32_t>(getpid()); }

void randomBytes(void* out, std::size_t size) {
  // Up to 256 bytes come whole or not at all, and are never interrupted.
  (void)getrandom(out, size, 0);
}

std::uintptr_t moduleBaseAddress() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&moduleBaseAddress), &info) == 0) return 0;
  return reinterpret_cast<std::uintptr_t>(info.dli_fbase);
}

bool pinModule() {
  // Opening the already loaded library once more with RTLD_NODELETE marks
  // it as never to be unmapped; the reference this takes is never given
  // back, which is the point.
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&pinModule), &info) == 0 || info.dli_fname == nullptr) return false;
  return dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE) != nullptr;
}

bool runsUnderWine() { return false; }

std::optional<std::string_view> findTemplate(std::uint16_t id, std::uint32_t& lastError) {
  for (std::size_t i = 0; i < detail::kEmbeddedTemplateCount; ++i) {
    const detail::EmbeddedTemplate& t = detail::kEmbeddedTemplates[i];
    if (t.id == id) return std::string_view(t.data, t.size);
  }
  lastError = kErrorResourceNameNotFound;
  return std::nullopt;
}

std::wstring utf8ToWide(std::string_view bytes) { return detail::decodeUtf8<std::wstring>(bytes); }

std::string wideToUtf8(std::wstring_view text) { return detail::encodeUtf8(text); }

bool isValidUtf8(std::string_view bytes) { return detail::isValidUtf8(bytes); }

std::wstring ansiToWide(std::string_view bytes) {
  std::wstring out(bytes.size(), L'\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    out[i] = c >= 0x80 && c < 0xA0 ? static_cast<wchar_t>(detail::kCp1252High[c - 0x80]) : static_cast<wchar_t>(c);
  }
  return out;
}

}  // namespace qel::platform

extern "C" void qelSetDialogHandler(QelDialogHandler handler) { qel::platform::dialogHandler.store(handler); }
