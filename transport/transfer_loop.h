// A libcurl transfer run as curl_easy_perform runs it, but giving the
// thread's messages their turn while it waits. Private to transport/.
#pragma once

#include <curl/curl.h>

namespace qel::curl {

// Runs the transfer set up on `handle` to its end and returns how it ended,
// as curl_easy_perform would. While it waits on the network it wakes at
// least every platform::kTransferTurnMs for platform::keepTransferAlive.
CURLcode performInTurns(CURL* handle);

}  // namespace qel::curl
