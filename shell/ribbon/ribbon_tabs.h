// The tab row's tabs: one caption per page; a click selects, a double click asks to fold or
// unfold the pages. From the keyboard, Tab walks the tabs one by one (a frame marks the one
// with the focus) and Space or Enter selects it.
#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

namespace ribbon {

class TRibbonStyle;

class TRibbonTabBar : public QWidget {
    Q_OBJECT
  public:
    TRibbonTabBar(const TRibbonStyle* style, QWidget* parent);

    // Adds a tab at the right and returns its index; the first tab becomes the current one.
    int AddTab(const QString& caption);
    int Count() const { return static_cast<int>(FCaptions.size()); }
    QString TabCaption(int index) const { return FCaptions.value(index); }

    // -1 while there is no tab.
    int CurrentIndex() const { return FCurrent; }
    // Selects a tab; an index out of range changes nothing.
    void SetCurrentIndex(int index);

    // Whether the selected tab is drawn joined to its page below; not while the pages are
    // folded away.
    void SetPageShown(bool shown);

    // Where tab index sits in this widget; empty for an index out of range.
    QRect TabRect(int index) const;
    // The tab the keyboard is on while the bar has the focus, else -1.
    int FocusTab() const { return hasFocus() ? FFocusTab : -1; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

  signals:
    void currentChanged(int index);
    void tabDoubleClicked(int index);

  protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    bool focusNextPrevChild(bool next) override;

  private:
    int TabAt(const QPoint& pos) const;

    const TRibbonStyle* FStyle;
    QStringList FCaptions;
    int FCurrent = -1;
    int FHover = -1;
    int FFocusTab = -1;
    bool FPageShown = true;
};

} // namespace ribbon
