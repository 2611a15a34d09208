// The thirteen C entry points of the payment-system interface. Each is a thin
// door into the library; nothing but a return code ever leaves one.
#include "host/qelconnect.h"

#include <cstring>

#include "host/fixed_records.h"
#include "host/payment_result.h"
#include "host/refund_flow.h"
#include "host/result_codes.h"
#include "host/sale_flow.h"
#include "platform/platform.h"

namespace {

template <typename T>
void writeThrough(T* target, T value) noexcept {
  if (target != nullptr) std::memcpy(target, &value, sizeof value);
}

// The routine behind the four operations that the module does not perform.
std::int32_t notSupported() noexcept { return qel::kResultNotSupported; }

}  // namespace

extern "C" {

int32_t QEL_CALL hrECInit(void*, uint32_t* moduleHandle) {
  // On the 64-bit development library only the low 32 bits fit.
  writeThrough(moduleHandle, static_cast<uint32_t>(qel::platform::moduleBaseAddress()));
  try {
    qel::truncateLog();
  } catch (...) {
    // An unopenable log is no failure of initialisation.
  }
  return qel::kResultDone;
}

int32_t QEL_CALL hrECDeInit(uint32_t* out) {
  writeThrough(out, uint32_t{0});
  return qel::kResultDone;
}

int32_t QEL_CALL hrECConfig(void) { return qel::kResultDone; }

int32_t QEL_CALL hrECGetModuleInfo(void*, void* moduleInfo) {
  if (moduleInfo != nullptr) qel::fillModuleInfo(moduleInfo);
  return qel::kResultDone;
}

int32_t QEL_CALL hrECGetModuleFeatures(void*, uint32_t* features) {
  writeThrough(features, uint32_t{1});
  return qel::kResultDone;
}

int32_t QEL_CALL hrECExecute(void*, void* ownerWindow, const void* hostOrder, const void* hostPaymentType, void*,
                             void* paymentResult) {
  return qel::runSale(ownerWindow, hostOrder, hostPaymentType, paymentResult);
}

int32_t QEL_CALL hrECRefund(void*, void* ownerWindow, const void* hostRefund) {
  return qel::runRefund(ownerWindow, hostRefund);
}

int32_t QEL_CALL hrECGetPayStatus(void) { return notSupported(); }
int32_t QEL_CALL hrECRecover(void) { return notSupported(); }
int32_t QEL_CALL hrReprintECReceipt(void) { return notSupported(); }
int32_t QEL_CALL hrDoShift(void) { return notSupported(); }

void QEL_CALL vECGetLastErrorText(void*, void* errorText) {
  if (errorText != nullptr) qel::fillErrorText(errorText);
}

void QEL_CALL vECShowLastErrorText(void) {}

}  // extern "C"
