// Prints each dialog of the library and answers it from the scripted list or
// from standard input.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>
#include <vector>

namespace qel::qelhost {

enum class DialogButtons { Ok, OkCancel };

class DialogAnswerer {
 public:
  // `scripted` holds the answers to OK/Cancel questions in order (true: OK).
  // Answers read from `in` are echoed unless `in` is a terminal, where the
  // operator's own typing shows them. With `hold`, a dialog whose answer does
  // not come from `in` waits for a line from `in` before it is answered, so
  // that the box stays on screen until then.
  DialogAnswerer(std::vector<bool> scripted, std::istream& in, bool inIsTerminal, std::ostream& out, bool hold = false);

  // Prints the dialog and returns true when it is answered with OK. A box
  // with an OK button alone takes no answer from the script.
  bool answer(const std::string& caption, const std::string& text, DialogButtons buttons);

  std::size_t shown() const { return shown_; }

 private:
  bool nextAnswer();
  void holdUntilLine();

  std::vector<bool> scripted_;
  std::size_t nextScripted_ = 0;
  std::istream& in_;
  bool inIsTerminal_;
  std::ostream& out_;
  bool hold_;
  std::size_t shown_ = 0;
};

// Parses "ok,cancel" (any letter case); throws std::invalid_argument on any
// other word.
std::vector<bool> parseAnswers(const std::string& list);

}  // namespace qel::qelhost
