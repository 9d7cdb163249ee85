#include "ColourDraw.h"

#include <cmath>

namespace plovi {

ColourDraw::ColourDraw(UniformSource uniform) : m_uniform(std::move(uniform)) {}

int16_t ColourDraw::draw()
{
    double u = 0.0;
    if (m_uniform) {
        u = m_uniform();
    } else {
        std::uniform_real_distribution<double> unit(0.0, 1.0);
        u = unit(m_engine);
    }
    // A source that strays outside [0, 1) must still give one of the four draws.
    const double whole = std::floor(4.0 * u);
    const double clamped = std::fmin(std::fmax(whole, 0.0), 3.0);
    return static_cast<int16_t>(14 + static_cast<int16_t>(clamped));
}

} // namespace plovi
