// The main window's ribbon: which command sits where, in which order, with which caption.
#pragma once

namespace tonalyx {

class TCommands;
class TRibbonBar;

void BuildMainRibbon(TRibbonBar& ribbon, const TCommands& commands);

} // namespace tonalyx
