// Answers the native library's message boxes from a script and records them.
#pragma once

#include <dlfcn.h>

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "host/qelconnect.h"

namespace qel::test {

struct Dialog {
  std::wstring text;
  std::wstring caption;
  unsigned int type;
  void* owner;
};

constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;

// Installs itself as the dialog handler for its lifetime. Boxes beyond the
// scripted answers are answered with OK.
class DialogRecorder {
 public:
  explicit DialogRecorder(std::deque<int> answers = {}) : answers_(std::move(answers)) {
    current() = this;
    qelSetDialogHandler(&DialogRecorder::handle);
  }
  ~DialogRecorder() {
    qelSetDialogHandler(nullptr);
    current() = nullptr;
  }
  DialogRecorder(const DialogRecorder&) = delete;
  DialogRecorder& operator=(const DialogRecorder&) = delete;

  const std::vector<Dialog>& seen() const { return seen_; }

 private:
  static DialogRecorder*& current() {
    static DialogRecorder* recorder = nullptr;
    return recorder;
  }
  static int handle(void* owner, const wchar_t* text, const wchar_t* caption, unsigned int type) {
    DialogRecorder* self = current();
    self->seen_.push_back({text, caption, type, owner});
    if (self->answers_.empty()) return kIdOk;
    const int answer = self->answers_.front();
    self->answers_.pop_front();
    return answer;
  }

  std::deque<int> answers_;
  std::vector<Dialog> seen_;
};

// Where the native library was mapped, as the loader reports it.
inline std::uintptr_t libraryBaseAddress() {
  Dl_info info{};
  dladdr(reinterpret_cast<void*>(&hrECInit), &info);
  return reinterpret_cast<std::uintptr_t>(info.dli_fbase);
}

}  // namespace qel::test
