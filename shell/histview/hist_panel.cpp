// The histogram panel as a widget: the model commands, the relayout on resizing, and the
// drawing of its scene.
#include "hist_panel.h"

#include "hist_painter.h"

#include <QAction>
#include <QHelpEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QToolTip>

namespace tonalyx {

THistPanel::THistPanel(QWidget* parent) : QWidget(parent) {
    setObjectName("pnHistContainer");
    // The drawing covers every pixel; Qt's own back buffer does the rest, so a redraw on
    // every resize does not flicker.
    setAttribute(Qt::WA_OpaquePaintEvent);
    QPalette pal = palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        pal.setColor(group, QPalette::Window, ContainerColour());
    setPalette(pal);
    resize(FScene.Size());
    FScene.SetChanged([this](const QRect& part) { update(part); });
}

QColor THistPanel::ContainerColour() {
    return HistContainerColour();
}

void THistPanel::SetModelActions(QAction* rgb, QAction* hsv, QAction* lab) {
    for (QAction* old : FActions)
        if (old)
            disconnect(old, nullptr, this, nullptr);
    FActions = {rgb, hsv, lab};
    for (int i = 0; i < HistTabCount; ++i) {
        QAction* a = FActions[static_cast<std::size_t>(i)];
        if (!a)
            continue;
        a->setCheckable(true);
        connect(a, &QAction::triggered, this,
                [this, i](bool checked) { OnModelTriggered(i, checked); });
    }
}

void THistPanel::OnModelTriggered(int index, bool checked) {
    QAction* a = FActions[static_cast<std::size_t>(index)];
    // Qt has already toggled the command. Where its toggle flag is off (the last model
    // shown), invoking it must leave it as it was.
    if (!FAutoCheck[static_cast<std::size_t>(index)])
        a->setChecked(!checked);
    HistSetVisibleAndHeightCorr(a);
}

void THistPanel::HistHeightCorrect() {
    // The widths follow the container whatever happens to the heights.
    FScene.SetSize(size());
    if (FScene.HistHeightCorrect() && FRender)
        FRender();
}

void THistPanel::SetCountScale(TCountScale scale) {
    if (scale == FScene.CountScale())
        return;
    FScene.SetCountScale(scale);
    if (FRender)
        FRender();
}

void THistPanel::ShowRaw(bool on) {
    const bool was = FScene.RawShown();
    FScene.ShowRaw(on);
    RawChanged(was);
}

void THistPanel::SetSensor(std::shared_ptr<const TSensorHistogram> sensor) {
    const bool was = FScene.RawShown();
    FScene.SetSensor(std::move(sensor));
    RawChanged(was);
}

void THistPanel::RawChanged(bool wasShown) {
    // The three tabs keep their heights while the group stays away.
    if (wasShown || FScene.RawShown())
        HistHeightCorrect();
}

void THistPanel::SetMarks(std::vector<THistMark> marks) {
    if (marks == FMarks)
        return;
    // Only the columns that change are painted again.
    for (const THistMark& m : FMarks)
        update(MarkRect(FScene, m));
    FMarks = std::move(marks);
    for (const THistMark& m : FMarks)
        update(MarkRect(FScene, m));
}

void THistPanel::HistSetVisibleAndHeightCorr(QAction* sender) {
    Q_UNUSED(sender);
    FScene.SetSize(size());
    // Visibility follows the commands; a tab without a command keeps its own.
    std::array<bool, HistTabCount> shown{};
    for (std::size_t i = 0; i < shown.size(); ++i)
        shown[i] =
            FActions[i] ? FActions[i]->isChecked() : FScene.TabShown(static_cast<THistTab>(i));
    FScene.ShowModels(shown);

    const bool any = FScene.AnyTabShown();
    if (isHidden() == any)
        setVisible(any);
    emit ContainerVisibilityChanged(any);
    if (any)
        HistHeightCorrect();

    FAutoCheck = tonalyx::ModelAutoCheck(shown);
}

bool THistPanel::event(QEvent* event) {
    if (event->type() != QEvent::ToolTip)
        return QWidget::event(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    const auto c = FScene.ImageAt(help->pos());
    if (!c || ToolTip(*c).isEmpty()) {
        // As a part without a tooltip: the container's own, or its parent's.
        return QWidget::event(event);
    }
    // Gone again once the pointer leaves that histogram.
    QToolTip::showText(help->globalPos(), ToolTip(*c), this, FScene.ImageRect(*c));
    return true;
}

void THistPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    pnHistContainerResize();
}

void THistPanel::pnHistContainerResize() {
    HistHeightCorrect();
}

void THistPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    PaintHistPanel(p, FScene);
    PaintHistMarks(p, FScene, FMarks);
}

} // namespace tonalyx
