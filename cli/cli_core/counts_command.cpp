#include "counts_command.h"

#include "image_format.h"
#include "statistics.h"
#include "streamed_count.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

namespace tonalyx {

namespace {

const char* const SmoothingNames[] = {"off", "low", "medium", "high"};

// The help around the formats' names, which are the table's (image_format.h).
const char* const HelpHead =
    "Usage: tonalyx-cli counts [--display] [--smoothing off|low|medium|high]\n"
    "                          [--region X,Y,W,H] [--develop] IMAGE...\n"
    "       tonalyx-cli stats [--json] [--region X,Y,W,H] [--develop] IMAGE...\n"
    "                          (see tonalyx-cli stats --help)\n"
    "       tonalyx-cli raw FILE...  (a camera raw file's sensor counts; see\n"
    "                          tonalyx-cli raw --help)\n"
    "\n"
    "Decodes each ";
const char* const HelpTail =
    " image (chosen by its extension) and prints one JSON object\n"
    "per image on its own line with its stored width and height, its Exif orientation\n"
    "(1 to 8), the bits of its samples and whether they include alpha, the number of\n"
    "pixels counted (a pixel whose alpha is 0 is not) and the bins of the ten channels:\n"
    "RGB, R, G, B (256 bins each), H (1437), S, V, L (601 each), A and B_ (511 each).\n"
    "\n"
    "  --display            print the display copy (smoothed, tall isolated peaks cut)\n"
    "                       instead of the raw counts\n"
    "  --smoothing LEVEL    smoothing level of the display copy (default medium)\n"
    "  --region X,Y,W,H     count only the W x H pixels whose top left pixel is at X,Y\n"
    "                       of the stored picture (before any Exif turn), as a picture\n"
    "                       of its own; the JSON then says the region\n"
    "  --develop            of a camera raw file, count its development from the raw\n"
    "                       data instead of the camera's embedded preview (which is what\n"
    "                       the window shows, unless the preview is small)\n"
    "  -h, --help           show this help\n"
    "  --version            print the version\n"
    "\n"
    "An image that cannot be read is reported on standard error and the others are still\n"
    "processed; the exit status is then 1.\n";

std::string HelpText() {
    return HelpHead + ImageFormatNames(" or ") + HelpTail;
}

// Length of the well-formed UTF-8 sequence at text[i], or 0 when it is not one (a stray
// byte, an overlong form, a surrogate or a code point past U+10FFFF).
std::size_t Utf8Length(const std::string& text, std::size_t i) {
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned lead = at(i);
    const std::size_t n = lead < 0x80   ? 1
                          : lead < 0xC2 ? 0
                          : lead < 0xE0 ? 2
                          : lead < 0xF0 ? 3
                          : lead < 0xF5 ? 4
                                        : 0;
    if (n == 0 || i + n > text.size())
        return 0;
    for (std::size_t k = 1; k < n; ++k)
        if ((at(i + k) & 0xC0) != 0x80)
            return 0;
    const unsigned second = n > 1 ? at(i + 1) : 0x80;
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
        (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F))
        return 0;
    return n;
}

} // namespace

void AppendJsonRegion(std::string& out, const TRegion& region) {
    out += ",\"region\":{\"x\":" + std::to_string(region.X) + ",\"y\":" + std::to_string(region.Y) +
           ",\"width\":" + std::to_string(region.Width) +
           ",\"height\":" + std::to_string(region.Height) + '}';
}

bool IsRegionOption(const std::string& arg) {
    return arg == "--region" || arg.starts_with("--region=");
}

std::optional<TRegion> RegionOption(const std::vector<std::string>& args, std::size_t& i,
                                    std::string& why) {
    const std::string& arg = args[i];
    const auto eq = arg.find('=');
    if (eq == std::string::npos && i + 1 >= args.size()) {
        why = "--region needs X,Y,WIDTH,HEIGHT";
        return std::nullopt;
    }
    const std::string text = eq != std::string::npos ? arg.substr(eq + 1) : args[++i];
    const std::optional<TRegion> region = ParseRegion(text);
    if (!region)
        why = "invalid region '" + text +
              "': --region takes X,Y,WIDTH,HEIGHT in pixels, e.g. 0,0,640,480 (a width and "
              "height of at least 1)";
    return region;
}

void AppendJsonString(std::string& out, const std::string& text) {
    out += '"';
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        const auto u = static_cast<unsigned char>(c);
        const std::size_t n = Utf8Length(text, i);
        if (n == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
            continue;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", u);
            out += buf;
        } else {
            out.append(text, i, n);
        }
        i += n;
    }
    out += '"';
}

