#pragma once

#include <cstdint>
#include <functional>
#include <random>

namespace plovi {

// The random draw r behind the track buttons' colours: r = 14 + whole part of
// (4 * u), u uniform in [0, 1), so r is 14, 15, 16 or 17. The generator is
// never seeded; tests pass their own source of u.
class ColourDraw
{
  public:
    using UniformSource = std::function<double()>;

    // An empty source means the default-constructed engine.
    explicit ColourDraw(UniformSource uniform = {});

    [[nodiscard]] int16_t draw();

  private:
    std::mt19937 m_engine;
    UniformSource m_uniform;
};

} // namespace plovi
