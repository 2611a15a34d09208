// BoxAnswerer on Windows: the DLL shows real message boxes, which the
// thread's window hook finds, reads and answers.
#include <utility>

#include "boxoffice/box_answerer.h"
#include "boxoffice/box_hook_win32.h"

namespace qel::boxoffice {

struct BoxAnswerer::Seam {
  explicit Seam(AnswerPolicy policy) : hook(std::move(policy)) {}
  BoxHook hook;
};

// The boxes belong to the thread, not to the library, which is not needed.
BoxAnswerer::BoxAnswerer(const HostLibrary& /*library*/, AnswerPolicy policy)
    : seam_(std::make_unique<Seam>(std::move(policy))) {}

BoxAnswerer::~BoxAnswerer() = default;

const std::vector<ShownDialog>& BoxAnswerer::dialogs() const { return seam_->hook.dialogs(); }

const std::vector<ProgressReport>& BoxAnswerer::progress() const { return seam_->hook.progress(); }

}  // namespace qel::boxoffice
