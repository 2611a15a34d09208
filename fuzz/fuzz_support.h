// What the fuzz targets share: a check that stops the run with a message,
// and a file in a private temporary folder for targets that read files.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace qel::fuzz {

// A broken property is a finding like a crash: libFuzzer keeps the input.
inline void check(bool condition, const char* property) {
  if (condition) return;
  std::fprintf(stderr, "fuzz check failed: %s\n", property);
  std::abort();
}

// One file, rewritten for every input, in a folder of this process's own that
// is removed when the process ends normally.
class InputFile {
 public:
  InputFile() {
    dir_ = std::filesystem::temp_directory_path() / ("qel-fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    path_ = (dir_ / "input").string();
  }
  ~InputFile() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Replaces the file's content with `data` and returns its path.
  const std::string& write(const std::uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen(path_.c_str(), "wb");
    check(file != nullptr, "the input file can be written");
    const bool complete = std::fwrite(data, 1, size, file) == size;
    check(std::fclose(file) == 0 && complete, "the input file is written whole");
    return path_;
  }

 private:
  std::filesystem::path dir_;
  std::string path_;
};

}  // namespace qel::fuzz
