#include "photo_like.h"

#include <QFile>

#include <jpeglib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

QImage PhotoLike(int w, int h) {
    QImage img(w, h, QImage::Format_BGR888);
    std::mt19937 rng(42);
    std::normal_distribution<double> noise(0.0, 4.0);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    struct Blob {
        double x, y, r, cr, cg, cb;
    };
    std::vector<Blob> blobs;
    for (int i = 0; i < 12; ++i)
        blobs.push_back({u(rng) * w, u(rng) * h, (0.05 + 0.2 * u(rng)) * h, 255 * u(rng),
                         255 * u(rng), 255 * u(rng)});
    const auto byte = [](double v) { return static_cast<uchar>(std::clamp(v, 0.0, 255.0)); };
    for (int y = 0; y < h; ++y) {
        uchar* p = img.scanLine(y);
        const double sky = static_cast<double>(y) / h;
        for (int x = 0; x < w; ++x, p += 3) {
            double r = 90 + 110 * (1 - sky) + 20 * std::sin(x * 0.002), g = 120 + 80 * (1 - sky),
                   b = 160 + 70 * (1 - sky);
            for (const Blob& bl : blobs) {
                const double dist = std::hypot(x - bl.x, y - bl.y);
                if (dist < bl.r) {
                    const double shade = 0.6 + 0.4 * (1 - dist / bl.r);
                    r = bl.cr * shade;
                    g = bl.cg * shade;
                    b = bl.cb * shade;
                }
            }
            p[2] = byte(r + noise(rng));
            p[1] = byte(g + noise(rng));
            p[0] = byte(b + noise(rng));
        }
    }
    return img;
}

bool WriteJpeg(const QImage& img, const QString& path, bool progressive) {
    FILE* f = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!f)
        return false;
    jpeg_compress_struct c;
    jpeg_error_mgr e;
    c.err = jpeg_std_error(&e);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, f);
    c.image_width = static_cast<JDIMENSION>(img.width());
    c.image_height = static_cast<JDIMENSION>(img.height());
    c.input_components = 3;
    c.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 90, TRUE);
    if (progressive)
        jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<uchar*>(img.constScanLine(static_cast<int>(c.next_scanline)));
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::fclose(f);
    return true;
}
