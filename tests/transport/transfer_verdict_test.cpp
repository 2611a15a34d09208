// What the end of a transfer proves: every class of status, with and
// without the service's SOAP fault, before and after the whole body went
// out, and the ends without a status.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "transport/kasse_exchange.h"
#include "transport/transfer_verdict.h"

namespace qel {
namespace {

constexpr int kTimedOut = 28;   // CURLE_OPERATION_TIMEDOUT
constexpr int kNoConnect = 7;   // CURLE_COULDNT_CONNECT
constexpr int kRecvError = 56;  // CURLE_RECV_ERROR

struct End {
  long status;
  bool fault;
  int curlResult;
  std::optional<int> rect;
  TransferOutcome afterWholeBody;
  TransferOutcome beforeWholeBody;
};

using O = TransferOutcome;

TEST(TransferVerdict, EachEndProvesWhatItShows) {
  const End ends[] = {
      // Answers that were judged.
      {200, false, 0, 0, O::Accepted, O::Accepted},
      {201, false, 0, 0, O::Accepted, O::Accepted},
      {200, false, 0, 4, O::Refused, O::Refused},
      {200, false, 0, -1, O::Refused, O::Refused},
      // An answer that cannot be judged, or none.
      {200, false, 0, std::nullopt, O::InDoubt, O::InDoubt},
      {200, true, 0, std::nullopt, O::InDoubt, O::InDoubt},
      {200, false, kRecvError, std::nullopt, O::InDoubt, O::Failed},
      {0, false, kTimedOut, std::nullopt, O::InDoubt, O::Failed},
      {0, false, kNoConnect, std::nullopt, O::InDoubt, O::Failed},
      {101, false, 0, std::nullopt, O::InDoubt, O::InDoubt},
      // Statuses that say "done" without a Rect.
      {202, false, 0, std::nullopt, O::InDoubt, O::Refused},
      {203, false, 0, std::nullopt, O::InDoubt, O::Refused},
      {204, false, 0, std::nullopt, O::InDoubt, O::Refused},
      {206, true, 0, std::nullopt, O::InDoubt, O::Refused},
      {299, false, 0, std::nullopt, O::InDoubt, O::Refused},
      // Redirections: only those that would repeat the POST elsewhere show
      // that it was not processed here.
      {300, false, 0, std::nullopt, O::InDoubt, O::Refused},
      {301, false, 0, std::nullopt, O::Refused, O::Refused},
      {302, false, 0, std::nullopt, O::Refused, O::Refused},
      {303, false, 0, std::nullopt, O::InDoubt, O::Refused},
      {303, true, 0, std::nullopt, O::InDoubt, O::Refused},
      {304, false, 0, std::nullopt, O::InDoubt, O::Refused},
      {307, false, 0, std::nullopt, O::Refused, O::Refused},
      {308, false, 0, std::nullopt, O::Refused, O::Refused},
      {399, false, 0, std::nullopt, O::InDoubt, O::Refused},
      // Client errors, with or without a body of any kind.
      {400, false, 0, std::nullopt, O::Refused, O::Refused},
      {401, true, 0, std::nullopt, O::Refused, O::Refused},
      {404, false, kRecvError, std::nullopt, O::Refused, O::Refused},
      {413, false, 0, std::nullopt, O::Refused, O::Refused},
      {499, false, 0, std::nullopt, O::Refused, O::Refused},
      // Server errors: only the service's own fault in a 500 is its refusal.
      {500, true, 0, std::nullopt, O::Refused, O::Refused},
      {500, false, 0, std::nullopt, O::InDoubt, O::Refused},
      {500, true, kRecvError, std::nullopt, O::Refused, O::Refused},
      {501, true, 0, std::nullopt, O::InDoubt, O::Refused},
      {502, false, 0, std::nullopt, O::InDoubt, O::Refused},
      {502, true, 0, std::nullopt, O::InDoubt, O::Refused},
      {503, false, 0, std::nullopt, O::InDoubt, O::Refused},
      {504, false, 0, std::nullopt, O::InDoubt, O::Refused},
      {599, false, 0, std::nullopt, O::InDoubt, O::Refused},
      {600, false, 0, std::nullopt, O::InDoubt, O::Refused},
  };
  for (const End& end : ends) {
    for (const bool whole : {true, false}) {
      TransferReport report;
      report.performed = true;
      report.httpStatus = end.status;
      report.serviceFault = end.fault;
      report.curlResult = end.curlResult;
      report.wholeBodySent = whole;
      if (end.rect) report.rect = *end.rect;
      EXPECT_EQ(judgeTransfer(report), whole ? end.afterWholeBody : end.beforeWholeBody)
          << "status " << end.status << (end.fault ? " with the service's fault" : "") << ", curl " << end.curlResult
          << (whole ? ", after" : ", before") << " the whole body";
    }
  }
}

TEST(TransferVerdict, NothingPerformedIsFailedWhateverElseIsSet) {
  TransferReport report;
  report.wholeBodySent = true;
  report.httpStatus = 502;
  report.rect = 0;
  EXPECT_EQ(judgeTransfer(report), TransferOutcome::Failed);
}

// The service's fault is an env:Fault in the env:Body of an env:Envelope,
// names matched as in an answer; a gateway's page is none.
TEST(TransferVerdict, OnlyTheServicesOwnFaultIsOne) {
  const std::string envelope = "<env:Envelope xmlns:env=\"http://www.w3.org/2003/05/soap-envelope\">";
  const std::string fault =
      "<env:Fault><env:Code><env:Value>env:Receiver</env:Value></env:Code><env:Reason><env:Text "
      "xml:lang=\"en\">kaputt</env:Text></env:Reason></env:Fault>";
  const struct {
    std::string body;
    bool isFault;
  } cases[] = {
      {"<?xml version=\"1.0\"?>" + envelope + "<env:Body>" + fault + "</env:Body></env:Envelope>", true},
      {envelope + "<env:Header/><env:Body>" + fault + "</env:Body></env:Envelope>", true},
      // Latin-1 text in the fault, read with the ANSI code page.
      {envelope + "<env:Body><env:Fault>Gr\xF6\xDF"
                  "e</env:Fault></env:Body></env:Envelope>",
       true},
      {envelope + fault + "</env:Envelope>", false},
      {envelope + "<env:Header>" + fault + "</env:Header></env:Envelope>", false},
      {"<soap:Envelope><soap:Body><soap:Fault/></soap:Body></soap:Envelope>", false},
      {"<env:Body>" + fault + "</env:Body>", false},
      {"<html><body><h1>500 Internal Server Error</h1></body></html>", false},
      {"", false},
      {std::string("\x1f\x8b\x08\0\0\0\0\0", 8), false},
  };
  for (const auto& c : cases) EXPECT_EQ(isServiceFault(c.body), c.isFault) << c.body;
}

}  // namespace
}  // namespace qel
