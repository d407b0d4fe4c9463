// tonalyx-render: the histogram panel of many images written as PNG files without a window,
// byte for byte the files that Save Histogram writes for a panel of the same size.
#pragma once

#include "region.h"
#include "render.h"

#include <QSize>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <optional>

namespace tonalyx {

struct TRenderOptions {
    QSize Size;
    bool Rgb = true, Hsv = true, Lab = true;
    bool Smoothing = true;
    TCountScale Scale = TCountScale::Linear;
    std::optional<TRegion> Region; // counted alone, in every image
    QString OutputDir = QStringLiteral(".");
    bool Force = false; // replace files that exist
    QStringList Images;
};

// The panel's design width and the height it has in a window of the design size.
QSize DefaultRenderSize();

// Parses the arguments after the program name. On a usage error or --help returns false
// and sets exitStatus (0 for --help, 2 for an error) after printing to out or err.
bool ParseRenderArguments(const QStringList& args, TRenderOptions& options, int& exitStatus,
                          std::FILE* out, std::FILE* err);

// Where an image's picture goes: the name Save proposes, with .png as Save appends it.
QString RenderTargetName(const QString& imagePath);

// Writes one PNG per image; needs a QGuiApplication (for the panel's font). Returns 0 when
// every image was written, 1 when any failed or was skipped, 2 when the output folder
// cannot be written (nothing is written then).
int RunRender(const TRenderOptions& options, std::FILE* out, std::FILE* err);

} // namespace tonalyx
