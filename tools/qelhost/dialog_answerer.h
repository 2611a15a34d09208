// Prints each dialog of the library and answers it from the scripted list or
// from standard input.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>
#include <vector>

namespace qel::qelhost {

enum class DialogButtons { Ok, OkCancel, YesNoCancel };
enum class DialogAnswer { Ok, Cancel, Yes, No };

class DialogAnswerer {
 public:
  // `scripted` holds the answers to the questions in order. Answers read
  // from `in` are echoed unless `in` is a terminal, where the operator's own
  // typing shows them. With `hold`, a dialog whose answer does not come from
  // `in` waits for a line from `in` before it is answered, so that the box
  // stays on screen until then.
  DialogAnswerer(std::vector<DialogAnswer> scripted, std::istream& in, bool inIsTerminal, std::ostream& out,
                 bool hold = false);

  // Prints the dialog and returns the button chosen. A box with an OK
  // button alone takes no answer from the script. On an OK/Cancel box a
  // scripted yes counts as OK and no as Cancel; on a Yes/No/Cancel box a
  // scripted ok is no answer and counts as Cancel, the box's safe default.
  DialogAnswer answer(const std::string& caption, const std::string& text, DialogButtons buttons);

  std::size_t shown() const { return shown_; }

 private:
  DialogAnswer nextAnswer(DialogButtons buttons);
  void holdUntilLine();

  std::vector<DialogAnswer> scripted_;
  std::size_t nextScripted_ = 0;
  std::istream& in_;
  bool inIsTerminal_;
  std::ostream& out_;
  bool hold_;
  std::size_t shown_ = 0;
};

// Parses "ok,yes,no,cancel" (any letter case); throws std::invalid_argument
// on any other word.
std::vector<DialogAnswer> parseAnswers(const std::string& list);

}  // namespace qel::qelhost
