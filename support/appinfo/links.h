// The web and e-mail links of the program: one table of eight link kinds and OpenLink, the
// one way to hand a web page, a mail link or a share page to the desktop. OpenLink and
// SetLinkOpener run on the main thread; the other functions on any.
#pragma once

#include <QString>

#include <array>
#include <functional>

namespace tonalyx {

// Link kinds; 1 and 3 have no target.
inline constexpr int LinkProductPage = 0;    // <server>Tonalyx/
inline constexpr int LinkSiblingProduct = 2; // <server>Lumivar/
inline constexpr int LinkCompanyHome = 4;    // <server>
inline constexpr int LinkSupportMail = 5;    // mailto:<support>?subject=Tonalyx_<argument>
inline constexpr int LinkDownload = 6;       // <server>Download/
inline constexpr int LinkLiteral = 7;        // the argument itself
inline constexpr int LinkKindCount = 8;

// The targets by kind; an empty entry opens nothing. Kind 5 gets the argument appended,
// kind 7 is the argument alone and its entry stays empty.
using TLinkTable = std::array<QString, LinkKindCount>;

// The table for a server root (ending in "/") and a support e-mail address.
TLinkTable MakeLinkTable(const QString& serverRoot, const QString& supportEmail);
// The program's table, made on first use from ServerRootUrl() and SupportEmailAddress().
const TLinkTable& ProgramLinkTable();

// Whether the desktop may be handed text: an absolute http:, https: or mailto: address
// (scheme in any case) without blanks or control characters. Kind 7 takes its argument
// from the network (share pages, the feed's news link and addresses), and the desktop
// opener would just as well open a local file or start a program.
bool IsOpenableLink(const QString& text);

// The text OpenLink hands the opener for kind and argument; empty when it opens nothing
// (no such kind, an empty entry or argument, or text IsOpenableLink refuses).
QString LinkTarget(const TLinkTable& table, int kind, const QString& argument);

// Receives the target text exactly as built; the default converts it for
// QDesktopServices::openUrl in tolerant mode, so that no round trip re-encodes it first.
using TLinkOpener = std::function<void(const QString& target)>;
// Replaces the opener (tests); an empty one restores the desktop's.
void SetLinkOpener(TLinkOpener opener);

// Opens the link of kind (0..7) with argument through the opener. Failures are silent.
void OpenLink(int kind, const QString& argument = {});

} // namespace tonalyx
