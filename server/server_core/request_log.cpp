#include "request_log.h"

#include <ctime>

namespace tonalyx {

std::string LogSafe(std::string_view text) {
    std::string safe;
    safe.reserve(text.size());
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7f || c == '\\') {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            safe += escaped;
        } else {
            safe += c;
        }
    }
    return safe;
}

std::string RequestLogLine(std::string_view client, std::string_view method, std::string_view path,
                           int status, std::size_t bytes, std::string_view note) {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    ::gmtime_r(&now, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &utc);
    std::string line = stamp;
    line += ' ';
    line += LogSafe(client);
    line += ' ';
    line += LogSafe(method);
    line += ' ';
    line += LogSafe(path);
    line += ' ' + std::to_string(status) + ' ' + std::to_string(bytes);
    if (!note.empty()) {
        line += ' ';
        line += note;
    }
    return line;
}

void WriteLogLine(std::FILE* log, const std::string& line) {
    std::string whole = line + '\n';
    std::fwrite(whole.data(), 1, whole.size(), log);
    std::fflush(log);
}

} // namespace tonalyx
