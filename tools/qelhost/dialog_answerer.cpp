// Shows the library's dialogs on the terminal and decides their buttons.
#include "tools/qelhost/dialog_answerer.h"

#include <algorithm>
#include <cctype>
#include <istream>
#include <iterator>
#include <optional>
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

const char* buttonsText(DialogButtons buttons) {
  switch (buttons) {
    case DialogButtons::OkCancel:
      return "OK, Cancel";
    case DialogButtons::YesNoCancel:
      return "Yes, No, Cancel";
    case DialogButtons::Ok:
      break;
  }
  return "OK";
}

const char* answerText(DialogAnswer answer) {
  switch (answer) {
    case DialogAnswer::Cancel:
      return "Cancel";
    case DialogAnswer::Yes:
      return "Yes";
    case DialogAnswer::No:
      return "No";
    case DialogAnswer::Ok:
      break;
  }
  return "OK";
}

// A word of the script or of the input as an answer to a box with `buttons`.
DialogAnswer fitted(DialogAnswer word, DialogButtons buttons) {
  if (buttons == DialogButtons::YesNoCancel) return word == DialogAnswer::Ok ? DialogAnswer::Cancel : word;
  if (word == DialogAnswer::Yes) return DialogAnswer::Ok;
  if (word == DialogAnswer::No) return DialogAnswer::Cancel;
  return word;
}

// A typed answer: the word or its first letter.
std::optional<DialogAnswer> typedAnswer(const std::string& word, DialogButtons buttons) {
  const bool yesNo = buttons == DialogButtons::YesNoCancel;
  if (!yesNo && (word == "o" || word == "ok")) return DialogAnswer::Ok;
  if (yesNo && (word == "y" || word == "yes")) return DialogAnswer::Yes;
  if (yesNo && (word == "n" || word == "no")) return DialogAnswer::No;
  if (word == "c" || word == "cancel") return DialogAnswer::Cancel;
  return std::nullopt;
}

}  // namespace

DialogAnswerer::DialogAnswerer(std::vector<DialogAnswer> scripted, std::istream& in, bool inIsTerminal,
                               std::ostream& out, bool hold)
    : scripted_(std::move(scripted)), in_(in), inIsTerminal_(inIsTerminal), out_(out), hold_(hold) {}

DialogAnswer DialogAnswerer::answer(const std::string& caption, const std::string& text, DialogButtons buttons) {
  ++shown_;
  const bool asks = buttons != DialogButtons::Ok;
  out_ << "Dialog " << shown_ << ":\n"
       << "  caption: " << visibleText(caption) << "\n"
       << "  text:    " << indented(text) << "\n"
       << "  buttons: " << buttonsText(buttons) << "\n";
  // An answer typed on standard input holds the box by itself; only the
  // others need the extra line.
  const bool fromInput = asks && nextScripted_ >= scripted_.size();
  if (hold_ && !fromInput) holdUntilLine();
  const DialogAnswer chosen = asks ? nextAnswer(buttons) : DialogAnswer::Ok;
  out_ << "  answer:  " << answerText(chosen) << "\n" << std::flush;
  return chosen;
}

DialogAnswer DialogAnswerer::nextAnswer(DialogButtons buttons) {
  if (nextScripted_ < scripted_.size()) return fitted(scripted_[nextScripted_++], buttons);
  const char* prompt = buttons == DialogButtons::YesNoCancel ? "  [Y]es, [N]o or [C]ancel? " : "  [O]K or [C]ancel? ";
  for (;;) {
    out_ << prompt << std::flush;
    std::string line;
    if (!std::getline(in_, line)) {
      out_ << "(end of input)\n";
      return DialogAnswer::Cancel;
    }
    if (!inIsTerminal_) out_ << line << "\n";
    if (const std::optional<DialogAnswer> typed = typedAnswer(lowered(trimmed(line)), buttons)) return *typed;
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

std::vector<DialogAnswer> parseAnswers(const std::string& list) {
  static const std::pair<const char*, DialogAnswer> kWords[] = {
      {"ok", DialogAnswer::Ok}, {"cancel", DialogAnswer::Cancel}, {"yes", DialogAnswer::Yes}, {"no", DialogAnswer::No}};
  std::vector<DialogAnswer> answers;
  std::istringstream words(list);
  std::string word;
  while (std::getline(words, word, ',')) {
    const std::string w = lowered(trimmed(word));
    const auto known = std::find_if(std::begin(kWords), std::end(kWords), [&w](const auto& k) { return w == k.first; });
    if (known == std::end(kWords)) {
      throw std::invalid_argument("unknown answer '" + word + "' (expected ok, cancel, yes or no)");
    }
    answers.push_back(known->second);
  }
  return answers;
}

}  // namespace qel::qelhost
