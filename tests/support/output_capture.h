// What a command wrote to its standard output and error, caught through temporary files,
// for the commands that take the two streams as arguments.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <memory>

namespace tonalyx::test {

using TStream = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// A temporary file open for writing and reading, removed when it is closed.
inline TStream TemporaryStream() {
    return TStream(std::tmpfile(), &std::fclose);
}

// Everything written to f, from its start.
inline QString ReadStream(std::FILE* f) {
    std::rewind(f);
    QByteArray bytes;
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        bytes.append(buf, static_cast<qsizetype>(n));
    return QString::fromUtf8(bytes);
}

struct TCapturedRun {
    int Status = -1; // what the command returned
    QString Out, Err;
};

// Runs run(out, err), which returns the command's exit status, and reads what it wrote.
template <typename Run> TCapturedRun CaptureOutput(Run&& run) {
    const TStream out = TemporaryStream();
    const TStream err = TemporaryStream();
    TCapturedRun r;
    r.Status = run(out.get(), err.get());
    r.Out = ReadStream(out.get());
    r.Err = ReadStream(err.get());
    return r;
}

} // namespace tonalyx::test
