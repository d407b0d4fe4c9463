#include "memory_left.h"

#include "open_reasons.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <iterator>
#include <string>

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace tonalyx {

std::uint64_t PhysicalMemoryBytes() {
#if defined(_WIN32)
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof(status);
    if (!GlobalMemoryStatusEx(&status))
        return 0;
    return status.ullTotalPhys;
#else
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0)
        return 0;
    return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
#endif
}

std::optional<std::uint64_t> MemAvailableIn(std::string_view meminfo) {
    constexpr std::string_view Key = "MemAvailable:";
    std::size_t at = 0;
    while (at < meminfo.size()) {
        std::size_t end = meminfo.find('\n', at);
        if (end == std::string_view::npos)
            end = meminfo.size();
        std::string_view line = meminfo.substr(at, end - at);
        at = end + 1;
        if (line.substr(0, Key.size()) != Key)
            continue;
        line.remove_prefix(Key.size());
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        std::uint64_t value = 0;
        const auto [rest, error] = std::from_chars(line.data(), line.data() + line.size(), value);
        if (error != std::errc() || rest == line.data())
            return std::nullopt;
        // The kernel gives kibibytes ("kB"); a line without a unit would be bytes.
        const std::string_view unit = line.substr(static_cast<std::size_t>(rest - line.data()));
        const bool kibi = unit.find("kB") != std::string_view::npos;
        constexpr std::uint64_t Kibi = 1024;
        if (kibi && value > UINT64_MAX / Kibi)
            return std::nullopt;
        return kibi ? value * Kibi : value;
    }
    return std::nullopt;
}

std::uint64_t MemoryLeftBytes() {
#if defined(__linux__)
    std::ifstream file("/proc/meminfo");
    const std::string text((std::istreambuf_iterator<char>(file)),
                           std::istreambuf_iterator<char>());
    if (const std::optional<std::uint64_t> left = MemAvailableIn(text))
        return *left;
#elif defined(_WIN32)
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof(status);
    if (GlobalMemoryStatusEx(&status))
        return status.ullAvailPhys;
#endif
    // No better figure: the installed memory, so only a picture larger than the machine's
    // memory is refused for it (the window's cache bound, a quarter of it, still applies).
    return PhysicalMemoryBytes();
}

std::optional<TFailure> WhyOverMemoryLeft(int width, int height, std::int64_t bytes,
                                          std::uint64_t memoryLeft) {
    if (static_cast<std::uint64_t>(std::max<std::int64_t>(bytes, 0)) > memoryLeft)
        return PictureOverMemoryLeft(width, height, bytes, memoryLeft);
    return std::nullopt;
}

} // namespace tonalyx
