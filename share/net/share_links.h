// Picture names and the addresses built from them: the public address of an uploaded
// picture, the share and follow templates and the network number of a control. No state
// of its own; every function runs on any thread.
#pragma once

#include "app_inform.h"

#include <QString>

#include <array>

namespace tonalyx {

// Network numbers of the share and follow controls; 0 is the Get Link tag.
inline constexpr int SocNetLink = 0;
inline constexpr int SocNetFacebook = 1;
inline constexpr int SocNetGooglePlus = 2;
inline constexpr int SocNetTwitter = 3;

// Index group: 0 share (tag and share pages), 1 follow (the maker's own pages).
inline constexpr int UrlGroupShare = 0;
inline constexpr int UrlGroupFollow = 1;
inline constexpr QLatin1StringView UrlPlaceholder{"[url]"};

// Eight templates, indexed by group * 4 + network; index 4 is empty.
using TURLTemplates = std::array<QString, 8>;
const TURLTemplates& URLTemplates();

// length characters from "0"-"8" and "a"-"y" whose character codes add up to a multiple
// of divisor (which must be at least 1). Draws from one generator seeded once from the
// system's random source, so names made in the same millisecond differ.
QString RandomName(int length, unsigned divisor);
// A new picture name: "0001t", 20 random characters, ".png"; always well-formed.
QString MakeUploadFileName();
// root (ending in "/") + the first four characters of name + "/" + name.
QString MakeImageURL(const QString& name, const QString& serverRoot);

// The template at group * 4 + network with every "[url]" replaced by url as written
// (no percent-encoding); empty outside the table.
QString FillURLTemplate(int group, int network, const QString& url);
// Group 1: the field of urls for the network when it is not empty; otherwise (and for
// any other group) the template at group * 4 + network, unfilled.
QString GetSocNetURL(int group, int network, const TAppInfoURL& urls);

// The network of a control by its object name: ...FB 1, ...GP 2, ...TW 3, else 0.
int SocNetIndex(const QString& controlName);

} // namespace tonalyx
