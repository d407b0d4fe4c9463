// An open that waits at a gate before it decodes: until the test lets it go, or until it is
// cancelled. Never let go, it ends only through its cancel, so a test can check that
// closing or cancelling reaches the worker (a bound keeps a fault from hanging the run).
#pragma once

#include "image_opener.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace tonalyx::test {

class TOpenGate {
  public:
    explicit TOpenGate(std::chrono::seconds bound = std::chrono::seconds(60)) : FBound(bound) {}

    // The open function; the gate must outlive the opener that calls it.
    TOpenFunction Function() {
        return [this](const QString& path, int side, std::stop_token cancel, TOpenProgress* p,
                      const TAdmission& admit, bool developed) {
            {
                std::unique_lock lock(FMutex);
                FStarted = true;
                FChanged.wait_for(lock, cancel, FBound, [this] { return FOpen; });
                FSawCancel = cancel.stop_requested();
            }
            return OpenImageFile(path, side, cancel, p, admit, developed);
        };
    }
    void Release() {
        std::lock_guard lock(FMutex);
        FOpen = true;
        FChanged.notify_all();
    }
    bool Started() {
        std::lock_guard lock(FMutex);
        return FStarted;
    }
    bool SawCancel() {
        std::lock_guard lock(FMutex);
        return FSawCancel;
    }

  private:
    const std::chrono::seconds FBound;
    std::mutex FMutex;
    std::condition_variable_any FChanged;
    bool FStarted = false, FOpen = false, FSawCancel = false;
};

} // namespace tonalyx::test
