// BenchHost on the native library: the exports are linked, and the dialog
// seam answers every box.
#include "bench/bench_host.h"

#include "host/qelconnect.h"

namespace qel::bench {
namespace {

int answerOk(void*, const wchar_t*, const wchar_t*, unsigned int) { return 1; }

}  // namespace

struct BenchHost::Impl {};

BenchHost::BenchHost(const std::string&) { qelSetDialogHandler(&answerOk); }

BenchHost::~BenchHost() { qelSetDialogHandler(nullptr); }

std::int32_t BenchHost::init() { return hrECInit(nullptr, nullptr); }

std::int32_t BenchHost::execute(const void* hostOrder, const void* paymentType, void* paymentResult) {
  return hrECExecute(nullptr, nullptr, hostOrder, paymentType, nullptr, paymentResult);
}

}  // namespace qel::bench
