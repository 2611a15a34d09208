// The box-office terminal number, looked up in the host's own "Sales.ini".
#pragma once

#include <string>

namespace qel {

// Reads the value of the key "TerminalID" once, on construction. A missing
// file or key (or a folder in the file's place) leaves the default "16213".
// A file that is there but cannot be read throws a VubException that names
// the file and the reason: it may hold another terminal number.
class TerminalIdReader {
 public:
  // Looks in "Sales.ini" in the process's working folder.
  TerminalIdReader();
  // Looks in the given file instead (UTF-8 name).
  explicit TerminalIdReader(const std::string& fileName);

  std::wstring terminalId() const { return terminalId_; }
  // False when the default stands: no file, or no value for the key in it.
  bool fromFile() const { return fromFile_; }

 private:
  std::wstring terminalId_;
  bool fromFile_ = false;
};

}  // namespace qel
