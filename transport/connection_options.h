// What every connection to the cash register shares, whatever travels over
// it: the time-outs, the TLS verification, and the message of a failure.
#pragma once

#include <string>

#include "base/vub_exception.h"

namespace qel {

// The longest a whole exchange with the cash register may take.
constexpr long kTransferTimeoutSeconds = 6;

// Sets on libcurl's easy handle (CURL*, which libcurl declares as void) what
// every connection keeps to: the connect and whole-transfer time-outs, http
// and https only, no proxy, no signals. Throws VubException when libcurl
// refuses an option.
void setConnectionRules(void* handle);

// Switches on the verification of the server's certificate chain and host
// name and requires TLS 1.2 or later. `utf8CaFile` names a PEM file of
// trusted certificates that then becomes the only trust; empty means the
// system's trust store. Throws VubException when libcurl refuses an option.
void setTlsVerification(void* handle, const std::string& utf8CaFile);

// The exception of a failed libcurl transfer as the operator sees it:
// libcurl's text for `curlCode`, ": ", then the text in `errorBuffer`, with
// `curlCode` as its code.
VubException transferFailure(int curlCode, const char* errorBuffer);

}  // namespace qel
