// BoxAnswerer on Linux: the development library's dialog seam, which
// hands over each box's texts and MB_ type instead of showing it.
#include <algorithm>
#include <iterator>
#include <stdexcept>
#include <utility>

#include "boxoffice/box_answerer.h"

namespace qel::boxoffice {
namespace {

constexpr unsigned int kButtonsMask = 0x0F;
constexpr unsigned int kIconMask = 0xF0;
constexpr int kIdAbort = 3, kIdRetry = 4, kIdIgnore = 5, kIdTryAgain = 10, kIdContinue = 11;

// The buttons that MessageBoxW shows for each MB_ button value, in the order
// in which it lays them out; none for a value it does not know.
const std::vector<int>& laidOut(unsigned int type) {
  static const std::vector<int> kLaidOut[] = {
      {kIdOk},         {kIdOk, kIdCancel},    {kIdAbort, kIdRetry, kIdIgnore},      {kIdYes, kIdNo, kIdCancel},
      {kIdYes, kIdNo}, {kIdRetry, kIdCancel}, {kIdCancel, kIdTryAgain, kIdContinue}};
  static const std::vector<int> kNone;
  const unsigned int buttons = type & kButtonsMask;
  return buttons < std::size(kLaidOut) ? kLaidOut[buttons] : kNone;
}

// The button that MB_DEFBUTTONn (bits 8 to 11) makes the default: the n-th
// laid out, or the first when there is no n-th.
int defaultButtonOf(unsigned int type) {
  const std::vector<int>& buttons = laidOut(type);
  if (buttons.empty()) return 0;
  const std::size_t nth = (type >> 8) & 0x0F;
  return buttons[nth < buttons.size() ? nth : 0];
}

// The same buttons in ascending id order, as a real box reports them.
std::vector<int> buttonsOf(unsigned int type) {
  std::vector<int> ids = laidOut(type);
  std::sort(ids.begin(), ids.end());
  return ids;
}

}  // namespace

struct BoxAnswerer::Seam {
  using SetHandler = decltype(&qelSetDialogHandler);

  Seam(const HostLibrary& library, AnswerPolicy answerPolicy)
      : setHandler(library.function<SetHandler>("qelSetDialogHandler")), policy(std::move(answerPolicy)) {
    if (active != nullptr) throw std::logic_error("a BoxAnswerer is already answering the library's boxes");
    active = this;
    setHandler(&Seam::handle);
  }
  ~Seam() {
    setHandler(nullptr);
    active = nullptr;
  }

  // The seam takes a plain function, so the answerer it reaches lives here.
  static int handle(void* owner, const wchar_t* text, const wchar_t* caption, unsigned int type) {
    if (type == QEL_DIALOG_PROGRESS_SHOWN || type == QEL_DIALOG_PROGRESS_HIDDEN) {
      active->progress.push_back(
          {type == QEL_DIALOG_PROGRESS_SHOWN, caption, text, owner, true, active->dialogs.size()});
      return 0;
    }
    ShownDialog dialog{caption,
                       text,
                       buttonsOf(type),
                       (type & kIconMask) != 0,
                       owner,
                       type & ~(kButtonsMask | kIconMask),
                       0,
                       defaultButtonOf(type)};
    // The policy runs inside the library, which no exception may enter.
    try {
      dialog.answer = active->policy(dialog);
    } catch (...) {
      dialog.answer = escapeAnswer(dialog);
    }
    active->dialogs.push_back(dialog);
    return dialog.answer;
  }

  inline static Seam* active = nullptr;
  SetHandler setHandler;
  AnswerPolicy policy;
  std::vector<ShownDialog> dialogs;
  std::vector<ProgressReport> progress;
};

BoxAnswerer::BoxAnswerer(const HostLibrary& library, AnswerPolicy policy)
    : seam_(std::make_unique<Seam>(library, std::move(policy))) {}

BoxAnswerer::~BoxAnswerer() = default;

const std::vector<ShownDialog>& BoxAnswerer::dialogs() const { return seam_->dialogs; }

const std::vector<ProgressReport>& BoxAnswerer::progress() const { return seam_->progress; }

}  // namespace qel::boxoffice
