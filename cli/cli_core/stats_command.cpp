#include "stats_command.h"

#include "counts_command.h"
#include "image_format.h"
#include "statistics.h"

#include <charconv>
#include <filesystem>
#include <optional>
#include <string>

namespace tonalyx {

namespace {

// The help around the formats' names, which are the table's (image_format.h).
const char* const HelpHead =
    "Usage: tonalyx-cli stats [--json] [--region X,Y,W,H] [--develop] IMAGE...\n"
    "\n"
    "Decodes each ";
const char* const HelpTail =
    " image and prints, for each of the ten histogram channels, the\n"
    "counted pixels, mean, median, standard deviation and the shares of pixels in the first\n"
    "and the last bin of the axis (at 0 and 255 for R, G and B: the clipping).\n"
    "Values are in the channel's units: R, G, B, RGB 0-255, H degrees, S and V percent,\n"
    "L 0-100, A and B_ -128 to +127. The hue's mean and spread are circular and it has no\n"
    "median. H, S, V and L, A, B_ of a large image describe the sample that was counted.\n"
    "\n"
    "  --json              one JSON object per image on its own line\n"
    "  --region X,Y,W,H    only the W x H pixels whose top left pixel is at X,Y of the\n"
    "                      stored picture (before any Exif turn), as a picture of its own\n"
    "  --develop           of a camera raw file, the development from the raw data instead\n"
    "                      of the camera's embedded preview\n"
    "  -h, --help          show this help\n"
    "\n"
    "An image that cannot be read is reported on standard error and the others are still\n"
    "processed; the exit status is then 1.\n";

std::string HelpText() {
    return HelpHead + ImageFormatNames(" or ") + HelpTail;
}

// The shortest text that reads back as the same double.
void AppendNumber(std::string& out, const std::optional<double>& v) {
    if (!v) {
        out += "null";
        return;
    }
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, *v == 0 ? 0.0 : *v); // no "-0"
    out.append(buf, r.ptr);
}

std::string Fixed(const std::optional<double>& v, int decimals, const char* unit = "") {
    if (!v)
        return "-";
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.*f%s", decimals, *v == 0 ? 0.0 : *v, unit);
    return buf;
}

} // namespace

std::string StatsJson(const std::string& file, int width, int height, const TAllChanel& channels,
                      int orientation, const TRegion* region) {
    std::string out = "{\"file\":";
    AppendJsonString(out, file);
    out += ",\"width\":" + std::to_string(width) + ",\"height\":" + std::to_string(height);
    out += ",\"orientation\":" + std::to_string(orientation);
    if (region)
        AppendJsonRegion(out, *region);
    out += ",\"channels\":{";
    for (TChannel c : AllChannels) {
        const TChannelStats s = ChannelStats(c, channels[c]);
        if (c != AllChannels.front())
            out += ',';
        out += '"';
        out += ChannelName(c);
        out += "\":{\"pixels\":" + std::to_string(s.Pixels);
        const std::pair<const char*, const std::optional<double>*> figures[] = {
            {"mean", &s.Mean},
            {"median", &s.Median},
            {"sd", &s.Sd},
            {"low", &s.Low},
            {"high", &s.High}};
        for (const auto& [name, value] : figures) {
            out += ",\"";
            out += name;
            out += "\":";
            AppendNumber(out, *value);
        }
        out += '}';
    }
    out += "}}";
    return out;
}

std::string StatsTable(const std::string& file, int width, int height, const TAllChanel& channels,
                       const TRegion* region) {
    std::string out = file + "  " + std::to_string(width) + " x " + std::to_string(height);
    if (region)
        out += ", region " + RegionText(*region);
    out += '\n';
    char line[160];
    std::snprintf(line, sizeof line, "%-8s %10s %10s %10s %10s %8s %8s\n", "channel", "pixels",
                  "mean", "median", "sd", "low %", "high %");
    out += line;
    for (TChannel c : AllChannels) {
        const TChannelStats s = ChannelStats(c, channels[c]);
        const TChannelAxis axis = ChannelAxis(c);
        const auto share = [](const std::optional<double>& v) {
            return v ? std::optional<double>(*v * 100) : std::nullopt;
        };
        std::snprintf(line, sizeof line, "%-8s %10llu %10s %10s %10s %8s %8s\n", ChannelName(c),
                      static_cast<unsigned long long>(s.Pixels), Fixed(s.Mean, 2).c_str(),
                      Fixed(s.Median, axis.Decimals).c_str(), Fixed(s.Sd, 2).c_str(),
                      Fixed(share(s.Low), 2).c_str(), Fixed(share(s.High), 2).c_str());
        out += line;
    }
    return out;
}

int RunStats(const TStatsOptions& options, std::FILE* out, std::FILE* err) {
    TCurrentHist hist; // smoothing off: the display copy, unused here, costs least
    bool first = true;
    const TRegion* region = options.Region ? &*options.Region : nullptr;
    const int status = ForEachCountedImage(
        options.Images, options.Region, options.Developed, hist, err,
        [&](const std::string& file, const TImageFacts& facts) {
            std::string text;
            if (options.Json) {
                text = StatsJson(file, facts.Width, facts.Height, hist.Raw(), facts.Orientation,
                                 region) +
                       "\n";
            } else {
                text = (first ? "" : "\n") +
                       StatsTable(file, facts.Width, facts.Height, hist.Raw(), region);
            }
            first = false;
            std::fwrite(text.data(), 1, text.size(), out);
        },
        options.MemoryLeft);
    std::fflush(out);
    return status;
}

bool ParseStatsArguments(const std::vector<std::string>& args, TStatsOptions& options,
                         int& exitStatus, std::FILE* out, std::FILE* err) {
    bool optionsEnded = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!optionsEnded && a == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && a == "--develop") {
            options.Developed = true;
        } else if (!optionsEnded && a == "--json") {
            options.Json = true;
        } else if (!optionsEnded && IsRegionOption(a)) {
            std::string why;
            options.Region = RegionOption(args, i, why);
            if (!options.Region) {
                std::fprintf(err, "tonalyx-cli: %s\n\n%s", why.c_str(), HelpText().c_str());
                exitStatus = 2;
                return false;
            }
        } else if (!optionsEnded && (a == "--help" || a == "-h")) {
            std::fputs(HelpText().c_str(), out);
            exitStatus = 0;
            return false;
        } else if (!optionsEnded && a.starts_with("-") && a != "-") {
            std::fprintf(err, "tonalyx-cli: unknown option '%s'\n\n%s", a.c_str(),
                         HelpText().c_str());
            exitStatus = 2;
            return false;
        } else {
            options.Images.push_back(a);
        }
    }
    if (options.Images.empty()) {
        std::fprintf(err, "tonalyx-cli: no image given\n\n%s", HelpText().c_str());
        exitStatus = 2;
        return false;
    }
    return true;
}

} // namespace tonalyx
