#include "safe_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace tonalyx {

namespace {

std::string Why(std::string_view what, std::string_view name, int error) {
    std::string text(what);
    text += " ";
    text += name;
    text += ": ";
    text += std::strerror(error);
    return text;
}

std::vector<std::string_view> SplitPath(std::string_view path) {
    std::vector<std::string_view> parts;
    while (true) {
        const std::size_t slash = path.find('/');
        parts.push_back(path.substr(0, slash));
        if (slash == std::string_view::npos)
            return parts;
        path.remove_prefix(slash + 1);
    }
}

std::string TemporaryName() {
    static std::atomic<unsigned> counter{0};
    thread_local std::mt19937_64 random(std::random_device{}());
    char suffix[40];
    std::snprintf(suffix, sizeof suffix, "%016llx-%u", static_cast<unsigned long long>(random()),
                  counter.fetch_add(1));
    return std::string(TemporaryPrefix) + suffix;
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

struct TDirClose {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

} // namespace

bool IsPlainName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

TResult<TUniqueFd> OpenFolderAt(int dir, std::string_view name, bool create) {
    if (!IsPlainName(name))
        return TResult<TUniqueFd>::Failure("not a plain folder name: " + std::string(name));
    const std::string path(name);
    if (create && ::mkdirat(dir, path.c_str(), 0755) != 0 && errno != EEXIST)
        return TResult<TUniqueFd>::Failure(Why("cannot create folder", name, errno));
    TUniqueFd fd(::openat(dir, path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.Valid())
        return TResult<TUniqueFd>::Failure(Why("cannot open folder", name, errno));
    return fd;
}

TResult<TUniqueFd> OpenRegularFileAt(int dir, std::string_view path) {
    const std::vector<std::string_view> parts = SplitPath(path);
    TUniqueFd folder;
    int at = dir;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        auto next = OpenFolderAt(at, parts[i], false);
        if (!next.Ok())
            return TResult<TUniqueFd>::Failure(next.Reason());
        folder = std::move(next.Value());
        at = folder.Get();
    }
    if (!IsPlainName(parts.back()))
        return TResult<TUniqueFd>::Failure("not a plain file name: " + std::string(path));
    // O_NONBLOCK so that a named pipe put there cannot stall the thread in open.
    const std::string name(parts.back());
    TUniqueFd fd(::openat(at, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd.Valid())
        return TResult<TUniqueFd>::Failure(Why("cannot open", path, errno));
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode))
        return TResult<TUniqueFd>::Failure("not a regular file: " + std::string(path));
    return fd;
}

TResult<std::string> ReadWhole(int fd, std::size_t maxBytes) {
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return TResult<std::string>::Failure(std::strerror(errno));
    if (static_cast<std::uint64_t>(info.st_size) > maxBytes)
        return TResult<std::string>::Failure("file is over " + std::to_string(maxBytes) + " bytes");
    std::string content;
    content.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[16384];
    while (true) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return TResult<std::string>::Failure(std::strerror(errno));
        }
        if (got == 0)
            return content;
        // The file may grow while it is read; the limit holds all the same.
        if (content.size() + static_cast<std::size_t>(got) > maxBytes)
            return TResult<std::string>::Failure("file is over " + std::to_string(maxBytes) +
                                                 " bytes");
        content.append(buffer, static_cast<std::size_t>(got));
    }
}

TNewFileOutcome WriteNewFileAt(int dir, std::string_view name, std::string_view bytes) {
    if (!IsPlainName(name))
        return {TNewFile::Failed, "not a plain file name: " + std::string(name)};
    const std::string temporary = TemporaryName();
    TUniqueFd fd(::openat(dir, temporary.c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!fd.Valid())
        return {TNewFile::Failed, Why("cannot create", temporary, errno)};
    TNewFileOutcome outcome;
    if (!WriteAll(fd.Get(), bytes) || ::fsync(fd.Get()) != 0) {
        outcome = {TNewFile::Failed, Why("cannot write", temporary, errno)};
    } else if (const std::string target(name);
               ::linkat(dir, temporary.c_str(), dir, target.c_str(), 0) == 0) {
        outcome = {TNewFile::Written, {}};
    } else if (errno == EEXIST) {
        outcome = {TNewFile::Exists, {}};
    } else {
        outcome = {TNewFile::Failed, Why("cannot store", name, errno)};
    }
    fd.Reset();
    ::unlinkat(dir, temporary.c_str(), 0);
    if (outcome.Kind == TNewFile::Written)
        ::fsync(dir); // the new name itself survives a power cut
    return outcome;
}

std::vector<std::string> NamesInFolderAt(int dir) {
    std::vector<std::string> names;
    const int copy = ::fcntl(dir, F_DUPFD_CLOEXEC, 0);
    if (copy < 0)
        return names;
    std::unique_ptr<DIR, TDirClose> listing(::fdopendir(copy));
    if (!listing) {
        ::close(copy);
        return names;
    }
    // The copy shares its reading position with dir, which an earlier listing has moved.
    ::rewinddir(listing.get());
    while (const dirent* entry = ::readdir(listing.get()))
        if (IsPlainName(entry->d_name))
            names.emplace_back(entry->d_name);
    return names;
}

void RemoveTemporaryFilesAt(int dir) {
    for (const std::string& name : NamesInFolderAt(dir))
        if (name.starts_with(TemporaryPrefix))
            ::unlinkat(dir, name.c_str(), 0);
}

} // namespace tonalyx
