#include "input_file.h"

#include "open_reasons.h"

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace tonalyx {

namespace {

#ifdef _WIN32
using TStat = struct _stat64;
int OpenFile(const std::filesystem::path& path) {
    return _wopen(path.c_str(), _O_RDONLY | _O_BINARY);
}
int StatOf(int fd, TStat& st) {
    return _fstat64(fd, &st);
}
bool IsFolder(const TStat& st) {
    return (st.st_mode & _S_IFMT) == _S_IFDIR;
}
bool IsRegular(const TStat& st) {
    return (st.st_mode & _S_IFMT) == _S_IFREG;
}
long long ReadSome(int fd, void* dst, std::size_t n) {
    return _read(fd, dst, static_cast<unsigned>(std::min<std::size_t>(n, 1u << 30)));
}
long long ReadSomeAt(int fd, std::int64_t pos, void* dst, std::size_t n) {
    if (_lseeki64(fd, pos, SEEK_SET) != pos)
        return -1;
    return ReadSome(fd, dst, n);
}
#else
using TStat = struct stat;
int OpenFile(const std::filesystem::path& path) {
    // Not blocking: opening a FIFO for reading would otherwise wait for a writer before
    // anything can be checked. For a regular file the flag changes nothing.
    return open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
}
int StatOf(int fd, TStat& st) {
    return fstat(fd, &st);
}
bool IsFolder(const TStat& st) {
    return S_ISDIR(st.st_mode);
}
bool IsRegular(const TStat& st) {
    return S_ISREG(st.st_mode);
}
long long ReadSome(int fd, void* dst, std::size_t n) {
    ssize_t got;
    do
        got = read(fd, dst, n);
    while (got < 0 && errno == EINTR);
    return got;
}
long long ReadSomeAt(int fd, std::int64_t pos, void* dst, std::size_t n) {
    ssize_t got;
    do
        got = pread(fd, dst, n, static_cast<off_t>(pos));
    while (got < 0 && errno == EINTR);
    return got;
}
#endif

void CloseFile(int fd) {
#ifdef _WIN32
    _close(fd);
#else
    close(fd);
#endif
}

} // namespace

TInputFile::TInputFile(const std::filesystem::path& path) {
    const int fd = OpenFile(path);
    if (fd < 0) {
        FError = FileNotOpened(errno);
        return;
    }
    TStat st{};
    if (StatOf(fd, st) != 0)
        FError = FileNotOpened(errno);
    else if (IsFolder(st))
        FError = FolderNotPicture();
    else if (!IsRegular(st))
        FError = SpecialNotPicture();
    if (!FError.Reason.empty()) {
        CloseFile(fd);
        return;
    }
    FFd = fd;
    FSize = static_cast<std::int64_t>(st.st_size);
}

TInputFile::~TInputFile() {
    if (FFd >= 0)
        CloseFile(FFd);
}

std::size_t TInputFile::Read(void* dst, std::size_t n) {
    std::size_t done = 0;
    while (FFd >= 0 && done < n) {
        const long long got = ReadSome(FFd, static_cast<char*>(dst) + done, n - done);
        if (got <= 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

std::size_t TInputFile::ReadAt(std::int64_t pos, void* dst, std::size_t n) {
    std::size_t done = 0;
    while (FFd >= 0 && pos >= 0 && done < n) {
        const long long got = ReadSomeAt(FFd, pos + static_cast<std::int64_t>(done),
                                         static_cast<char*>(dst) + done, n - done);
        if (got <= 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

} // namespace tonalyx
