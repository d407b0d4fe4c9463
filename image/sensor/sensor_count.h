// The sensor's own histogram of a camera raw file: every photosite of the visible area, as
// stored (before black subtraction), counted per colour of the sensor's filter. No Qt.
#pragma once

#include "memory_left.h"
#include "outcome.h"
#include "raw_source.h"
#include "sensor_histogram.h"
#include "sensor_mosaic.h"

namespace tonalyx {

class TByteSource; // byte_source.h

// Opens the raw file in bytes with LibRaw, unpacks it and counts it. A Bayer sensor gives
// R, G, B and G2 (the second green of its 2×2 pattern), a 6×6 pattern R, G, B, a linear DNG
// its three channels (pattern empty). Holds what LibRaw unpacks (2 bytes a photosite) and the
// counts; refuses a sensor whose declared size does not fit in memoryLeft before unpacking.
TOutcome<TSensorHistogram> CountSensor(TByteSource& bytes, const TCancelCheck& cancelled = {},
                                       const TMemoryLeft& memoryLeft = {});

// What the window keeps of a raw file's sensor: its histogram and its photosites.
struct TSensorReading {
    TSensorHistogram Histogram;
    TSensorMosaic Mosaic; // empty when the memory left could not hold it beside the raw
};

// CountSensor, and the visible area's photosites copied in the same pass (2 bytes a
// photosite, 6 a pixel of a linear raw): at its peak it holds the unpacked raw and the copy.
TOutcome<TSensorReading> ReadSensor(TByteSource& bytes, const TCancelCheck& cancelled = {},
                                    const TMemoryLeft& memoryLeft = {});

} // namespace tonalyx
