// TState: the window state remembered from one run to the next, one fixed-layout 48-byte
// record stored as the settings value "State". Fields are read from and written to their
// offsets byte by byte (little-endian), never by copying a struct, so any stored byte is
// read safely and the padding and reserved bytes are carried unchanged.
#pragma once

#include "outcome.h"

#include <QByteArray>
#include <QSize>

#include <array>
#include <cstdint>

class QSettings;

namespace tonalyx {

class TState {
  public:
    static constexpr int Size = 48;
    static constexpr int QATItemCount = 6;
    static constexpr double DefaultNewsDate = 42005; // 2015-01-01, days since 1899-12-30

    enum class TWindowState : std::uint8_t { Normal = 0, Minimized = 1, Maximized = 2 };

    std::array<std::uint8_t, Size> Data{}; // zero-filled at creation

    // Reads "State" when it is a byte array of exactly 48 bytes and corrects it against
    // the screen's size; otherwise sets the defaults (currentWindowWidth gives the default
    // panel width) and says why in a failure, which is logged (tonalyx.state) and never
    // shown: the program starts with the defaults.
    TOutcome<void> Load(const QSettings& settings, QSize screen, int currentWindowWidth);
    // Writes Data as "State" (Version set to 1). A failure is logged and otherwise
    // swallowed: the program still closes.
    TOutcome<void> Save(QSettings& settings);

    // The corrections of a stored record, in their order.
    void Correct(QSize screen);
    void SetDefaults(QSize screen, int currentWindowWidth);

    // Fields at their offsets. Flags read any byte other than 0 as true.
    double LastShowNewsDate() const;
    void SetLastShowNewsDate(double days);
    bool SmartVertScale() const { return Flag(8); }
    std::uint8_t Version() const { return Data[9]; }
    std::uint8_t WState() const { return Data[10]; }
    void SetWState(TWindowState s) { Data[10] = static_cast<std::uint8_t>(s); }
    QSize WSize() const { return {Int32(16), Int32(12)}; }
    void SetWSize(QSize s) {
        SetInt32(12, s.height());
        SetInt32(16, s.width());
    }
    int HistPanelWidth() const { return Int32(20); }
    void SetHistPanelWidth(int w) { SetInt32(20, w); }
    // 0 RGB, 1 HSV, 2 Lab
    bool HistPanelVisible(int model) const { return Flag(24 + model); }
    void SetHistPanelVisible(int model, bool on) { SetFlag(24 + model, on); }
    bool SmoothingIsOn() const { return Flag(27); }
    void SetSmoothingIsOn(bool on) { SetFlag(27, on); }
    bool RibbonIsMinimized() const { return Flag(40); }
    void SetRibbonIsMinimized(bool on) { SetFlag(40, on); }
    bool QATItemVisible(int i) const { return Flag(41 + i); }
    void SetQATItemVisible(int i, bool on) { SetFlag(41 + i, on); }
    std::uint8_t RibbonTheme() const { return Data[47]; }
    void SetRibbonTheme(std::uint8_t theme) { Data[47] = theme; }

    QByteArray Bytes() const;

  private:
    bool Flag(int at) const { return Data[static_cast<std::size_t>(at)] != 0; }
    void SetFlag(int at, bool on) { Data[static_cast<std::size_t>(at)] = on ? 1 : 0; }
    std::int32_t Int32(int at) const;
    void SetInt32(int at, std::int32_t v);
};

// a / 2 and a / 3 rounded to the nearest integer, an exact half going to the even one.
int HalfOf(int a);
int ThirdOf(int a);

} // namespace tonalyx
