// The program's long-lived objects, created before any window in this order and
// released at close in the same order (the file information lives to the end).
#pragma once

#include "current_hist.h"
#include "image_opener.h"
#include "settings_location.h"
#include "ucache.h"
#include "ufiles.h"
#include "ustate.h"

#include <functional>
#include <memory>

namespace tonalyx {

struct TAppCore {
    std::unique_ptr<TCurrentHist> Hist = std::make_unique<TCurrentHist>();
    std::unique_ptr<TFiles> Files = std::make_unique<TFiles>();
    std::unique_ptr<TCache> Cache = std::make_unique<TCache>();
    std::unique_ptr<TState> State = std::make_unique<TState>();
    // The per-user settings, opened for each read or write.
    std::function<std::unique_ptr<QSettings>()> OpenSettings = OpenUserSettings;
    // How the window decodes a file it opens, on a worker.
    TOpenFunction OpenFile = OpenImageFile;

    // At close: the engine, the folder navigation, the cache, the window state.
    void Release() {
        Hist.reset();
        Files.reset();
        Cache.reset();
        State.reset();
    }
};

} // namespace tonalyx
