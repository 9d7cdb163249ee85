#pragma once

#include <thread>

namespace popup {

// Loads fontconfig's configuration and font caches on a worker thread (about
// 7 ms of parsing on a desktop system), so that the work overlaps the
// program's connection to the display. Qt's font database later finds the
// configuration loaded and uses it as it is: nothing about the fonts changes.
//
// Construct before the QApplication; call wait() before the first font is
// looked up. Without fontconfig, or when no thread can be started, nothing is
// preloaded and Qt loads the configuration itself when it first needs it.
class FontConfigPreload
{
  public:
    FontConfigPreload();
    ~FontConfigPreload();
    FontConfigPreload(const FontConfigPreload &) = delete;
    FontConfigPreload &operator=(const FontConfigPreload &) = delete;

    // Returns once the worker has finished; true if the configuration was
    // loaded by it.
    [[nodiscard]] bool wait();

  private:
    std::thread m_worker;
    bool m_loaded = false; // written by the worker, read after the join
};

} // namespace popup
