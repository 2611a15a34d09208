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

TEST(DialogAnswerer, MessageLinesAreIndented) {
  std::istringstream in;
  std::ostringstream out;
  DialogAnswerer answerer({}, in, false, out);
  answerer.answer("c", "first\r\nsecond", DialogButtons::Ok);
  EXPECT_NE(out.str().find("  text:    first\n          second\n"), std::string::npos);
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
