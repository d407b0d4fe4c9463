// A piece of a test run in a child process, for what may block, end the process or change
// its limits: the parent collects what the child wrote and how it ended, and kills it when
// it is still running after an upper bound (a hang then fails the test instead of the run).
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tonalyx::test {

struct TChild {
    int Status = -1;    // the exit status; -1 when the child ended by a signal
    int Signal = 0;     // the signal that ended it, or 0
    std::string Output; // what it wrote to the descriptor it was given
};

// Runs body in a forked child with a descriptor to write to, and collects what it wrote
// and how it ended; nothing when it was still running after the limit (it is killed then).
// body runs in a copy of this process: it should stick to plain system calls.
inline std::optional<TChild> InChild(const std::function<void(int fd)>& body,
                                     std::chrono::seconds limit = std::chrono::seconds(5)) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return std::nullopt;
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipeFds[0]);
        body(pipeFds[1]);
        _exit(0);
    }
    close(pipeFds[1]);
    TChild child;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    bool ended = false;
    while (!ended && std::chrono::steady_clock::now() < deadline) {
        pollfd p{pipeFds[0], POLLIN, 0};
        if (poll(&p, 1, 100) <= 0)
            continue;
        char buf[4096];
        const ssize_t got = read(pipeFds[0], buf, sizeof buf);
        if (got > 0)
            child.Output.append(buf, static_cast<std::size_t>(got));
        ended = got == 0;
    }
    close(pipeFds[0]);
    if (!ended)
        kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!ended)
        return std::nullopt;
    child.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    child.Signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return child;
}

inline void WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n <= 0)
            return;
        done += std::size_t(n);
    }
}

} // namespace tonalyx::test
