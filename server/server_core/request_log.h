// One line per request on the log stream: time (UTC), client, method, path, status, bytes
// sent, and what the handler had to say about it.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace tonalyx {

// The request path as it goes into the log: control characters, non-ASCII bytes, blanks and
// backslashes written as \xNN, so that no request can forge or break a line.
std::string LogSafe(std::string_view text);

std::string RequestLogLine(std::string_view client, std::string_view method, std::string_view path,
                           int status, std::size_t bytes, std::string_view note);

// Writes line and a line break in one piece, so that lines of threads do not mix.
void WriteLogLine(std::FILE* log, const std::string& line);

} // namespace tonalyx
