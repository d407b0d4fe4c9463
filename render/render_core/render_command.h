// tonalyx-render: the histogram panel of many images written as PNG files without a window,
// byte for byte the files that Save Histogram writes for a panel of the same size.
#pragma once

#include "memory_left.h"
#include "region.h"
#include "render.h"

#include <QSize>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <cstdio>
#include <optional>

namespace tonalyx {

struct TRenderOptions {
    QSize Size;
    bool Rgb = true, Hsv = true, Lab = true;
    bool Raw = false; // the Raw group, for an image with a sensor histogram
    bool Smoothing = true;
    TCountScale Scale = TCountScale::Linear;
    std::optional<TRegion> Region; // counted alone, in every image
    QString OutputDir = QStringLiteral(".");
    bool Force = false; // replace files that exist
    QStringList Images;
    TMemoryLeft MemoryLeft; // the system's when not set (tests set it)
};

// The panel's design width and the height it has in a window of the design size.
QSize DefaultRenderSize();
// The longest side --size takes, either way.
inline constexpr int MaxRenderSide = 8192;
// What drawing and encoding a panel of this size holds, in bytes: its picture, the ten
// histograms' pictures within it, the copy the PNG is encoded from and the PNG at worst.
std::int64_t PanelDrawingBytes(QSize size);

// Parses the arguments after the program name. On a usage error or --help returns false
// and sets exitStatus (0 for --help, 2 for an error) after printing to out or err.
bool ParseRenderArguments(const QStringList& args, TRenderOptions& options, int& exitStatus,
                          std::FILE* out, std::FILE* err);

// Where an image's picture goes: the name Save proposes, with .png as Save appends it.
QString RenderTargetName(const QString& imagePath);

// Writes one PNG per image; needs a QGuiApplication (for the panel's font). Returns 0 when
// every image was written, 1 when any failed or was skipped, 2 when the output folder
// cannot be written or the panel's drawing does not fit in the memory left (nothing is
// written then). The images are counted ahead, as many at once as there are cores and as fit
// in the memory left beside the drawing (TCountingRoom); one that does not fit alone fails.
int RunRender(const TRenderOptions& options, std::FILE* out, std::FILE* err);

} // namespace tonalyx
