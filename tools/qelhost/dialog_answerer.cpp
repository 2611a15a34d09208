// Shows the library's dialogs on the terminal and decides their buttons.
#include "tools/qelhost/dialog_answerer.h"

#include <algorithm>
#include <cctype>
#include <istream>
#include <ostream>
#include <sstream>
#include <stdexcept>
#include <string_view>

#include "tools/qelhost/system.h"
#include "tools/qelhost/visible_text.h"

namespace qel::qelhost {
namespace {

std::string lowered(std::string word) {
  std::transform(word.begin(), word.end(), word.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return word;
}

std::string trimmed(const std::string& word) {
  const char* blanks = " \t\r\n";
  std::size_t first = word.find_first_not_of(blanks);
  if (first == std::string::npos) return {};
  return word.substr(first, word.find_last_not_of(blanks) - first + 1);
}

// Messages may hold line ends of their own; continuation lines are indented
// so that the dialog stays readable as one block. What else is a control
// character (the cash register's message is in the text) is shown escaped.
std::string indented(const std::string& text) {
  std::string out;
  std::size_t begin = 0;
  for (;;) {
    const std::size_t end = text.find('\n', begin);
    std::string_view line(text.data() + begin, (end == std::string::npos ? text.size() : end) - begin);
    if (end != std::string::npos && !line.empty() && line.back() == '\r') line.remove_suffix(1);
    out += visibleText(line);
    if (end == std::string::npos) return out;
    out += "\n          ";
    begin = end + 1;
  }
}

}  // namespace

DialogAnswerer::DialogAnswerer(std::vector<bool> scripted, std::istream& in, bool inIsTerminal, std::ostream& out,
                               bool hold)
    : scripted_(std::move(scripted)), in_(in), inIsTerminal_(inIsTerminal), out_(out), hold_(hold) {}

bool DialogAnswerer::answer(const std::string& caption, const std::string& text, DialogButtons buttons) {
  ++shown_;
  const bool okCancel = buttons == DialogButtons::OkCancel;
  out_ << "Dialog " << shown_ << ":\n"
       << "  caption: " << visibleText(caption) << "\n"
       << "  text:    " << indented(text) << "\n"
       << "  buttons: " << (okCancel ? "OK, Cancel" : "OK") << "\n";
  // An answer typed on standard input holds the box by itself; only the
  // others need the extra line.
  const bool fromInput = okCancel && nextScripted_ >= scripted_.size();
  if (hold_ && !fromInput) holdUntilLine();
  const bool ok = okCancel ? nextAnswer() : true;
  out_ << "  answer:  " << (ok ? "OK" : "Cancel") << "\n" << std::flush;
  return ok;
}

bool DialogAnswerer::nextAnswer() {
  if (nextScripted_ < scripted_.size()) return scripted_[nextScripted_++];
  for (;;) {
    out_ << "  [O]K or [C]ancel? " << std::flush;
    std::string line;
    if (!std::getline(in_, line)) {
      out_ << "(end of input)\n";
      return false;
    }
    if (!inIsTerminal_) out_ << line << "\n";
    std::string word = lowered(trimmed(line));
    if (word == "o" || word == "ok") return true;
    if (word == "c" || word == "cancel") return false;
  }
}

void DialogAnswerer::holdUntilLine() {
  // A held box is looked at (and photographed) as the operator sees it.
  paintHeldBoxActive();
  out_ << "  (held: Enter answers it) " << std::flush;
  std::string line;
  if (!std::getline(in_, line)) {
    out_ << "(end of input)\n";
    return;
  }
  out_ << "\n";
}

std::vector<bool> parseAnswers(const std::string& list) {
  std::vector<bool> answers;
  std::istringstream words(list);
  std::string word;
  while (std::getline(words, word, ',')) {
    std::string w = lowered(trimmed(word));
    if (w == "ok") {
      answers.push_back(true);
    } else if (w == "cancel") {
      answers.push_back(false);
    } else {
      throw std::invalid_argument("unknown answer '" + word + "' (expected ok or cancel)");
    }
  }
  return answers;
}

}  // namespace qel::qelhost
