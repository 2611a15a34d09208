// The fixture of the end-to-end flow cases on the target being built: the
// native library called directly with the dialog seam, or QelConnect.dll
// loaded by name under Wine with its real message boxes.
#pragma once

#if defined(_WIN32)
#include "tests/win32/flow_tests_fixture.h"
namespace qel::test {
using FlowFixture = DllFlowTest;
}  // namespace qel::test
#else
#include "tests/host/flow_fixture.h"
namespace qel::test {
using FlowFixture = FlowTest;
}  // namespace qel::test
#endif
