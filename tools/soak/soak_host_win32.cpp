// The soak run's host on Windows: QelConnect.dll loaded by name as the box
// office loads it, its real message boxes answered with OK.
#include <windows.h>

#include <memory>

#include "host/qelconnect.h"
#include "tools/soak/soak_host.h"
#include "tools/winhost/dialog_answerer.h"
#include "tools/winhost/loaded_library.h"

namespace qel::soak {

struct SoakHost::Library {
  explicit Library(const std::string& path) : dll(std::wstring(path.begin(), path.end())) {}
  winhost::LoadedLibrary dll;
};

namespace {

// Each call gets an answerer of its own, so that the record of answered
// boxes does not grow over the run.
template <typename Call>
std::int32_t answered(int& boxes, Call call) {
  winhost::DialogAnswerer answerer([](const winhost::ShownDialog&) { return winhost::kIdOk; });
  const std::int32_t code = call();
  boxes = static_cast<int>(answerer.dialogs().size());
  return code;
}

}  // namespace

SoakHost::SoakHost(const std::string& library) : library_(new Library(library)) {}

SoakHost::~SoakHost() { delete library_; }

void SoakHost::init() {
  std::uint32_t module = 0;
  library_->dll.function<decltype(&hrECInit)>("hrECInit")(nullptr, &module);
}

void SoakHost::deinit() {
  std::uint32_t out = 0;
  library_->dll.function<decltype(&hrECDeInit)>("hrECDeInit")(&out);
}

std::int32_t SoakHost::sell(const void* order, const void* paymentType, void* result) {
  auto execute = library_->dll.function<decltype(&hrECExecute)>("hrECExecute");
  return answered(boxes_, [&] { return execute(nullptr, nullptr, order, paymentType, nullptr, result); });
}

std::int32_t SoakHost::refund(const void* record) {
  auto execute = library_->dll.function<decltype(&hrECRefund)>("hrECRefund");
  return answered(boxes_, [&] { return execute(nullptr, nullptr, record); });
}

}  // namespace qel::soak
