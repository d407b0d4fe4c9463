// The application object of a benchmark that drives the window: off-screen, with no server
// to reach and settings in a temporary folder of its own, so that the user's are never read
// or written. The environment is set before the application exists, as Qt reads it then.
#pragma once

#include <QApplication>
#include <QTemporaryDir>

namespace tonalyx::bench {

struct TOffscreenEnvironment {
    TOffscreenEnvironment();
    QTemporaryDir Config;
};

// Also names the application and starts the network and feed services the window uses.
class TOffscreenApplication : private TOffscreenEnvironment, public QApplication {
  public:
    TOffscreenApplication(int& argc, char** argv);
};

} // namespace tonalyx::bench
