// Every box of the library answered OK at once, without a window: for
// measuring the library rather than the window system.
#pragma once

#include "boxoffice/host_library.h"

namespace qel::boxoffice {

// While alive, `library`'s boxes never show: natively the dialog seam
// answers them; on Windows the DLL's import of MessageBoxW is pointed at a
// function that answers. The boxes themselves are BoxAnswerer's to prove.
class InstantAnswers {
 public:
  explicit InstantAnswers(const HostLibrary& library);
  ~InstantAnswers();
  InstantAnswers(const InstantAnswers&) = delete;
  InstantAnswers& operator=(const InstantAnswers&) = delete;

 private:
  const HostLibrary& library_;
  // Windows: the DLL's MessageBoxW import slot and the address it held.
  void* slot_ = nullptr;
  void* original_ = nullptr;
};

}  // namespace qel::boxoffice
