// Tests for the command-line host's dialog answers: script first, then the
// terminal, Cancel at the end of input.
#include "tools/qelhost/dialog_answerer.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

namespace qel::qelhost {
namespace {

constexpr DialogAnswer kOk = DialogAnswer::Ok, kCancel = DialogAnswer::Cancel, kYes = DialogAnswer::Yes,
                       kNo = DialogAnswer::No;

TEST(DialogAnswerer, ScriptAnswersQuestionsAndOkBoxesTakeNoAnswer) {
  std::istringstream in;
  std::ostringstream out;
  DialogAnswerer answerer({kOk, kCancel}, in, false, out);
  EXPECT_EQ(answerer.answer("Transaktionsfenster", "Ticket in die Kasse uebertragen?", DialogButtons::OkCancel), kOk);
  EXPECT_EQ(answerer.answer("Fehler", "kaputt", DialogButtons::Ok), kOk);
  EXPECT_EQ(answerer.answer("Transaktionsfenster", "Tickets drucken?", DialogButtons::OkCancel), kCancel);
  EXPECT_EQ(answerer.shown(), 3u);
  EXPECT_NE(out.str().find("Dialog 2:\n  caption: Fehler\n  text:    kaputt\n  buttons: OK\n  answer:  OK\n"),
            std::string::npos);
}

TEST(DialogAnswerer, AfterTheScriptReadsInputUntilItUnderstands) {
  std::istringstream in("vielleicht\n  OK \n");
  std::ostringstream out;
  DialogAnswerer answerer({}, in, false, out);
  EXPECT_EQ(answerer.answer("c", "t", DialogButtons::OkCancel), kOk);
  EXPECT_NE(out.str().find("[O]K or [C]ancel? vielleicht\n  [O]K or [C]ancel?   OK \n  answer:  OK\n"),
            std::string::npos);
}

TEST(DialogAnswerer, EndOfInputCancels) {
  std::istringstream in("");
  std::ostringstream out;
  DialogAnswerer answerer({kOk}, in, true, out);
  EXPECT_EQ(answerer.answer("c", "t", DialogButtons::OkCancel), kOk);
  EXPECT_EQ(answerer.answer("c", "t", DialogButtons::YesNoCancel), kCancel);
}

// The guard's Yes/No/Cancel box: the script's words fitted to the box (ok
// answers no Yes/No/Cancel box; yes and no stand for OK and Cancel on an
// OK/Cancel box), then typed words or their first letters.
TEST(DialogAnswerer, YesNoCancelTakesItsOwnWords) {
  struct Case {
    std::vector<DialogAnswer> script;
    const char* input;
    DialogButtons buttons;
    DialogAnswer chosen;
    const char* shown;
  };
  const Case cases[] = {
      {{kYes}, "", DialogButtons::YesNoCancel, kYes, "  buttons: Yes, No, Cancel\n  answer:  Yes\n"},
      {{kNo}, "", DialogButtons::YesNoCancel, kNo, "  answer:  No\n"},
      {{kCancel}, "", DialogButtons::YesNoCancel, kCancel, "  answer:  Cancel\n"},
      {{kOk}, "", DialogButtons::YesNoCancel, kCancel, "  answer:  Cancel\n"},
      {{kYes}, "", DialogButtons::OkCancel, kOk, "  answer:  OK\n"},
      {{kNo}, "", DialogButtons::OkCancel, kCancel, "  answer:  Cancel\n"},
      {{},
       "ok\nN\n",
       DialogButtons::YesNoCancel,
       kNo,
       "  [Y]es, [N]o or [C]ancel? ok\n  [Y]es, [N]o or [C]ancel? N\n  answer:  No\n"},
      {{}, "yes\n", DialogButtons::YesNoCancel, kYes, "? yes\n  answer:  Yes\n"},
      {{}, "y\no\n", DialogButtons::OkCancel, kOk, "  [O]K or [C]ancel? y\n  [O]K or [C]ancel? o\n  answer:  OK\n"},
  };
  for (const Case& c : cases) {
    std::istringstream in(c.input);
    std::ostringstream out;
    DialogAnswerer answerer(c.script, in, false, out);
    EXPECT_EQ(answerer.answer("Transaktionsfenster", "Beleg 1", c.buttons), c.chosen) << c.input;
    EXPECT_NE(out.str().find(c.shown), std::string::npos) << out.str();
  }
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
  DialogAnswerer answerer({kOk}, in, false, out, true);
  EXPECT_EQ(answerer.answer("Transaktionsfenster", "Ticket in die Kasse uebertragen?", DialogButtons::OkCancel), kOk);
  EXPECT_EQ(answerer.answer("Fehler", "kaputt", DialogButtons::Ok), kOk);
  EXPECT_EQ(answerer.answer("Transaktionsfenster", "Tickets drucken?", DialogButtons::OkCancel), kCancel);
  std::string rest;
  std::getline(in, rest);
  EXPECT_EQ(rest, "rest");
  EXPECT_NE(out.str().find("  buttons: OK\n  (held: Enter answers it) \n  answer:  OK\n"), std::string::npos);
}

TEST(DialogAnswerer, HoldAtEndOfInputStillAnswers) {
  std::istringstream in("");
  std::ostringstream out;
  DialogAnswerer answerer({kOk}, in, false, out, true);
  EXPECT_EQ(answerer.answer("c", "t", DialogButtons::OkCancel), kOk);
  EXPECT_EQ(answerer.answer("c", "t", DialogButtons::Ok), kOk);
}

TEST(ParseAnswers, AcceptsItsFourWordsInAnyCase) {
  EXPECT_EQ(parseAnswers("ok,Cancel, OK,YES ,no"), (std::vector<DialogAnswer>{kOk, kCancel, kOk, kYes, kNo}));
  EXPECT_EQ(parseAnswers(""), std::vector<DialogAnswer>{});
  EXPECT_THROW(parseAnswers("ok,ja"), std::invalid_argument);
  EXPECT_THROW(parseAnswers("ok,,ok"), std::invalid_argument);
}

}  // namespace
}  // namespace qel::qelhost
