// The small host records that the informational exports fill.
#pragma once

namespace qel {

// ModuleInfo, 141 bytes: three words and the module name.
void fillModuleInfo(void* record);

// ErrorTextRecord, 517 bytes: its size and the fixed text "Fehler"; the bytes
// behind the text's terminator keep their contents.
void fillErrorText(void* record);

}  // namespace qel
