#include "QBColor.h"

#include <array>
#include <cstddef>

namespace {
constexpr int32_t rgb(int32_t r, int32_t g, int32_t b)
{
    return r | (g << 8) | (b << 16);
}

constexpr std::array<int32_t, 16> kPalette{
    rgb(0, 0, 0),       rgb(0, 0, 128),   rgb(0, 128, 0),   rgb(0, 128, 128),
    rgb(128, 0, 0),     rgb(128, 0, 128), rgb(128, 128, 0), rgb(192, 192, 192),
    rgb(128, 128, 128), rgb(0, 0, 255),   rgb(0, 255, 0),   rgb(0, 255, 255),
    rgb(255, 0, 0),     rgb(255, 0, 255), rgb(255, 255, 0), rgb(255, 255, 255),
};
} // namespace

namespace plovi {

int32_t QBColor(int16_t number)
{
    if (number < 0 || number >= static_cast<int16_t>(kPalette.size())) {
        return 0;
    }
    return kPalette[static_cast<std::size_t>(number)];
}

} // namespace plovi
