#include "raw_readout.h"

#include <QStringList>

namespace tonalyx {

QString RawReadoutText(const TSensorMosaic& mosaic, QPoint stored, QSize storedSize) {
    if (mosaic.Empty())
        return {};
    const TSensorBlock block =
        SensorBlockAt(mosaic, stored.x(), stored.y(), storedSize.width(), storedSize.height());
    // A 6×6 tile holds several photosites of each colour: too many values for a status bar.
    const bool summed = !block.Linear && mosaic.TileRows * mosaic.TileColumns > 4;
    QStringList parts{summed ? QStringLiteral("Raw mean/max") : QStringLiteral("Raw")};
    static constexpr struct {
        TSensorColour Colour;
        const char* Name;
    } Order[] = {{SensorR, "R"}, {SensorG, "G"}, {SensorG2, "G2"}, {SensorB, "B"}};
    for (const auto& [colour, name] : Order) {
        const TSensorBlock::TColourValues& c = block.Colours[colour];
        if (c.Count == 0)
            continue;
        const QString value = summed ? QStringLiteral("%1/%2")
                                           .arg(static_cast<double>(c.Sum) / c.Count, 0, 'f', 0)
                                           .arg(c.Max)
                                     : QString::number(c.First);
        parts << QString::fromLatin1(name) << value;
    }
    return parts.join(QLatin1Char(' '));
}

} // namespace tonalyx
