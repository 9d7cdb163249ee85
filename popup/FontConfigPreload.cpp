#include "FontConfigPreload.h"

#include <system_error>

#ifdef POPUP_HAVE_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

namespace popup {

FontConfigPreload::FontConfigPreload()
{
#ifdef POPUP_HAVE_FONTCONFIG
    try {
        m_worker = std::thread([this] { m_loaded = FcInit() == FcTrue; });
    } catch (const std::system_error &) {
        m_loaded = false;
    }
#endif
}

FontConfigPreload::~FontConfigPreload()
{
    static_cast<void>(wait());
}

bool FontConfigPreload::wait()
{
    if (m_worker.joinable()) {
        m_worker.join();
    }
    return m_loaded;
}

} // namespace popup
