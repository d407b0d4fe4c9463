// The panel's Raw group: what the camera's sensor recorded, one histogram per colour of its
// filter, binned to the pictures' columns on an axis of stops below white or of raw values,
// with a line of levels and headroom under each and the axis's marks. Used on one thread, its
// owner's (the scene's).
#pragma once

#include "hist_image.h"
#include "render.h"
#include "sensor_histogram.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace tonalyx {

// The horizontal axis: stops below the white level (0 at the right), or the raw values from
// 0 to white in proportion.
enum class TRawAxis : int { Stops, Linear };

// The left end of the stops axis, in stops (negative): 12 below white, or as many as the
// widest channel spans between black and white when that is more.
int RawAxisLowEv(const TSensorHistogram& sensor);

// The column (0 … columns − 1) that raw value v of a channel falls in. On the stops axis a
// column covers lowEv / columns stops, and white and above fall in the last one; on the
// linear one a column covers white / columns values. -1 when there are no columns.
int SensorColumn(int value, int black, int white, TRawAxis axis, int lowEv, int columns);

// The channel's photosites summed per column. On the stops axis the values at or below black
// have no place; they go in the leftmost column with the darkest recorded ones, so that the
// columns hold every photosite (the info line tells them apart).
std::vector<std::uint64_t> SensorColumns(const TSensorChannel& channel, int white, TRawAxis axis,
                                         int lowEv, int columns);

// One mark of the axis: its column, and its label, empty for most.
struct TRawAxisMark {
    int Column = 0;
    QString Label;
    friend bool operator==(const TRawAxisMark&, const TRawAxisMark&) = default;
};
// A mark at every stop from lowEv to 0, labelled every few stops so that labels stay apart;
// on the linear axis a mark at every eighth of white, labelled at 0, the half and white.
std::vector<TRawAxisMark> RawAxisMarks(TRawAxis axis, int white, int lowEv, int columns);

// Where the marks' labels go on an axis `width` pixels wide, each label `widthOf` it wide:
// centred on its mark and pushed inside the axis at its ends, the right end's (white) placed
// first; a label that would come within a few pixels of one placed before is left out.
struct TPlacedLabel {
    std::size_t Mark; // index into the marks
    int X, Width;
};
std::vector<TPlacedLabel> PlaceAxisLabels(const std::vector<TRawAxisMark>& marks,
                                          const std::function<int(const QString&)>& widthOf,
                                          int width);

// The line under a channel's histogram: its levels, the clipped photosites as count and
// percentage, those at or below black and the headroom ("—" when there is none); the short
// form says the same for a panel too narrow for the words.
enum class TLineForm : int { Full, Short };
QString SensorInfoLine(const TSensorChannel& channel, int white, TLineForm form = TLineForm::Full);

// A channel's bar colour: the RGB group's red, green and blue, the second green darker.
TRgb SensorBarColour(const TSensorChannel& channel);

class TRawGroup {
  public:
    // The sensor's histogram to show; none (or one without channels) leaves the group empty.
    // The pictures are made anew at the next ResizePictures.
    void SetSensor(std::shared_ptr<const TSensorHistogram> sensor);
    const std::shared_ptr<const TSensorHistogram>& Sensor() const { return FSensor; }
    std::size_t Channels() const { return FImages.size(); }
    void SetAxis(TRawAxis axis) { FAxis = axis; }
    TRawAxis Axis() const { return FAxis; }

    // Every channel's image control has this size; the pictures follow at ResizePictures.
    void SetControlSize(QSize size);
    void ResizePictures();
    bool PicturesMade() const;
    const THistImage& Image(std::size_t channel) const { return FImages[channel]; }

    // The pictures cleared and the bars drawn, each channel scaled to its own largest column.
    void Draw(TCountScale scale);
    QString InfoLine(std::size_t channel, TLineForm form) const;
    std::vector<TRawAxisMark> Marks() const;

  private:
    int Columns() const;

    std::shared_ptr<const TSensorHistogram> FSensor;
    TRawAxis FAxis = TRawAxis::Stops;
    QSize FControl;
    std::vector<THistImage> FImages; // one per channel of the sensor
};

} // namespace tonalyx
