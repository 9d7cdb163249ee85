#pragma once

#include "LinkOpener.h"

// Opens links through xdg-open, found in the absolute entries of PATH.
// Only the verb "open" is served; owner, parameters, directory and show mode
// have no counterpart there and are not used.
class DesktopLinkOpener final : public LinkOpener
{
  public:
    [[nodiscard]] bool openLink(const LinkRequest &request) override;
};
