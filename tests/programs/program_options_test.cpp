// Every program answers --help and --version, without a display and without touching its
// settings or the network; a usage error exits with 2.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/wait.h>

namespace {

struct TRun {
    int Status = -1;
    std::string Out; // standard output only
};

TRun RunProgram(const std::string& program, const std::string& args) {
    // No display, no platform chosen, settings in a folder that does not exist: the answer
    // must come before the toolkit or anything else starts.
    const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "
                                "XDG_CONFIG_HOME=/nonexistent/tonalyx HOME=/nonexistent/tonalyx '" +
                                program + "' " + args + " 2>/dev/null";
    TRun run;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return run;
    char buffer[4096];
    while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
        run.Out.append(buffer, n);
    const int status = ::pclose(pipe);
    run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

struct TRow {
    const char* Program;
    const char* Args;
    int Status;
    const char* OutStart; // what standard output begins with
};

class ProgramOptions : public ::testing::TestWithParam<TRow> {};

TEST_P(ProgramOptions, Answers) {
    const TRow& row = GetParam();
    const TRun run = RunProgram(row.Program, row.Args);
    EXPECT_EQ(run.Status, row.Status) << row.Program << " " << row.Args;
    EXPECT_EQ(run.Out.substr(0, std::string(row.OutStart).size()), row.OutStart)
        << row.Program << " " << row.Args << ":\n"
        << run.Out;
    if (row.Status == 0) {
        EXPECT_EQ(run.Out.back(), '\n');
    }
}

INSTANTIATE_TEST_SUITE_P(
    AllPrograms, ProgramOptions,
    ::testing::Values(TRow{TONALYX_WINDOW, "--help", 0, "Usage: tonalyx [IMAGE]"},
                      TRow{TONALYX_WINDOW, "-h", 0, "Usage: tonalyx [IMAGE]"},
                      TRow{TONALYX_WINDOW, "--version", 0, "tonalyx " TONALYX_VERSION "\n"},
                      TRow{TONALYX_CLI, "--help", 0, "Usage: tonalyx-cli counts"},
                      TRow{TONALYX_CLI, "--version", 0, "tonalyx-cli " TONALYX_VERSION "\n"},
                      TRow{TONALYX_CLI, "frobnicate", 2, ""},
                      TRow{TONALYX_RENDER, "--help", 0, "Usage: tonalyx-render"},
                      TRow{TONALYX_RENDER, "-h", 0, "Usage: tonalyx-render"},
                      TRow{TONALYX_RENDER, "--version", 0, "tonalyx-render " TONALYX_VERSION "\n"},
                      TRow{TONALYX_RENDER, "--size 1x1 a.jpg", 2, ""},
                      TRow{TONALYX_SERVER, "--help", 0, "Usage: tonalyx-server"},
                      TRow{TONALYX_SERVER, "--version", 0, "tonalyx-server " TONALYX_VERSION "\n"},
                      TRow{TONALYX_SERVER, "--listen nowhere", 2, ""}));

} // namespace
