// Where the maker's web server lives and how to write to the maker: settings of the build,
// with an environment override of the server for staging servers and local test servers.
#pragma once

#include <QString>

namespace tonalyx {

// The root of every address on the maker's server (the check, the upload, the pictures,
// the feed and the web links), always ending in "/". The environment variable
// TONALYX_SERVER_URL wins over the build's TONALYX_SERVER_URL when it is set and not
// blank. Read on every call; any thread (the environment is not changed while workers run).
QString ServerRootUrl();

// root with blanks trimmed and a "/" appended unless it already ends in one; empty stays
// empty.
QString NormalisedServerRoot(const QString& root);

// The support e-mail address the about box links to (the build's TONALYX_SUPPORT_EMAIL).
QString SupportEmailAddress();

} // namespace tonalyx
