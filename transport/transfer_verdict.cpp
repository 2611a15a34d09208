// The rule that decides what the end of a transfer proves.
#include "transport/transfer_verdict.h"

namespace qel {
namespace {

// After the whole body went out: statuses with which the server shows that
// it did not process the order.
bool showsNotProcessed(long status, bool serviceFault) {
  if (status >= 400 && status < 500) return true;
  if (status == 301 || status == 302 || status == 307 || status == 308) return true;
  return status == 500 && serviceFault;
}

}  // namespace

TransferOutcome judgeTransfer(const TransferReport& report) {
  if (!report.performed) return TransferOutcome::Failed;
  if (report.rect) return *report.rect == 0 ? TransferOutcome::Accepted : TransferOutcome::Refused;
  if (report.wholeBodySent) {
    return showsNotProcessed(report.httpStatus, report.serviceFault) ? TransferOutcome::Refused
                                                                     : TransferOutcome::InDoubt;
  }
  if (report.httpStatus >= 200 && !isAnswerStatus(report.httpStatus)) return TransferOutcome::Refused;
  return report.curlResult == 0 ? TransferOutcome::InDoubt : TransferOutcome::Failed;
}

}  // namespace qel
