// Answers of the SAP cash register as the tests send them: the SOAP 1.2
// envelope with the response element under a given prefix.
#pragma once

#include <string>

namespace qel::test {

inline std::string soapAnswer(const std::string& prefix, const std::string& rectXml,
                              const std::string& envelopePrefix = "env") {
  const std::string env = envelopePrefix;
  const std::string element = (prefix.empty() ? "" : prefix + ":") + "_-qel_-kasVubWsQuendalSalesResponse";
  const std::string xmlns = prefix.empty() ? "xmlns" : "xmlns:" + prefix;
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?><" + env + ":Envelope xmlns:" + env +
         "=\"http://www.w3.org/2003/05/soap-envelope\"><" + env + ":Header/><" + env + ":Body><" + element + " " +
         xmlns + "=\"urn:sap-com:document:sap:soap:functions:mc-style\">" + rectXml + "</" + element + "></" + env +
         ":Body></" + env + ":Envelope>";
}

// The usual answer: ExRect with Rect and Rectmsg under the prefix n0.
inline std::string kasseAnswer(const std::string& rect, const std::string& rectmsg) {
  return soapAnswer("n0", "<ExRect><Rect>" + rect + "</Rect><Rectmsg>" + rectmsg + "</Rectmsg></ExRect>");
}

// The service's own SOAP 1.2 fault, as it answers with status 500.
inline std::string soapFault(const std::string& reason) {
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?><env:Envelope "
         "xmlns:env=\"http://www.w3.org/2003/05/soap-envelope\"><env:Header/><env:Body><env:Fault><env:Code>"
         "<env:Value>env:Receiver</env:Value></env:Code><env:Reason><env:Text xml:lang=\"en\">" +
         reason + "</env:Text></env:Reason></env:Fault></env:Body></env:Envelope>";
}

}  // namespace qel::test
