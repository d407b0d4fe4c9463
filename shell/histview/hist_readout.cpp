#include "hist_readout.h"

#include "hist_panel.h"
#include "render.h"
#include "statistics.h"

#include <QEnterEvent>
#include <QMouseEvent>

#include <cmath>

namespace tonalyx {

namespace {

const QChar Minus(0x2212), Dash(0x2013);

QString Number(double v, int decimals) {
    const QString digits = QString::number(std::abs(v), 'f', decimals);
    return v < 0 && digits != QString::number(0.0, 'f', decimals) ? Minus + digits : digits;
}

QString WithUnit(TChannel c, const QString& number) {
    const QString unit = QString::fromUtf8(ChannelAxis(c).Unit);
    return unit == QLatin1String("%") ? number + QStringLiteral(" %") : number + unit;
}

QString UnitValue(TChannel c, double v, int extraDecimals = 0) {
    return WithUnit(c, Number(v, ChannelAxis(c).Decimals + extraDecimals));
}

QString Percent(double share) {
    return QString::number(share * 100, 'f', 1) + QStringLiteral(" %");
}

QString Label(TChannel c) {
    return QString::fromUtf8(ChannelAxis(c).Label);
}

} // namespace

THistReadout::THistReadout(THistPanel& panel, std::function<const THist*()> hist, QObject* parent)
    : QObject(parent), FPanel(panel), FHist(std::move(hist)) {
    FPanel.setMouseTracking(true);
    FPanel.installEventFilter(this);
}

QString THistReadout::ValueText(TChannel c, int first, int last) {
    const int decimals = ChannelAxis(c).Decimals;
    const QString from = Number(BinUnitValue(c, first), decimals);
    return WithUnit(c,
                    first == last ? from : from + Dash + Number(BinUnitValue(c, last), decimals));
}

QString THistReadout::PixelText(int x, int y, int r, int g, int b) {
    const auto value = [&](TChannel c) { return BinUnitValue(c, PixelBins(c, r, g, b).Bins[0]); };
    // The hue in its quarter degrees without trailing zeros; the rest in whole units.
    QString hue = QString::number(value(TChannel::H), 'f', 2);
    while (hue.endsWith(QLatin1Char('0')))
        hue.chop(1);
    if (hue.endsWith(QLatin1Char('.')))
        hue.chop(1);
    return QStringLiteral("x %1 y %2: RGB %3 %4 %5, H %6° S %7 % V %8 %, L %9 a %10 b %11")
        .arg(x)
        .arg(y)
        .arg(r)
        .arg(g)
        .arg(b)
        .arg(hue, Number(value(TChannel::S), 0), Number(value(TChannel::V), 0),
             Number(value(TChannel::L), 0), Number(value(TChannel::A), 0),
             Number(value(TChannel::B_), 0));
}

QString THistReadout::ReadoutText(TChannel c, const TChanData& origin, int x, int wc) {
    const TBinRange bins = ColumnBins(origin.Others, x, wc);
    if (bins.Empty())
        return {};
    return QStringLiteral("%1 %2: %3 px, %4 at or below")
        .arg(Label(c), ValueText(c, bins.First, bins.Last))
        .arg(CountIn(origin, bins.First, bins.Last))
        .arg(Percent(ShareAtOrBelow(origin, bins.Last)));
}

QString THistReadout::StatsText(TChannel c, const TChannelStats& s, const TOthers& axis) {
    QString text = QStringLiteral("%1: %2 pixels counted").arg(Label(c)).arg(s.Pixels);
    if (s.Pixels == 0)
        return text;
    QStringList figures;
    figures << QStringLiteral("mean ") +
                   (s.Mean ? UnitValue(c, *s.Mean, 2) : QStringLiteral("none"));
    if (s.Median)
        figures << QStringLiteral("median ") + UnitValue(c, *s.Median);
    if (s.Sd)
        figures << (c == TChannel::H ? QStringLiteral("circular sd ") : QStringLiteral("sd ")) +
                       UnitValue(c, *s.Sd, 2);
    text += QLatin1Char('\n') + figures.join(QStringLiteral(", "));
    text += QStringLiteral("\n%1 at %2, %3 at %4")
                .arg(Percent(*s.Low), ValueText(c, axis.IndLow, axis.IndLow), Percent(*s.High),
                     ValueText(c, axis.IndHigh, axis.IndHigh));
    return text;
}

QString THistReadout::ClippingText(const TAllChanel& origin) {
    QStringList parts;
    for (TChannel c : {TChannel::R, TChannel::G, TChannel::B}) {
        const TChannelStats s = ChannelStats(c, origin[c]);
        parts << QStringLiteral("%1 %2 / %3")
                     .arg(Label(c), Percent(s.Low.value_or(0)), Percent(s.High.value_or(0)));
    }
    return QStringLiteral("Clipped: ") + parts.join(QStringLiteral(", "));
}

void THistReadout::ImageCounted() {
    const THist* hist = FHist();
    if (!hist || !hist->IsCalculated())
        return;
    const TAllChanel& origin = hist->Data[Origin];
    emit ClippingChanged(ClippingText(origin));
    for (TChannel c : AllChannels)
        FPanel.SetToolTip(c, StatsText(c, ChannelStats(c, origin[c]), origin[c].Others));
    if (FUnder)
        ShowAt(*FUnder, FColumn);
}

void THistReadout::ShowAt(TChannel c, int x) {
    FUnder = c;
    FColumn = x;
    const THist* hist = FHist();
    if (!hist || !hist->IsCalculated()) {
        emit ReadoutChanged({}, {});
        return;
    }
    const TChanData& origin = hist->Data[Origin][c];
    const QString text = ReadoutText(c, origin, x, FPanel.Image(c).ControlWidth());
    emit ReadoutChanged(text, text.isEmpty() ? QString() : FPanel.ToolTip(c));
}

void THistReadout::Clear() {
    FUnder.reset();
    emit ReadoutChanged({}, {});
}

void THistReadout::PointerAt(QPointF position) {
    const QPoint at(static_cast<int>(std::floor(position.x())),
                    static_cast<int>(std::floor(position.y())));
    if (const auto c = FPanel.Scene().ImageAt(at))
        ShowAt(*c, at.x() - FPanel.Scene().ImageRect(*c).left());
    else if (FUnder)
        Clear();
}

bool THistReadout::eventFilter(QObject* watched, QEvent* e) {
    if (watched != &FPanel)
        return false;
    switch (e->type()) {
    case QEvent::MouseMove:
        PointerAt(static_cast<QMouseEvent*>(e)->position());
        break;
    case QEvent::Enter:
        PointerAt(static_cast<QEnterEvent*>(e)->position());
        break;
    case QEvent::Leave:
        if (FUnder)
            Clear();
        break;
    default:
        break;
    }
    return false; // the panel goes on as if nobody watched
}

} // namespace tonalyx
