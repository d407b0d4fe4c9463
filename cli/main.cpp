// tonalyx-cli: histogram counts for scripts and batch work.
#include "cli/counts_command.h"

#include <QCoreApplication>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    tonalyx::TCountsOptions options;
    int status = 0;
    if (!tonalyx::ParseCountsArguments(args, options, status, stdout, stderr))
        return status;
    return tonalyx::RunCounts(options, stdout, stderr);
}
