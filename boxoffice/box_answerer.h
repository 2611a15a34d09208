// Answers the library's message boxes for the host, recording what each one
// showed: natively through the development library's dialog seam, on Windows
// as real boxes found by a window hook.
#pragma once

#include <memory>
#include <vector>

#include "boxoffice/host_library.h"
#include "boxoffice/shown_dialog.h"

namespace qel::boxoffice {

// While alive, every box that `library` shows (on Windows: on the
// constructing thread) is read, recorded and answered. One at a time.
class BoxAnswerer {
 public:
  BoxAnswerer(const HostLibrary& library, AnswerPolicy policy);
  // Answers the boxes with `script` in order, and with OK beyond it: the
  // error box has no other button.
  BoxAnswerer(const HostLibrary& library, std::vector<int> script);
  ~BoxAnswerer();
  BoxAnswerer(const BoxAnswerer&) = delete;
  BoxAnswerer& operator=(const BoxAnswerer&) = delete;

  // Every box answered so far, oldest first.
  const std::vector<ShownDialog>& dialogs() const;
  // The progress window's appearances and goings so far, oldest first.
  const std::vector<ProgressReport>& progress() const;

 private:
  // The platform's way of seeing the boxes.
  struct Seam;
  std::unique_ptr<Seam> seam_;
};

// `script` in order, then `beyond` for every further box.
AnswerPolicy scriptedAnswers(std::vector<int> script, int beyond = kIdOk);

}  // namespace qel::boxoffice
