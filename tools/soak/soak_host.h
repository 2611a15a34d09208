// The library as the soak run drives it: the exports called, every box
// answered with OK and counted. One implementation per target: the native
// library through its dialog seam, the DLL loaded by name with its real
// message boxes (under Wine).
#pragma once

#include <cstdint>
#include <string>

namespace qel::soak {

class SoakHost {
 public:
  // `library` names the DLL to load on Windows; the native library is
  // linked, and the name is not used there.
  explicit SoakHost(const std::string& library);
  ~SoakHost();
  SoakHost(const SoakHost&) = delete;
  SoakHost& operator=(const SoakHost&) = delete;

  void init();
  void deinit();
  std::int32_t sell(const void* order, const void* paymentType, void* result);
  std::int32_t refund(const void* record);
  // Boxes shown during the last sale or refund.
  int boxesShown() const { return boxes_; }

 private:
  struct Library;
  Library* library_;
  int boxes_ = 0;
};

}  // namespace qel::soak
