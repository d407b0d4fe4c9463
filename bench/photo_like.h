// The benchmarks' test picture: smooth shading with a few objects and sensor noise, so
// that its histograms spread like a photograph's, and its baseline or progressive JPEG.
#pragma once

#include <QImage>
#include <QString>

QImage PhotoLike(int w, int h);
bool WriteJpeg(const QImage& img, const QString& path, bool progressive);
