// KasseExchange: the SOAP envelope around the order document, the POST to
// the cash register and the judgement of its answer.
#include "transport/kasse_exchange.h"

#include <tinyxml2.h>

#include "base/leading_int.h"
#include "base/vub_exception.h"
#include "base/xml_parse.h"
#include "config/protected_password.h"
#include "platform/platform.h"
#include "render/order_document.h"
#include "render/request_template.h"
#include "transport/http_client.h"

namespace qel {

namespace {

constexpr std::int32_t kEnvelopeTemplate = 101;
constexpr Placeholder<OrderDocument, Order> kEnvelopePlaceholders[] = {
    {"auftrag", [](TextBuffer& out, const OrderDocument& document, const Order&) { document.appendTo(out); }},
};

const wchar_t kParseFailed[] = L"Failed to parse response of SAP Kasse. Response was: ";
const wchar_t kResponseElementMissing[] =
    L"Missing SAP Kasse response field n0:_-qel_-kasVubWsQuendalSalesResponse. Namespace different? Response:\r\n";
const wchar_t kRectMissing[] = L"Missing SAP Kasse response field _-qel_-kasVubWsQuendalSalesResponse->ExRect->Rect";
const wchar_t kRefused[] = L"SAP Kasse response error: ";

// The service answers with one of these two prefixes depending on its
// release; names are matched literally, namespace declarations are not read.
const char kResponseElement[] = "n0:_-qel_-kasVubWsQuendalSalesResponse";
const char kOlderResponseElement[] = "ns1:_-qel_-kasVubWsQuendalSalesResponse";

const tinyxml2::XMLElement* child(const tinyxml2::XMLNode* parent, const char* name) {
  return parent != nullptr ? parent->FirstChildElement(name) : nullptr;
}

const tinyxml2::XMLElement* findResponseElement(const tinyxml2::XMLDocument& document) {
  const tinyxml2::XMLElement* body = child(child(&document, "env:Envelope"), "env:Body");
  const tinyxml2::XMLElement* element = child(body, kResponseElement);
  return element != nullptr ? element : child(body, kOlderResponseElement);
}

// Judges the answer in `utf8`; `body` gives the decoded body for a message.
template <typename Body>
void judge(const char* utf8, Body&& body, KasseResponse& response) {
  response.rect = 0;
  response.rectmsg.clear();

  tinyxml2::XMLDocument document;
  if (parseXml(document, utf8) != tinyxml2::XML_SUCCESS) throw VubException(kParseFailed + body());

  const tinyxml2::XMLElement* answer = findResponseElement(document);
  if (answer == nullptr) throw VubException(kResponseElementMissing + body());

  // Rect is read by the "%d" rule by hand: parser releases differ in what
  // their own integer reading accepts (some take hexadecimal).
  const tinyxml2::XMLElement* exRect = child(answer, "ExRect");
  const tinyxml2::XMLElement* rect = child(exRect, "Rect");
  const char* rectText = rect != nullptr ? rect->GetText() : nullptr;
  const std::optional<std::int32_t> value = rectText != nullptr ? parseLeadingInt(rectText) : std::nullopt;
  if (!value) throw VubException(kRectMissing);

  response.rect = *value;
  const tinyxml2::XMLElement* rectmsg = child(exRect, "Rectmsg");
  const char* rectmsgText = rectmsg != nullptr ? rectmsg->GetText() : nullptr;
  if (rectmsgText != nullptr) response.rectmsg = platform::utf8ToWide(rectmsgText);

  if (response.rect != 0) throw VubException(kRefused + response.rectmsg, response.rect);
}

// Valid UTF-8 is what its decoding would give back when encoded again, so
// the parser reads the bytes themselves; other bytes are decoded with the
// ANSI code page and read as the UTF-8 of that text.
template <typename Read>
void readAsUtf8(const std::string& bytes, Read&& read) {
  if (platform::isValidUtf8(bytes)) {
    read(bytes.c_str());
    return;
  }
  const std::string utf8 = platform::wideToUtf8(platform::ansiToWide(bytes));
  read(utf8.c_str());
}

}  // namespace

// The envelope is built as the UTF-8 bytes that are sent, in one string
// allocated once: the templates and the values are written without their
// line breaks and tabs, which is what removing them from the whole text
// gives, and the order document goes straight into its place.
TextBuffer buildEnvelope(const Order& order) {
  RequestTemplate<OrderDocument, Order> envelope;
  envelope.load(kEnvelopeTemplate, kEnvelopePlaceholders);
  const OrderDocument document(order);
  TextBuffer text;
  // The terminator that libcurl takes the length from comes on top.
  text.reserve(envelope.textSize() + document.sizeHint() + 1);
  envelope.write(text, document, order);
  return text;
}

void evaluateResponseBytes(const std::string& bytes, KasseResponse& response) {
  readAsUtf8(bytes, [&](const char* utf8) {
    judge(
        utf8, [&] { return responseForMessage(bytes); }, response);
  });
}

bool isServiceFault(const std::string& bytes) {
  bool fault = false;
  readAsUtf8(bytes, [&](const char* utf8) {
    tinyxml2::XMLDocument document;
    fault = parseXml(document, utf8) == tinyxml2::XML_SUCCESS &&
            child(child(child(&document, "env:Envelope"), "env:Body"), "env:Fault") != nullptr;
  });
  return fault;
}

void KasseExchange::prepare(const Order& order, TransferReport& report) {
  envelope_ = buildEnvelope(order);
  if (report.keepBodies) report.request.assign(envelope_.view());
  HttpClient::globalInit();
  // A protected password is decrypted only now, before anything is sent,
  // and its clear text lives in the client, which wipes it when it goes.
  client_.setCredentials(config_.username, passwordToSend(config_));
  client_.addHeader(L"Content-Type", L"application/soap+xml");
  if (!config_.caFile.empty()) client_.setCaFile(config_.caFile);
}

KasseResponse& KasseExchange::send(KasseResponse& response, TransferReport& report) {
  std::string body;
  try {
    body = client_.postForBytes(config_.url, envelope_.c_str(), &report);
  } catch (const VubException&) {
    report.serviceFault = report.performed && isServiceFault(client_.lastResponse());
    throw;
  }
  // A Rect was read when the answer was accepted, or refused with a Rect
  // other than 0; every other failure of the judgement leaves it unread.
  const auto recordRect = [&] {
    report.rect = response.rect;
    report.rectmsg = response.rectmsg;
  };
  try {
    evaluateResponseBytes(body, response);
  } catch (const VubException&) {
    if (response.rect != 0) recordRect();
    throw;
  }
  recordRect();
  return response;
}

KasseResponse& KasseExchange::transfer(const Order& order, KasseResponse& response) {
  TransferReport report;
  prepare(order, report);
  return send(response, report);
}

}  // namespace qel
