// The box-office terminal number, looked up in the host's own "Sales.ini".
#pragma once

#include <string>
#include <vector>

namespace qel {

// Reads the value of the key "TerminalID" once, on construction. A missing
// file or key (or a folder in the file's place) leaves the default "16213".
// A file that is there but cannot be read throws a VubException that names
// the file and the reason: it may hold another terminal number.
// A field of Sales.ini that only looks like the key "TerminalID" (another
// letter case, blanks around it) and so is not read.
struct TerminalKeyLookalike {
  int line;           // from 1
  std::string field;  // as written, UTF-8
};

class TerminalIdReader {
 public:
  // Looks in "Sales.ini" in the process's working folder.
  TerminalIdReader();
  // Looks in the given file instead (UTF-8 name).
  explicit TerminalIdReader(const std::string& fileName);

  std::wstring terminalId() const { return terminalId_; }
  // False when the default stands: no file, or no value for the key in it.
  bool fromFile() const { return fromFile_; }
  // The fields that look like the key but are not it, in the order of the
  // file, at most kMaxLookalikes of them.
  static constexpr std::size_t kMaxLookalikes = 10;
  const std::vector<TerminalKeyLookalike>& lookalikes() const { return lookalikes_; }

 private:
  std::wstring terminalId_;
  bool fromFile_ = false;
  std::vector<TerminalKeyLookalike> lookalikes_;
};

}  // namespace qel
