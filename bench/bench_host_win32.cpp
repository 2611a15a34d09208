// BenchHost on the Windows DLL: loaded as the host loads it, with the DLL's
// import of MessageBoxW pointed at a function that answers OK at once. A real
// box would measure the window system, not the library; the Wine tests prove
// the boxes themselves.
#include <windows.h>

#include <cstring>
#include <stdexcept>

#include "bench/bench_host.h"
#include "tools/winhost/loaded_library.h"

namespace qel::bench {
namespace {

int WINAPI answerOk(HWND, LPCWSTR, LPCWSTR, UINT) { return IDOK; }

// Rewrites the DLL's import address table entry for user32's MessageBoxW.
void answerBoxesOf(HMODULE module) {
  auto* base = reinterpret_cast<BYTE*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  auto* descriptor = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
  for (; descriptor->Name != 0; ++descriptor) {
    if (_stricmp(reinterpret_cast<const char*>(base + descriptor->Name), "user32.dll") != 0) continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + descriptor->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + descriptor->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(byName->Name), "MessageBoxW") != 0) continue;
      DWORD old = 0;
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &old);
      slots->u1.Function = reinterpret_cast<ULONG_PTR>(&answerOk);
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, old, &old);
      return;
    }
  }
  throw std::runtime_error("the DLL imports no MessageBoxW");
}

using InitFunction = std::int32_t(__cdecl*)(void*, std::uint32_t*);
using ExecuteFunction = std::int32_t(__cdecl*)(void*, void*, const void*, const void*, void*, void*);

}  // namespace

struct BenchHost::Impl {
  explicit Impl(const std::string& path)
      : library(std::wstring(path.begin(), path.end())),
        init(library.function<InitFunction>("hrECInit")),
        execute(library.function<ExecuteFunction>("hrECExecute")) {
    answerBoxesOf(static_cast<HMODULE>(library.handle()));
  }
  winhost::LoadedLibrary library;
  InitFunction init;
  ExecuteFunction execute;
};

BenchHost::BenchHost(const std::string& libraryPath) : impl_(std::make_unique<Impl>(libraryPath)) {}

BenchHost::~BenchHost() = default;

std::int32_t BenchHost::init() { return impl_->init(nullptr, nullptr); }

std::int32_t BenchHost::execute(const void* hostOrder, const void* paymentType, void* paymentResult) {
  return impl_->execute(nullptr, nullptr, hostOrder, paymentType, nullptr, paymentResult);
}

}  // namespace qel::bench
