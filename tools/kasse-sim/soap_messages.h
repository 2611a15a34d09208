// The SOAP 1.2 documents that kasse-sim answers with.
#pragma once

#include <string>

namespace qel::sim {

// The answer to a good request: ExRect with Rect and Rectmsg (UTF-8) in the
// response element under `prefix`.
std::string salesResponse(const std::string& prefix, int rect, const std::string& rectmsg);

// A SOAP 1.2 Fault; `sender` tells whether the request (env:Sender) or the
// service (env:Receiver) is at fault.
std::string soapFault(const std::string& reason, bool sender = true);

std::string escapeXmlText(const std::string& text);

}  // namespace qel::sim
