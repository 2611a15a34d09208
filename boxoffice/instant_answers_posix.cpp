// InstantAnswers on Linux: a dialog seam handler that answers OK.
#include "boxoffice/instant_answers.h"

#include "boxoffice/shown_dialog.h"

namespace qel::boxoffice {
namespace {

using SetHandler = decltype(&qelSetDialogHandler);

int answerOk(void*, const wchar_t*, const wchar_t*, unsigned int) { return kIdOk; }

}  // namespace

InstantAnswers::InstantAnswers(const HostLibrary& library) : library_(library) {
  library_.function<SetHandler>("qelSetDialogHandler")(&answerOk);
}

InstantAnswers::~InstantAnswers() { library_.function<SetHandler>("qelSetDialogHandler")(nullptr); }

}  // namespace qel::boxoffice
