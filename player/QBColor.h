#pragma once

#include <cstdint>

namespace plovi {

// The sixteen-colour palette of the classic text mode, numbers 0 to 15, as
// 0x00BBGGRR. A number outside 0..15 gives black.
[[nodiscard]] int32_t QBColor(int16_t number);

} // namespace plovi
