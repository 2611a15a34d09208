// Building kasse-sim's answers: the sales response and SOAP 1.2 faults.
#include "tools/kasse-sim/soap_messages.h"

namespace qel::sim {

namespace {

const char kEnvelopeStart[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
    "<env:Envelope xmlns:env=\"http://www.w3.org/2003/05/soap-envelope\"><env:Header/><env:Body>";
const char kEnvelopeEnd[] = "</env:Body></env:Envelope>";
const char kServiceNamespace[] = "urn:sap-com:document:sap:soap:functions:mc-style";

}  // namespace

std::string escapeXmlText(const std::string& text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

std::string salesResponse(const std::string& prefix, int rect, const std::string& rectmsg) {
  const std::string element = prefix + ":_-qel_-kasVubWsQuendalSalesResponse";
  return std::string(kEnvelopeStart) + "<" + element + " xmlns:" + prefix + "=\"" + kServiceNamespace +
         "\"><ExRect><Rect>" + std::to_string(rect) + "</Rect><Rectmsg>" + escapeXmlText(rectmsg) +
         "</Rectmsg></ExRect></" + element + ">" + kEnvelopeEnd;
}

std::string soapFault(const std::string& reason, bool sender) {
  return std::string(kEnvelopeStart) + "<env:Fault><env:Code><env:Value>" + (sender ? "env:Sender" : "env:Receiver") +
         "</env:Value></env:Code><env:Reason><env:Text xml:lang=\"en\">" + escapeXmlText(reason) +
         "</env:Text></env:Reason></env:Fault>" + kEnvelopeEnd;
}

}  // namespace qel::sim
