// tonalyx-cli: histogram counts and their statistics for scripts and batch work.
#include "counts_command.h"
#include "raw_command.h"
#include "stats_command.h"

#include <string>
#include <vector>

int main(int argc, char* argv[]) {
    // Arguments are taken as the bytes given: UTF-8 file names pass through unchanged.
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    int status = 0;
    if (!args.empty() && args.front() == "stats") {
        tonalyx::TStatsOptions options;
        if (!tonalyx::ParseStatsArguments(args, options, status, stdout, stderr))
            return status;
        return tonalyx::RunStats(options, stdout, stderr);
    }
    if (!args.empty() && args.front() == "raw") {
        tonalyx::TRawOptions options;
        if (!tonalyx::ParseRawArguments(args, options, status, stdout, stderr))
            return status;
        return tonalyx::RunRaw(options, stdout, stderr);
    }
    tonalyx::TCountsOptions options;
    if (!tonalyx::ParseCountsArguments(args, options, status, stdout, stderr))
        return status;
    return tonalyx::RunCounts(options, stdout, stderr);
}
