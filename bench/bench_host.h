// The library as the box-office application sees it, for the transfer
// benchmark: its exports, with every operator dialog answered OK at once.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace qel::bench {

class BenchHost {
 public:
  // `libraryPath` names the DLL on Windows; the native library is linked.
  explicit BenchHost(const std::string& libraryPath);
  ~BenchHost();
  BenchHost(const BenchHost&) = delete;
  BenchHost& operator=(const BenchHost&) = delete;

  std::int32_t init();
  std::int32_t execute(const void* hostOrder, const void* paymentType, void* paymentResult);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace qel::bench
