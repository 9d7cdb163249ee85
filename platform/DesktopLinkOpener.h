#pragma once

#include "LinkOpener.h"

// Opens links through the desktop's URL handlers (xdg-open and the like).
// Only the verb "open" is served; owner, parameters, directory and show mode
// have no counterpart there and are not used.
class DesktopLinkOpener final : public LinkOpener
{
  public:
    [[nodiscard]] bool openLink(const LinkRequest &request) override;
};
