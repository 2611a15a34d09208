// HostWindow on Linux: the development library only passes the owner on to
// its dialog seam, so a distinct made-up handle serves.
#include "boxoffice/host_window.h"

namespace qel::boxoffice {

HostWindow::HostWindow() : window_(reinterpret_cast<void*>(0x5150)) {}

HostWindow::~HostWindow() = default;

}  // namespace qel::boxoffice
