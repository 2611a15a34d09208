// What differs between the Linux and the Windows build of the command-line
// host: loading the library, answering its dialogs, text encodings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace qel::qelhost {

class DialogAnswerer;

// The loaded payment-system library, unloaded when the owner goes away.
class Library {
 public:
  explicit Library(const std::filesystem::path& path);
  ~Library();
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  // The address of an export; throws when the library lacks it.
  void* symbol(const char* name) const;

  template <typename Function>
  Function function(const char* name) const {
    return reinterpret_cast<Function>(symbol(name));
  }

 private:
  void* handle_ = nullptr;
};

// While alive, every message box of the library is shown to `answerer`,
// which prints it and decides the button.
class DialogSeam {
 public:
  DialogSeam(const Library& library, DialogAnswerer& answerer);
  ~DialogSeam();
  DialogSeam(const DialogSeam&) = delete;
  DialogSeam& operator=(const DialogSeam&) = delete;

 private:
  // What the platform's way of answering needs to keep while alive.
  struct State;
  std::unique_ptr<State> state_;
};

// True when standard input is an interactive terminal.
bool standardInputIsTerminal();

// The library's file name beside this executable.
std::filesystem::path defaultLibraryPath();

// The version that the library's file carries (Windows: the ProductVersion of
// its version resource; Linux: its "@(#)QelConnect" marker), read without
// loading it. Throws std::runtime_error when the file has none.
std::string libraryVersion(const std::filesystem::path& library);

// Host texts are in the ANSI code page (Windows-1252 on Linux, as the
// development library reads them); the terminal speaks UTF-8. The other way
// round, platform::ansiToWide and platform::wideToUtf8 serve.
std::string utf8ToHostText(const std::string& utf8);

}  // namespace qel::qelhost
