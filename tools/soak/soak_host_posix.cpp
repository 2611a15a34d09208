// The soak run's host on the native library: the exports called directly,
// the boxes answered through the dialog seam.
#include "host/qelconnect.h"
#include "tools/soak/soak_host.h"

namespace qel::soak {

namespace {

constexpr int kIdOk = 1;

// The seam takes a plain function, so the count lives here.
int boxCount = 0;

int answerOk(void*, const wchar_t*, const wchar_t*, unsigned int) {
  ++boxCount;
  return kIdOk;
}

}  // namespace

struct SoakHost::Library {};

SoakHost::SoakHost(const std::string&) : library_(nullptr) { qelSetDialogHandler(&answerOk); }

SoakHost::~SoakHost() { qelSetDialogHandler(nullptr); }

void SoakHost::init() {
  std::uint32_t module = 0;
  hrECInit(nullptr, &module);
}

void SoakHost::deinit() {
  std::uint32_t out = 0;
  hrECDeInit(&out);
}

std::int32_t SoakHost::sell(const void* order, const void* paymentType, void* result) {
  boxCount = 0;
  const std::int32_t code = hrECExecute(nullptr, nullptr, order, paymentType, nullptr, result);
  boxes_ = boxCount;
  return code;
}

std::int32_t SoakHost::refund(const void* record) {
  boxCount = 0;
  const std::int32_t code = hrECRefund(nullptr, nullptr, record);
  boxes_ = boxCount;
  return code;
}

}  // namespace qel::soak
