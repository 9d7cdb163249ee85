#pragma once

#include "TrackFileCheck.h"

namespace plovi {

// The real check: opens the file for reading without blocking on a FIFO or
// device, and looks at what it is.
class ReadableFileCheck final : public TrackFileCheck
{
  public:
    [[nodiscard]] bool isReadable(const QString &path) const override;
};

} // namespace plovi
