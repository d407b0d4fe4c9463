// Letting a thread step aside for the program's other threads.
#pragma once

namespace tonalyx {

// Lowers the calling thread's priority below the program's other threads, where the system
// allows it (otherwise does nothing): for work done beside a thread that matters more, such
// as making pages ready or counting rows while a decoder runs, or work the window's thread
// should never wait behind. On two cores such work would otherwise take turns with the
// thread that matters whenever anything else wants a core.
void LowerThisThreadsPriority();

} // namespace tonalyx
