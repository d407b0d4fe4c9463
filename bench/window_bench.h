// What the window's benchmarks share: an application object off-screen, with no server to
// reach and settings in a temporary folder of its own (so that the user's are never read or
// written), and the waits that let a step end only once the window has done it.
#pragma once

#include <QApplication>
#include <QTemporaryDir>

#include <functional>
#include <vector>

namespace tonalyx {
class TfrmMain;
class TNeighbourPreparer;
} // namespace tonalyx

namespace tonalyx::bench {

// How long work takes, in milliseconds; the median of such times.
double Ms(const std::function<void()>& work);
double Median(std::vector<double> ms);

// Set before the application exists, as Qt reads the environment then.
struct TOffscreenEnvironment {
    TOffscreenEnvironment();
    QTemporaryDir Config;
};

// Also names the application and starts the network and feed services the window uses.
class TOffscreenApplication : private TOffscreenEnvironment, public QApplication {
  public:
    TOffscreenApplication(int& argc, char** argv);
};

// Shows the window at 1500 x 900 and runs the event loop until its start-up is done.
void StartWindow(TfrmMain& window);
// Runs the event loop, sleeping between events, until the window has taken in the picture
// it opens. (processEvents with a time limit would spin instead, taking a core from the open.)
void WaitOpened(TfrmMain& window);
// Lets queued work run until every held neighbour is prepared or given up, so that the next
// step is timed on a quiet worker.
void Settle(TNeighbourPreparer& preparer);

} // namespace tonalyx::bench
