// The transaction trace's view of a transfer, read from libcurl's counters.
#include "transport/transfer_report.h"

#include <curl/curl.h>

namespace qel {
namespace {

std::int64_t info(CURL* handle, CURLINFO what) {
  curl_off_t value = 0;
  if (curl_easy_getinfo(handle, what, &value) != CURLE_OK) return 0;
  return static_cast<std::int64_t>(value);
}

}  // namespace

void recordTransfer(void* handle, int result, std::size_t bodySize, const std::string& received,
                    TransferReport& report) {
  CURL* curl = static_cast<CURL*>(handle);
  report.performed = true;
  long status = 0;
  if (curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK) report.httpStatus = status;
  report.nameLookupUs = info(curl, CURLINFO_NAMELOOKUP_TIME_T);
  report.connectUs = info(curl, CURLINFO_CONNECT_TIME_T);
  report.tlsUs = info(curl, CURLINFO_APPCONNECT_TIME_T);
  report.firstByteUs = info(curl, CURLINFO_STARTTRANSFER_TIME_T);
  report.totalUs = info(curl, CURLINFO_TOTAL_TIME_T);
  report.bytesSent = info(curl, CURLINFO_SIZE_UPLOAD_T);
  report.bytesReceived = info(curl, CURLINFO_SIZE_DOWNLOAD_T);
  if (report.keepBodies) report.response = received;

  // libcurl counts the body bytes it handed to the connection; whether the
  // cash register may hold the whole order is decided from that alone.
  report.curlResult = result;
  report.wholeBodySent = report.bytesSent >= static_cast<std::int64_t>(bodySize);
}

}  // namespace qel
