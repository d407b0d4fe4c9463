#include "ustate.h"

#include "state_log.h"

#include <QSettings>

#include <bit>
#include <cmath>
#include <cstring>

namespace tonalyx {

namespace {

const QString StateValue = QStringLiteral("State");

} // namespace

int HalfOf(int a) {
    return static_cast<int>(std::lrint(a / 2.0)); // the current rounding mode: ties to even
}

int ThirdOf(int a) {
    return static_cast<int>(std::lrint(a / 3.0)); // a third is never an exact half
}

std::int32_t TState::Int32(int at) const {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | Data[static_cast<std::size_t>(at + i)];
    return static_cast<std::int32_t>(v);
}

void TState::SetInt32(int at, std::int32_t value) {
    auto v = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i, v >>= 8)
        Data[static_cast<std::size_t>(at + i)] = static_cast<std::uint8_t>(v & 0xFF);
}

double TState::LastShowNewsDate() const {
    std::uint64_t bits = 0;
    for (int i = 7; i >= 0; --i)
        bits = (bits << 8) | Data[static_cast<std::size_t>(i)];
    return std::bit_cast<double>(bits);
}

void TState::SetLastShowNewsDate(double days) {
    auto bits = std::bit_cast<std::uint64_t>(days);
    for (int i = 0; i < 8; ++i, bits >>= 8)
        Data[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(bits & 0xFF);
}

QByteArray TState::Bytes() const {
    return QByteArray(reinterpret_cast<const char*>(Data.data()), Size);
}

void TState::Correct(QSize screen) {
    if (WState() != 0 && WState() != 2)
        SetWState(TWindowState::Maximized);
    QSize size = WSize();
    if (size.height() < 50 || size.height() > screen.height())
        size.setHeight(HalfOf(screen.height()));
    if (size.width() < 50 || size.width() > screen.width())
        size.setWidth(HalfOf(screen.width()));
    SetWSize(size);
    const int limit = WState() == 2 ? screen.width() : size.width();
    if (HistPanelWidth() < 50 || HistPanelWidth() > limit)
        SetHistPanelWidth(ThirdOf(limit));
    const double news = LastShowNewsDate();
    if (news == 0 || std::isnan(news))
        SetLastShowNewsDate(DefaultNewsDate);
    if (RibbonTheme() > 2)
        SetRibbonTheme(0);
}

void TState::SetDefaults(QSize screen, int currentWindowWidth) {
    SetLastShowNewsDate(DefaultNewsDate);
    SetWState(TWindowState::Maximized);
    SetWSize({HalfOf(screen.width()), HalfOf(screen.height())});
    SetHistPanelWidth(ThirdOf(currentWindowWidth));
    for (int m = 0; m < 3; ++m)
        SetHistPanelVisible(m, true);
    SetSmoothingIsOn(true);
    SetFlag(8, true); // SmartVertScale
    SetRibbonIsMinimized(false);
    SetRibbonTheme(0);
    for (int i = 0; i < QATItemCount; ++i)
        SetQATItemVisible(i, true);
}

TOutcome<void> TState::Load(const QSettings& settings, QSize screen, int currentWindowWidth) {
    const QVariant stored = settings.value(StateValue);
    // An INI file gives a plain string back as a string: only a byte array counts.
    if (stored.typeId() == QMetaType::QByteArray && stored.toByteArray().size() == Size) {
        std::memcpy(Data.data(), stored.toByteArray().constData(), Size);
        Correct(screen);
        return TOutcome<void>::Success();
    }
    SetDefaults(screen, currentWindowWidth);
    if (!stored.isValid() && settings.status() == QSettings::NoError) { // a first run
        qCDebug(StateLog) << "no window state stored; the defaults apply";
        return TOutcome<void>::Failure("No window state is stored");
    }
    const std::string detail =
        stored.isValid()
            ? std::string("State is ") + stored.metaType().name() + " of " +
                  std::to_string(stored.toByteArray().size()) + " bytes"
            : "the settings file reads with status " + std::to_string(int(settings.status()));
    qCInfo(StateLog).noquote() << "the stored window state cannot be read, the defaults apply:"
                               << QString::fromStdString(detail);
    return TOutcome<void>::Failure("The stored window state cannot be read", detail);
}

TOutcome<void> TState::Save(QSettings& settings) {
    Data[9] = 1; // Version
    settings.setValue(StateValue, Bytes());
    settings.sync();
    if (settings.status() == QSettings::NoError)
        return TOutcome<void>::Success();
    const std::string detail =
        settings.fileName().toStdString() + ": status " + std::to_string(int(settings.status()));
    qCInfo(StateLog).noquote() << "the window state was not stored:"
                               << QString::fromStdString(detail);
    return TOutcome<void>::Failure("The window state could not be stored", detail);
}

} // namespace tonalyx