std::string CountsJson(const std::string& file, const TImageFacts& facts, TCountSet set,
                       int smoothLevel, const TAllChanel& channels, const TRegion* region) {
    std::string out;
    out.reserve(40000);
    out += "{\"file\":";
    AppendJsonString(out, file);
    out += ",\"width\":" + std::to_string(facts.Width);
    out += ",\"height\":" + std::to_string(facts.Height);
    out += ",\"orientation\":" + std::to_string(facts.Orientation);
    if (region)
        AppendJsonRegion(out, *region);
    out += ",\"bits\":" + std::to_string(facts.Bits);
    out += facts.Alpha ? ",\"alpha\":true" : ",\"alpha\":false";
    out += ",\"pixels\":" + std::to_string(facts.Pixels);
    out += set == TCountSet::Origin ? ",\"set\":\"origin\"" : ",\"set\":\"display\"";
    out += ",\"smoothing\":\"";
    out += SmoothingNames[smoothLevel];
    out += "\",\"channels\":{";
    bool firstChannel = true;
    for (TChannel c : AllChannels) {
        if (!firstChannel)
            out += ',';
        firstChannel = false;
        out += '"';
        out += ChannelName(c);
        out += "\":[";
        const TChanData& ch = channels[c];
        for (int i = ch.Others.IndLow; i <= ch.Others.IndHigh; ++i) {
            if (i != ch.Others.IndLow)
                out += ',';
            out += std::to_string(ch.Hist[i]);
        }
        out += ']';
    }
    out += "}}";
    return out;
}

int ForEachCountedImage(const std::vector<std::string>& images,
                        const std::optional<TRegion>& region, bool developed, TCurrentHist& hist,
                        std::FILE* err,
                        const std::function<void(const std::string&, const TImageFacts&)>& shown,
                        const TMemoryLeft& memoryLeft) {
    const TAdmission admit = AdmitInMemoryLeft(memoryLeft);
    int status = 0;
    for (const std::string& file : images) {
        TPictureMeta meta;
        TPictureSize picture;
        const std::filesystem::path path(file);
        const TOutcome<TStreamedCounts> counted =
            region ? StreamAndCount(path, *region, &meta, &picture, admit, developed)
                   : StreamAndCount(path, &meta, admit, developed);
        if (!counted.Ok()) {
            std::fprintf(err, "tonalyx-cli: %s: %s\n", file.c_str(), counted.Reason().c_str());
            status = 1;
            continue;
        }
        if (!region)
            picture = {counted->Width(), counted->Height()};
        hist.Count(*counted);
        shown(file,
              {picture.Width, picture.Height, meta.Orientation, meta.StoredBits, meta.StoredAlpha,
               static_cast<std::int64_t>(CountedPixels(hist.Raw()[TChannel::R]))});
    }
    return status;
}

int RunCounts(const TCountsOptions& options, std::FILE* out, std::FILE* err) {
    // The raw counts need no smoothing: the display copy is smoothed only when it is printed.
    TCurrentHist hist(options.Set == TCountSet::Display ? options.SmoothLevel : SmoothLevelOff);
    const int status = ForEachCountedImage(
        options.Images, options.Region, options.Developed, hist, err,
        [&](const std::string& file, const TImageFacts& facts) {
            const TAllChanel& shown =
                options.Set == TCountSet::Display ? hist.Display() : hist.Raw();
            const std::string line = CountsJson(file, facts, options.Set, options.SmoothLevel,
                                                shown, options.Region ? &*options.Region : nullptr);
            std::fwrite(line.data(), 1, line.size(), out);
            std::fputc('\n', out);
        },
        options.MemoryLeft);
    std::fflush(out);
    return status;
}

bool ParseCountsArguments(const std::vector<std::string>& args, TCountsOptions& options,
                          int& exitStatus, std::FILE* out, std::FILE* err) {
    const auto usageError = [&](const std::string& why) {
        std::fprintf(err, "tonalyx-cli: %s\n\n%s", why.c_str(), HelpText().c_str());
        exitStatus = 2;
        return false;
    };
    const auto given = [&args](const char* option) {
        return std::find(args.begin(), args.end(), option) != args.end();
    };
    if (given("--help") || given("-h")) {
        std::fputs(HelpText().c_str(), out);
        exitStatus = 0;
        return false;
    }
    if (given("--version")) {
        std::fputs("tonalyx-cli " TONALYX_VERSION "\n", out);
        exitStatus = 0;
        return false;
    }
    if (args.empty() || args.front() != "counts")
        return usageError(args.empty() ? "no command given"
                                       : "unknown command '" + args.front() + "'");
    bool optionsEnded = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!optionsEnded && a == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && a == "--develop") {
            options.Developed = true;
        } else if (!optionsEnded && a == "--display") {
            options.Set = TCountSet::Display;
        } else if (!optionsEnded && (a == "--smoothing" || a.starts_with("--smoothing="))) {
            std::string level;
            if (a.find('=') != std::string::npos)
                level = a.substr(a.find('=') + 1);
            else if (i + 1 < args.size())
                level = args[++i];
            else
                return usageError("--smoothing needs a level");
            int found = -1;
            for (int k = 0; k < 4; ++k)
                if (level == SmoothingNames[k])
                    found = k;
            if (found < 0)
                return usageError("unknown smoothing level '" + level + "'");
            options.SmoothLevel = found;
        } else if (!optionsEnded && IsRegionOption(a)) {
            std::string why;
            options.Region = RegionOption(args, i, why);
            if (!options.Region)
                return usageError(why);
        } else if (!optionsEnded && a.starts_with("--")) {
            return usageError("unknown option '" + a + "'");
        } else {
            options.Images.push_back(a);
        }
    }
    if (options.Images.empty())
        return usageError("no image given");
    return true;
}

} // namespace tonalyx
