// How the opener tests drive an opener: each call as the window makes it, then the event loop
// until the opener has nothing under way.
#pragma once

#include "image_opener.h"

#include <gtest/gtest.h>

#include <QString>
#include <QTest>

namespace tonalyx::test {

constexpr int OpenerPatience = 60000; // ms: an upper bound only, for a loaded machine

inline void Settle(const TImageOpener& op) {
    ASSERT_TRUE(QTest::qWaitFor([&] { return !op.IsOpening(); }, OpenerPatience));
}

inline void LoadAndSettle(TImageOpener& op, const QString& path) {
    op.LoadImageFile(path);
    Settle(op);
}

inline void StepAndSettle(TImageOpener& op, TNeighbor neighbor) {
    op.ShowNeighbor(neighbor);
    Settle(op);
}

} // namespace tonalyx::test
