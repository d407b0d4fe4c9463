// The command table: every user operation of the main window as a QAction with its
// caption, hint, shortcut, category, check state and handler. The ribbon, the quick
// access toolbar, the menus and the welcome panel all place these same actions.
#pragma once

#include <QAction>
#include <QHash>
#include <QObject>

#include <functional>
#include <span>

namespace tonalyx {

struct TCommandSpec {
    const char* Name;     // object name, e.g. "acOpenImageFile"
    const char* Category; // "Image", "Historgam", "Help", "Welcome" or "" for none
    const char* Caption;
    const char* Hint;     // "short|long" where the two differ; "" for none
    int Shortcut;         // a Qt key combination, 0 for none
    bool Checkable;       // toggles itself before its handler runs
    const char* Handler;  // twin commands share a handler
    const char* IconName; // the desktop icon theme's name for its picture
    const char* Glyph;    // drawn on a generated icon when the desktop theme has none
};

// Every command, in the order of the command table.
std::span<const TCommandSpec> CommandTable();

// The actions of the command table, owned by one parent (the main window).
class TCommands : public QObject {
    Q_OBJECT
  public:
    explicit TCommands(QObject* parent);

    QAction* Get(const QString& name) const; // nullptr for an unknown name
    QAction* operator[](const QString& name) const { return Get(name); }
    QList<QAction*> All() const { return FOrdered; }
    // The handler name an action was created with.
    static QString HandlerOf(const QAction* action);

    // Connects every action whose handler is `handler` to `run`, which receives the
    // invoking action (so twins can tell themselves apart when they need to).
    void Bind(const QString& handler, const std::function<void(QAction*)>& run);

  private:
    QHash<QString, QAction*> FByName;
    QList<QAction*> FOrdered;
};

} // namespace tonalyx
