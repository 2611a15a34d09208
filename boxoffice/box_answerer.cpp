// The answers that both platforms' dialog answerers share.
#include "boxoffice/box_answerer.h"

#include <algorithm>
#include <deque>
#include <utility>

namespace qel::boxoffice {

int escapeAnswer(const ShownDialog& dialog) {
  auto has = [&dialog](int id) {
    return std::find(dialog.buttons.begin(), dialog.buttons.end(), id) != dialog.buttons.end();
  };
  if (has(kIdCancel)) return kIdCancel;
  if (has(kIdOk)) return kIdOk;
  return dialog.buttons.empty() ? kIdCancel : dialog.buttons.back();
}

AnswerPolicy scriptedAnswers(std::vector<int> script, int beyond) {
  return [pending = std::deque<int>(script.begin(), script.end()), beyond](const ShownDialog&) mutable {
    if (pending.empty()) return beyond;
    const int next = pending.front();
    pending.pop_front();
    return next;
  };
}

BoxAnswerer::BoxAnswerer(const HostLibrary& library, std::vector<int> script)
    : BoxAnswerer(library, scriptedAnswers(std::move(script))) {}

}  // namespace qel::boxoffice
