// At a device pixel ratio of 2 (QT_SCALE_FACTOR=2, set in this executable alone) the photo
// is drawn at device resolution and the histograms stay pixel-exact, each logical pixel a
// 2 × 2 block of one colour.
#include "hist_panel.h"
#include "image_view.h"

#include "qt_environment.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

using namespace tonalyx;

// Before the application object exists, which the test environment makes later.
[[maybe_unused]] static const bool ScaledScreen = qputenv("QT_SCALE_FACTOR", "2");
TONALYX_QT_TEST_ENVIRONMENT(QApplication);

namespace {

// One-pixel black and white stripes: only a device-resolution drawing keeps them apart.
QImage Stripes(int w, int h) {
    QImage img(w, h, QImage::Format_BGR888);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, x % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    return img;
}

} // namespace

TEST(HighDensityScreen, PhotoIsDrawnAtDeviceResolution) {
    QWidget window;
    window.resize(100, 50);
    TImageView view(&window);
    view.setGeometry(0, 0, 100, 50);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_EQ(view.devicePixelRatioF(), 2.0);
    view.SetImage(Stripes(200, 100)); // exactly the view's device pixels
    const QImage shown = view.grab().toImage();
    ASSERT_EQ(shown.size(), QSize(200, 100));
    for (int x = 0; x < 200; ++x)
        EXPECT_EQ(qGray(shown.pixel(x, 50)) > 128, x % 2 == 1) << x;
}

TEST(HighDensityScreen, HistogramsStayPixelExact) {
    QWidget window;
    window.resize(243, 459);
    THistPanel panel(&window);
    panel.setGeometry(0, 0, 243, 459);
    panel.HistHeightCorrect();
    THistTarget& target = panel.Target(TChannel::R);
    const QImage& picture = panel.Image(TChannel::R).Picture();
    target.SetPen(TRgb{200, 0, 0});
    for (int x = 0; x < picture.width(); x += 3)
        target.VerticalLine(x, x % picture.height(), picture.height() - 1);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_EQ(panel.devicePixelRatioF(), 2.0);
    const QImage shown = panel.grab().toImage();
    ASSERT_EQ(shown.size(), QSize(486, 918));
    const QPoint at = panel.Scene().ImageRect(TChannel::R).topLeft() * 2;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            for (int d = 0; d < 4; ++d)
                ASSERT_EQ(shown.pixel(at.x() + 2 * x + d % 2, at.y() + 2 * y + d / 2),
                          picture.pixel(x, y))
                    << x << "," << y;
}
