// A page of the ribbon (the content of one tab) and its groups of large buttons.
#pragma once

#include <QList>
#include <QString>
#include <QWidget>

class QAction;
class QHBoxLayout;

namespace ribbon {

class TRibbonButton;
class TRibbonStyle;

// The thin line between two items of a group.
class TRibbonSeparator : public QWidget {
    Q_OBJECT
  public:
    TRibbonSeparator(const TRibbonStyle* style, QWidget* parent);
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* e) override;

  private:
    const TRibbonStyle* FStyle;
};

// A row of large buttons and separators with a caption under it.
class TRibbonGroup : public QWidget {
    Q_OBJECT
  public:
    TRibbonGroup(const QString& caption, const TRibbonStyle* style, QWidget* parent);

    QString Caption() const { return FCaption; }

    // Adds a large button for action at the end of the row. The caption, with its marks,
    // is the button's; an empty caption takes the action's text.
    TRibbonButton* AddButton(QAction* action, const QString& caption = QString());
    // Adds a separator at the end of the row.
    void AddSeparator();

    QList<TRibbonButton*> Buttons() const { return FButtons; }
    // Buttons and separators in order: 'B' for a button, '|' for a separator.
    QString Layout() const { return FLayout; }

  protected:
    void paintEvent(QPaintEvent* e) override;

  private:
    QString FCaption;
    const TRibbonStyle* FStyle;
    QHBoxLayout* FRow;
    QList<TRibbonButton*> FButtons;
    QString FLayout;
};

// The groups of one tab, side by side from the left.
class TRibbonPage : public QWidget {
    Q_OBJECT
  public:
    TRibbonPage(const QString& caption, const TRibbonStyle* style, QWidget* parent);

    // The tab's caption.
    QString Caption() const { return FCaption; }

    // Adds a group at the right of the others.
    TRibbonGroup* AddGroup(const QString& caption);
    QList<TRibbonGroup*> Groups() const { return FGroups; }

  protected:
    void paintEvent(QPaintEvent* e) override;

  private:
    QString FCaption;
    const TRibbonStyle* FStyle;
    QHBoxLayout* FRow;
    QList<TRibbonGroup*> FGroups;
};

} // namespace ribbon
