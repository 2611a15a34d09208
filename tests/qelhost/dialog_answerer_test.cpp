// Tests for the command-line host's dialog answers: script first, then the
// terminal, Cancel at the end of input.
#include "tools/qelhost/dialog_answerer.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

namespace qel::qelhost {
namespace {

TEST(DialogAnswerer, ScriptAnswersQuestionsAndOkBoxesTakeNoAnswer) {
  std::istringstream in;
  std::ostringstream out;
  DialogAnswerer answerer({true, false}, in, false, out);
  EXPECT_TRUE(answerer.answer("Transaktionsfenster", "Ticket in die Kasse uebertragen?", DialogButtons::OkCancel));
  EXPECT_TRUE(answerer.answer("Fehler", "kaputt", DialogButtons::Ok));
  EXPECT_FALSE(answerer.answer("Transaktionsfenster", "Tickets drucken?", DialogButtons::OkCancel));
  EXPECT_EQ(answerer.shown(), 3u);
  EXPECT_NE(out.str().find("Dialog 2:\n  caption: Fehler\n  text:    kaputt\n  buttons: OK\n  answer:  OK\n"),
            std::string::npos);
}

TEST(DialogAnswerer, AfterTheScriptReadsInputUntilItUnderstands) {
  std::istringstream in("vielleicht\n  OK \n");
  std::ostringstream out;
  DialogAnswerer answerer({}, in, false, out);
  EXPECT_TRUE(answerer.answer("c", "t", DialogButtons::OkCancel));
  EXPECT_NE(out.str().find("[O]K or [C]ancel? vielleicht\n  [O]K or [C]ancel?   OK \n  answer:  OK\n"),
            std::string::npos);
}

TEST(DialogAnswerer, EndOfInputCancels) {
  std::istringstream in("");
  std::ostringstream out;
  DialogAnswerer answerer({true}, in, true, out);
  EXPECT_TRUE(answerer.answer("c", "t", DialogButtons::OkCancel));
  EXPECT_FALSE(answerer.answer("c", "t", DialogButtons::OkCancel));
}

// Line ends indent the next line; every other control character, the cash
// register's escape sequences among them, is shown escaped; ordinary text,
// backslashes and all, stays as it is.
TEST(DialogAnswerer, MessageLinesAreIndentedAndControlCharactersEscaped) {
  struct Case {
    const char* caption;
    const char* text;
    const char* shown;
  };
  const Case cases[] = {
      {"c", "first\r\nsecond\nthird", "  caption: c\n  text:    first\n          second\n          third\n"},
      {"c", "Beleg C:\\kasse\\doppelt\tK\xC3\xA4sse \xE2\x82\xAC",
       "  text:    Beleg C:\\kasse\\doppelt\tK\xC3\xA4sse \xE2\x82\xAC\n"},
      {"c", "\x1b[56Gaccepted\x1b[K\x1b[8m", "  text:    \\x1b[56Gaccepted\\x1b[K\\x1b[8m\n"},
      {"c",
       "cut\rover\x7f\xC2\x9B"
       "2J\xC2\xA0",
       "  text:    cut\\x0dover\\x7f\\x9b2J\xC2\xA0\n"},
      {"c", "\x1f \x7e\xC2\x80|\xC2\x9F|\xC2\xA0|\xC2", "  text:    \\x1f ~\\x80|\\x9f|\xC2\xA0|\xC2\n"},
      {"F\x07hler", "t", "  caption: F\\x07hler\n"},
  };
  for (const Case& c : cases) {
    std::istringstream in;
    std::ostringstream out;
    DialogAnswerer answerer({}, in, false, out);
    answerer.answer(c.caption, c.text, DialogButtons::Ok);
    EXPECT_NE(out.str().find(c.shown), std::string::npos) << out.str();
  }
}

// Each box that is not answered from the input holds for one line; a box
// answered from the input takes only its answer. What is left of the input
// shows how many lines each box took.
TEST(DialogAnswerer, HoldTakesOneLineOnlyWhereTheAnswerIsNotTyped) {
  std::istringstream in("\n\ncancel\nrest\n");
  std::ostringstream out;
  DialogAnswerer answerer({true}, in, false, out, true);
  EXPECT_TRUE(answerer.answer("Transaktionsfenster", "Ticket in die Kasse uebertragen?", DialogButtons::OkCancel));
  EXPECT_TRUE(answerer.answer("Fehler", "kaputt", DialogButtons::Ok));
  EXPECT_FALSE(answerer.answer("Transaktionsfenster", "Tickets drucken?", DialogButtons::OkCancel));
  std::string rest;
  std::getline(in, rest);
  EXPECT_EQ(rest, "rest");
  EXPECT_NE(out.str().find("  buttons: OK\n  (held: Enter answers it) \n  answer:  OK\n"), std::string::npos);
}

TEST(DialogAnswerer, HoldAtEndOfInputStillAnswers) {
  std::istringstream in("");
  std::ostringstream out;
  DialogAnswerer answerer({true}, in, false, out, true);
  EXPECT_TRUE(answerer.answer("c", "t", DialogButtons::OkCancel));
  EXPECT_TRUE(answerer.answer("c", "t", DialogButtons::Ok));
}

TEST(ParseAnswers, AcceptsOkAndCancelInAnyCase) {
  EXPECT_EQ(parseAnswers("ok,Cancel, OK"), (std::vector<bool>{true, false, true}));
  EXPECT_EQ(parseAnswers(""), std::vector<bool>{});
  EXPECT_THROW(parseAnswers("ok,yes"), std::invalid_argument);
}

}  // namespace
}  // namespace qel::qelhost
