#include "sensor_histogram.h"

#include <cmath>
#include <numeric>

namespace tonalyx {

std::uint64_t TSensorHistogram::Photosites() const {
    std::uint64_t n = 0;
    for (const TSensorChannel& c : Channels)
        n = std::accumulate(c.Counts.begin(), c.Counts.end(), n);
    return n;
}

std::optional<double> HeadroomEv(const std::vector<std::uint64_t>& counts, int black, int white) {
    const std::uint64_t total = std::accumulate(counts.begin(), counts.end(), std::uint64_t{0});
    if (total == 0 || white <= black)
        return std::nullopt;
    // At most 0.1 % above p: walk down from the top while what lies above stays within it.
    const std::uint64_t allowed = total / 1000;
    std::uint64_t above = 0;
    std::size_t p = counts.size() - 1;
    while (p > 0 && above + counts[p] <= allowed)
        above += counts[p--];
    if (static_cast<int>(p) <= black)
        return std::nullopt;
    return std::log2(double(white - black) / double(static_cast<int>(p) - black));
}

std::optional<double> StopsBelowWhite(int value, int black, int white) {
    if (value <= black || white <= black)
        return std::nullopt;
    return std::log2(double(value - black) / double(white - black));
}

} // namespace tonalyx
