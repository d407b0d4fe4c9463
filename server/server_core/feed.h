// The news and version feed the desktop program reads from "/Tonalyx-Info/". The maker edits
// the file by hand; the server serves it byte for byte and only warns about what would make
// the program ignore it.
#pragma once

#include "protocol.h"

#include <string>
#include <string_view>
#include <vector>

namespace tonalyx {

// Why the program would not take the feed: over FeedMaxBytes, not well-formed XML.
// Empty when it would. The document is parsed without network access and without
// substituting entities.
std::vector<std::string> FeedProblems(std::string_view feed);

} // namespace tonalyx
