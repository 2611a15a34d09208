// The JSON text of a trace line, written by hand: flat, always the same keys
// in the same order, numbers written without the C runtime's locale.
#include "host/trace_line.h"

#include <cmath>

#include "base/int_format.h"
#include "host/trace_schema.h"
#include "platform/platform.h"
#include "render/format.h"
#include "render/text_buffer.h"
#include "transport/http_client.h"
#include "transport/shown_url.h"

namespace qel {
namespace {

namespace key = trace::key;

const char* const kHex = "0123456789abcdef";

class JsonLine {
 public:
  JsonLine() { text_ += '{'; }

  void key(const char* name) {
    if (!first_) text_ += ',';
    first_ = false;
    text_ += '"';
    text_ += name;
    text_ += "\":";
  }
  // A text already in UTF-8.
  void string(const char* name, std::string_view utf8) {
    key(name);
    text_ += '"';
    for (const char c : utf8) escape(c);
    text_ += '"';
  }
  void string(const char* name, const std::wstring& text) { string(name, platform::wideToUtf8(text)); }
  void integer(const char* name, std::int64_t value) {
    key(name);
    text_ += std::to_string(value);
  }
  // Microseconds as milliseconds with three decimals.
  void milliseconds(const char* name, std::int64_t us) {
    key(name);
    if (us < 0) us = 0;
    const std::string fraction = std::to_string(1000 + us % 1000);
    text_ += std::to_string(us / 1000) + '.' + fraction.substr(1);
  }
  void amount(const char* name, double value) {
    key(name);
    if (!std::isfinite(value)) {
      text_ += "null";
      return;
    }
    TextBuffer out;
    appendAmount(out, value);
    text_.append(out.view());
  }
  void open(const char* name) {
    key(name);
    text_ += '{';
    first_ = true;
  }
  void close() { text_ += '}'; }

  std::string finish() {
    text_ += "}\n";
    return std::move(text_);
  }

 private:
  void escape(char c) {
    switch (c) {
      case '"':
        text_ += "\\\"";
        return;
      case '\\':
        text_ += "\\\\";
        return;
      case '\n':
        text_ += "\\n";
        return;
      case '\r':
        text_ += "\\r";
        return;
      case '\t':
        text_ += "\\t";
        return;
      default:
        break;
    }
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      text_ += "\\u00";
      text_ += kHex[byte >> 4];
      text_ += kHex[byte & 0xF];
      return;
    }
    text_ += c;
  }

  std::string text_;
  // No comma before the first key of an object.
  bool first_ = true;
};

void writeTransfer(JsonLine& line, const TransferReport& report) {
  if (report.httpStatus != 0) line.integer(key::kHttpStatus, report.httpStatus);
  if (report.rect) {
    line.integer(key::kRect, *report.rect);
    line.string(key::kRectmsg, report.rectmsg);
  }
  if (report.performed) {
    line.open(key::kTimes);
    line.milliseconds(key::kNameLookup, report.nameLookupUs);
    line.milliseconds(key::kConnect, report.connectUs);
    line.milliseconds(key::kTls, report.tlsUs);
    line.milliseconds(key::kFirstByte, report.firstByteUs);
    line.milliseconds(key::kTotalTime, report.totalUs);
    line.close();
    line.integer(key::kBytesSent, report.bytesSent);
    line.integer(key::kBytesReceived, report.bytesReceived);
  }
  // Both bodies are shown as an error box shows a response, cut at the
  // trace's own limit; a transfer that stopped before its request was made
  // has neither.
  if (report.keepBodies && (report.performed || !report.request.empty())) {
    line.string(key::kRequest, shownBody(report.request, kTracedBodyBytes));
  }
  if (report.keepBodies && report.performed) line.string(key::kResponse, shownBody(report.response, kTracedBodyBytes));
}

}  // namespace

std::string formatTraceLine(const TraceEntry& entry, const TransferReport* transfer) {
  JsonLine line;
  line.string(key::kTime, entry.time);
  line.string(key::kVersion, QEL_LIBRARY_VERSION);
  if (!entry.id.empty()) line.string(key::kId, entry.id);
  line.string(key::kKind, entry.kind);
  if (entry.order) {
    line.integer(key::kOrderId, entry.order->orderId);
    line.integer(key::kReceipt, entry.order->receipt);
    line.amount(key::kTotal, entry.order->total);
    line.string(key::kTerminalId, entry.order->terminalId);
  }
  line.string(key::kUrl, withoutUserInfo(entry.url));
  line.string(key::kOutcome, entry.outcome);
  if (entry.journal != nullptr) line.string(key::kJournal, entry.journal);
  if (entry.operatorAnswer != nullptr) line.string(key::kOperator, entry.operatorAnswer);
  if (entry.message) line.string(key::kMessage, *entry.message);
  if (entry.boxNotShown != nullptr) line.string(key::kBoxNotShown, entry.boxNotShown);
  if (entry.logEntryLost != nullptr) line.string(key::kLogEntryLost, entry.logEntryLost);
  if (entry.linesLost != 0) line.integer(key::kLinesLost, entry.linesLost);
  if (transfer != nullptr) writeTransfer(line, *transfer);
  return line.finish();
}

}  // namespace qel
