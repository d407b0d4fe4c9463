// The main window's ribbon: which command sits where, in which order, with which caption.
#pragma once

namespace ribbon {
class TRibbonBar;
}

namespace tonalyx {

class TCommands;
using ribbon::TRibbonBar;

void BuildMainRibbon(TRibbonBar& ribbon, const TCommands& commands);

} // namespace tonalyx
