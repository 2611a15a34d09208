// DialogAnswerer on Windows: the DLL shows real message boxes, which the
// thread's window hook finds, reads and answers.
#include <utility>

#include "hostkit/box_hook_win32.h"
#include "hostkit/dialog_answerer.h"

namespace qel::hostkit {

struct DialogAnswerer::Seam {
  explicit Seam(AnswerPolicy policy) : hook(std::move(policy)) {}
  BoxHook hook;
};

// The boxes belong to the thread, not to the library, which is not needed.
DialogAnswerer::DialogAnswerer(const HostLibrary& /*library*/, AnswerPolicy policy)
    : seam_(std::make_unique<Seam>(std::move(policy))) {}

DialogAnswerer::~DialogAnswerer() = default;

const std::vector<ShownDialog>& DialogAnswerer::dialogs() const { return seam_->hook.dialogs(); }

const std::vector<ProgressReport>& DialogAnswerer::progress() const { return seam_->hook.progress(); }

}  // namespace qel::hostkit
