// The window decodes the pictures it opens on a worker and takes them in from the event
// loop: a test that opens, steps, drops or pastes runs the loop until that has ended.
#pragma once

#include "app_core.h"
#include "main_window.h"

#include <gtest/gtest.h>

#include <QTest>

#include <memory>

namespace tonalyx::test {

constexpr int OpenPatience = 60000; // ms: an upper bound only, for a loaded machine

inline void WaitOpened(const TfrmMain& window) {
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.Opening(); }, OpenPatience));
}

// A run of the program: a fresh window over core, shown, its start-up ended.
inline void ShowNewWindow(TAppCore& core, std::unique_ptr<TfrmMain>& window) {
    window = std::make_unique<TfrmMain>(core, QStringList{});
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->StartUpDone(); }));
}

// Opens path as the open dialog, a drop or the recent list would, and waits for it.
inline void OpenAndWait(TfrmMain& window, const QString& path) {
    window.LoadImageFile(path);
    WaitOpened(window);
}

} // namespace tonalyx::test
