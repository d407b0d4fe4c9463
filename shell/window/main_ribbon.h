// Where the main window's commands are placed: the ribbon's pages and groups, the
// application menu, the quick access toolbar and the context menu, each as a table of
// command identifiers with the caption the command shows there.
#pragma once

#include "commands.h"

#include <span>

class QMenu;

namespace ribbon {
class TRibbonBar;
}

namespace tonalyx {

class TCommands;
using ribbon::TRibbonBar;

// One item of a surface: a command with its caption there, or a separator.
struct TPlacement {
    TCommandId Command;
    const char* Caption;    // nullptr for a separator
    const char* ObjectName; // the item's own object name where it has one, else ""
    // The key tip chosen for the item; "" takes it from the caption's mark. Chosen where
    // two captions of one page mark the same character.
    const char* KeyTip = "";
    bool IsSeparator() const { return Caption == nullptr; }
};

struct TGroupPlacement {
    const char* PageObjectName; // e.g. "rpMain"
    const char* PageCaption;
    const char* ObjectName; // e.g. "rgImage"
    const char* Caption;
    std::span<const TPlacement> Items; // large buttons
};

struct TMainPlacements {
    std::span<const TGroupPlacement> Groups; // in page order, then group order
    std::span<const TPlacement> AppMenu;
    std::span<const TPlacement> AppMenuFooter;
    std::span<const TPlacement> QuickAccess; // icons only; their visibility is the user's
    TCommandId QuickAccessShortcutHidden; // the one quick access item whose shortcut is not shown
    TCommandId RibbonHelp;                // the ribbon's own help button
    std::span<const TPlacement> ContextMenu;
};

const TMainPlacements& MainPlacements();

void BuildMainRibbon(TRibbonBar& ribbon, const TCommands& commands);
// pmMain's items: each runs its command; separators where the table has them.
void BuildContextMenu(QMenu& menu, const TCommands& commands);

} // namespace tonalyx
