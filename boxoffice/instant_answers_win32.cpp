// InstantAnswers on Windows: the DLL's import address table entry for
// user32's MessageBoxW rewritten to a function that answers OK.
#include <windows.h>

#include <cstring>
#include <stdexcept>

#include "boxoffice/instant_answers.h"

namespace qel::boxoffice {
namespace {

int WINAPI answerOk(HWND, LPCWSTR, LPCWSTR, UINT) { return IDOK; }

// The slot through which `module` calls MessageBoxW.
ULONG_PTR* messageBoxSlotOf(HMODULE module) {
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
      if (std::strcmp(reinterpret_cast<const char*>(byName->Name), "MessageBoxW") == 0) {
        return reinterpret_cast<ULONG_PTR*>(&slots->u1.Function);
      }
    }
  }
  throw std::runtime_error("the DLL imports no MessageBoxW");
}

void writeSlot(ULONG_PTR* slot, ULONG_PTR value) {
  DWORD old = 0;
  VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old);
  *slot = value;
  VirtualProtect(slot, sizeof *slot, old, &old);
}

}  // namespace

InstantAnswers::InstantAnswers(const HostLibrary& library)
    : library_(library), slot_(messageBoxSlotOf(static_cast<HMODULE>(library.handle()))) {
  auto* slot = static_cast<ULONG_PTR*>(slot_);
  original_ = reinterpret_cast<void*>(*slot);
  writeSlot(slot, reinterpret_cast<ULONG_PTR>(&answerOk));
}

InstantAnswers::~InstantAnswers() { writeSlot(static_cast<ULONG_PTR*>(slot_), reinterpret_cast<ULONG_PTR>(original_)); }

}  // namespace qel::boxoffice
