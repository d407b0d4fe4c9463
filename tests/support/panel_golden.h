// The stored pictures of the histogram panel that every export must reproduce byte for
// byte: the pictures they are made from, and the comparison with the stored PNG files.
// With TONALYX_WRITE_GOLDEN set to a folder the produced bytes are written there instead of
// compared, for a deliberate change of the panel's picture.
#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QString>

#include <cstdint>

namespace tonalyx::test {

inline QString GoldenPath(const QString& name) {
    return QDir(QStringLiteral(TONALYX_GOLDEN_DIR)).filePath(name + QStringLiteral(".png"));
}

// The sample photo shipped with the program.
inline QString SamplePhoto() {
    return QStringLiteral(TONALYX_SAMPLE_PHOTO);
}

// Small pictures made here, so that they need no storing: each stresses the drawing another
// way (smooth ramps, every bin a little, one bar per channel, no hue, clipped primaries).
inline QImage GoldenPicture(const QString& name) {
    if (name == QLatin1String("gradient")) {
        QImage im(160, 120, QImage::Format_RGB32);
        for (int y = 0; y < im.height(); ++y)
            for (int x = 0; x < im.width(); ++x)
                im.setPixel(x, y, qRgb(x * 255 / 159, y * 255 / 119, (x + y) * 255 / 278));
        return im;
    }
    if (name == QLatin1String("noise")) {
        QImage im(97, 61, QImage::Format_RGB32);
        std::uint32_t state = 12345; // a fixed linear congruential sequence
        const auto next = [&state] {
            state = state * 1103515245u + 12345u;
            return static_cast<int>((state >> 16) & 0xff);
        };
        for (int y = 0; y < im.height(); ++y)
            for (int x = 0; x < im.width(); ++x) {
                const int r = next(), g = next(), b = next();
                im.setPixel(x, y, qRgb(r, (g + r) / 2, b / 2 + 64));
            }
        return im;
    }
    if (name == QLatin1String("solid")) {
        QImage im(10, 10, QImage::Format_RGB32);
        im.fill(qRgb(128, 64, 200));
        return im;
    }
    if (name == QLatin1String("grey")) {
        QImage im(256, 8, QImage::Format_RGB32);
        for (int y = 0; y < im.height(); ++y)
            for (int x = 0; x < im.width(); ++x)
                im.setPixel(x, y, qRgb(x, x, x));
        return im;
    }
    if (name == QLatin1String("primaries")) {
        const QRgb colours[] = {qRgb(255, 0, 0),   qRgb(0, 255, 0), qRgb(0, 0, 255),
                                qRgb(255, 255, 0), qRgb(0, 0, 0),   qRgb(255, 255, 255)};
        QImage im(60, 40, QImage::Format_RGB32);
        for (int y = 0; y < im.height(); ++y)
            for (int x = 0; x < im.width(); ++x)
                im.setPixel(x, y, colours[(x / 10 + y / 20) % 6]);
        return im;
    }
    return {};
}

// The picture of that name as a file in folder: the sample photo as it is, the others as
// BMP. Empty when it could not be written.
inline QString WriteGoldenPicture(const QString& name, const QString& folder) {
    if (name == QLatin1String("sample"))
        return SamplePhoto();
    const QString path = QDir(folder).filePath(name + QStringLiteral(".bmp"));
    return GoldenPicture(name).save(path, "BMP") ? path : QString();
}

// Compares produced with the stored picture of that name, or stores it (see above).
inline void ExpectGolden(const QByteArray& produced, const QString& name) {
    const QByteArray writeTo = qgetenv("TONALYX_WRITE_GOLDEN");
    if (!writeTo.isEmpty()) {
        QFile out(QDir(QString::fromLocal8Bit(writeTo)).filePath(name + QStringLiteral(".png")));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly)) << out.fileName().toStdString();
        out.write(produced);
        return;
    }
    QFile stored(GoldenPath(name));
    ASSERT_TRUE(stored.open(QIODevice::ReadOnly)) << stored.fileName().toStdString();
    const QByteArray expected = stored.readAll();
    ASSERT_FALSE(produced.isEmpty()) << name.toStdString();
    if (produced == expected)
        return;
    // Where the pictures differ says more than that the bytes do.
    const QImage want = QImage::fromData(expected, "PNG").convertToFormat(QImage::Format_RGB32);
    const QImage got = QImage::fromData(produced, "PNG").convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(got.size(), want.size()) << name.toStdString();
    int differing = 0, firstX = -1, firstY = -1;
    for (int y = 0; y < want.height(); ++y)
        for (int x = 0; x < want.width(); ++x)
            if (got.pixel(x, y) != want.pixel(x, y) && differing++ == 0) {
                firstX = x;
                firstY = y;
            }
    ADD_FAILURE() << name.toStdString() << ": the PNG bytes differ from the stored ones; "
                  << differing << " pixels differ, the first at " << firstX << "," << firstY;
}

} // namespace tonalyx::test
