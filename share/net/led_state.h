// The connection light of the status bar: no light, steady or blinking green, red.
#pragma once

namespace tonalyx {

enum class TLEDState { lsOff, lsGreen, lsRed };

} // namespace tonalyx
