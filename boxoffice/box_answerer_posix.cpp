// BoxAnswerer on Linux: the development library's dialog seam, which
// hands over each box's texts and MB_ type instead of showing it.
#include <stdexcept>
#include <utility>

#include "boxoffice/box_answerer.h"
#include "boxoffice/box_layout.h"

namespace qel::boxoffice {
namespace {

constexpr unsigned int kIconMask = 0xF0;

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
