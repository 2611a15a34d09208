// The guard's texts exactly as the operator sees them; "\u00fc", "\u00dc"
// and "\u00df" are the letters ü, Ü and ß.
#include "host/guard_question.h"

#include <algorithm>

#include "host/operator_dialogs.h"
#include "platform/platform.h"
#include "render/format.h"
#include "render/text_buffer.h"

namespace qel {
namespace {

constexpr wchar_t kReceipt[] = L"Beleg ";
constexpr wchar_t kRefundOf[] = L"Die R\u00fcckbuchung von Beleg ";
constexpr wchar_t kAmountOf[] = L" \u00fcber ";
constexpr wchar_t kSentOn[] = L" wurde am ";
constexpr wchar_t kSentAt[] = L" um ";
constexpr wchar_t kSaleOpen[] = L" an die Kasse \u00fcbertragen; ob die Kasse ihn gebucht hat, ist offen.";
constexpr wchar_t kRefundOpen[] = L" an die Kasse \u00fcbertragen; ob die Kasse sie gebucht hat, ist offen.";
constexpr wchar_t kAskSaleBooked[] = L"Ist Beleg ";
constexpr wchar_t kAskRefundBooked[] = L"Ist die R\u00fcckbuchung von Beleg ";
constexpr wchar_t kAtTheKasse[] = L" an der Kasse gebucht?";
constexpr wchar_t kSaleAnswers[] =
    L"Ja: Der Verkauf wird ohne erneute \u00dcbertragung abgeschlossen.\r\n"
    L"Nein: Der Beleg wird jetzt \u00fcbertragen.\r\n"
    L"Abbrechen: Es geschieht nichts.";
constexpr wchar_t kRefundAnswers[] =
    L"Ja: Die R\u00fcckbuchung wird ohne erneute \u00dcbertragung abgeschlossen.\r\n"
    L"Nein: Die R\u00fcckbuchung wird jetzt \u00fcbertragen.\r\n"
    L"Abbrechen: Es geschieht nichts.";
constexpr wchar_t kBookedSince[] = L" ist seit ";
constexpr wchar_t kBookedSinceDay[] = L" ist seit dem ";
constexpr wchar_t kNotPrinted[] = L" an der Kasse gebucht; die Tickets wurden nicht gedruckt.";
constexpr wchar_t kNotPrintedAnswers[] =
    L"OK: ohne erneute \u00dcbertragung abschlie\u00dfen.\r\n"
    L"Abbrechen: Es geschieht nichts.";
constexpr wchar_t kParagraph[] = L"\r\n\r\n";

// `value` with at least two digits.
std::wstring twoDigits(int value) { return (value < 10 ? L"0" : L"") + std::to_wstring(value); }

std::wstring dateText(const platform::LocalTime& t) {
  return twoDigits(t.day) + L'.' + twoDigits(t.month) + L'.' + std::to_wstring(t.year);
}

std::wstring timeText(const platform::LocalTime& t) { return twoDigits(t.hour) + L':' + twoDigits(t.minute); }

// "49,90": two decimals, a decimal comma.
std::wstring germanAmount(double value) {
  TextBuffer out;
  appendAmount(out, value);
  std::wstring text = platform::utf8ToWide(out.view());
  std::replace(text.begin(), text.end(), L'.', L',');
  return text;
}

// "Beleg 100234 ist seit 14:32 …", with the date when that was another day.
std::wstring notPrintedText(const GuardedOrder& order, const platform::LocalTime& began) {
  const platform::LocalTime today = platform::localTime(platform::utcMilliseconds());
  const bool sameDay = today.year == began.year && today.month == began.month && today.day == began.day;
  std::wstring text = kReceipt + std::to_wstring(order.receipt);
  text += sameDay ? kBookedSince + timeText(began) : kBookedSinceDay + dateText(began) + kSentAt + timeText(began);
  return text + kNotPrinted + kParagraph + kNotPrintedAnswers;
}

}  // namespace

std::wstring guardQuestionText(const GuardedOrder& order, const EarlierAttempt& earlier) {
  const platform::LocalTime began = platform::localTime(earlier.timeMs);
  if (earlier.state == OpenState::NotPrinted) return notPrintedText(order, began);
  const bool refund = order.kind == TransactionKind::Refund;
  const std::wstring receipt = std::to_wstring(order.receipt);
  std::wstring text = (refund ? kRefundOf : kReceipt) + receipt;
  text += kAmountOf + germanAmount(order.total) + L' ' + order.currency;
  text += kSentOn + dateText(began) + kSentAt + timeText(began) + (refund ? kRefundOpen : kSaleOpen) + kParagraph;
  text += (refund ? kAskRefundBooked : kAskSaleBooked) + receipt + kAtTheKasse + kParagraph;
  return text + (refund ? kRefundAnswers : kSaleAnswers);
}

GuardAnswer askWhetherBooked(void* owner, const GuardedOrder& order, const EarlierAttempt& earlier) {
  const std::wstring text = guardQuestionText(order, earlier);
  // A sale booked and not printed is only confirmed (OK) or left (Cancel).
  const platform::Buttons buttons =
      earlier.state == OpenState::NotPrinted ? platform::Buttons::OkCancel : platform::Buttons::YesNoCancel;
  switch (platform::warningBox(owner, text.c_str(), kTransactionCaption, buttons)) {
    case platform::kBoxNotShown:
      return GuardAnswer::NotShown;
    case platform::kIdOk:
    case platform::kIdYes:
      return GuardAnswer::Booked;
    case platform::kIdNo:
      return GuardAnswer::NotBooked;
    default:
      return GuardAnswer::Cancelled;
  }
}

}  // namespace qel
