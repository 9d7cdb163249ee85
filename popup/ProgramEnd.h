#pragma once

namespace popup {

// Ends the process at once with `status`: standard streams are flushed, and
// nothing else runs (no destructors, no waiting for devices).
[[noreturn]] void endProgramNow(int status);

} // namespace popup
