#include "raw_command.h"

#include "byte_source.h"
#include "counts_command.h"
#include "input_file.h"
#include "sensor_count.h"

#include <cstdio>
#include <filesystem>

namespace tonalyx {

namespace {

const char* const RawHelp =
    "Usage: tonalyx-cli raw FILE...\n"
    "\n"
    "Reads each camera raw file and prints one JSON object per file on its own line: the\n"
    "camera's make and model, the colour filter's pattern by rows (\"RGGB\", 36 letters for\n"
    "a 6x6 pattern, empty for a linear raw), the visible area's width and height, the black\n"
    "level of each channel and the white level, and per channel of the filter (R, G, B and\n"
    "G2, the second green) its counts of every photosite of the visible area by raw value,\n"
    "as stored, before black subtraction (from 0 to the larger of the white level and the\n"
    "largest value present), the photosites clipped (at or above white) and at or below\n"
    "black, and the headroom in stops: log2((white - black) / (p - black)), p the smallest\n"
    "value with at most 0.1 % of the channel's photosites above it (null when p is at or\n"
    "below black).\n"
    "\n"
    "  -h, --help           show this help\n"
    "\n"
    "A file that cannot be read is reported on standard error and the others are still\n"
    "processed; the exit status is then 1.\n";

} // namespace

std::string RawJson(const std::string& file, const TSensorHistogram& hist) {
    std::string out;
    out += "{\"file\":";
    AppendJsonString(out, file);
    out += ",\"make\":";
    AppendJsonString(out, hist.Make);
    out += ",\"model\":";
    AppendJsonString(out, hist.Model);
    out += ",\"pattern\":";
    AppendJsonString(out, hist.Pattern);
    out += ",\"width\":" + std::to_string(hist.Width);
    out += ",\"height\":" + std::to_string(hist.Height);
    out += ",\"black\":[";
    for (std::size_t i = 0; i < hist.Channels.size(); ++i) {
        if (i)
            out += ',';
        out += std::to_string(hist.Channels[i].Black);
    }
    out += "],\"white\":" + std::to_string(hist.White);
    out += ",\"channels\":{";
    for (std::size_t i = 0; i < hist.Channels.size(); ++i) {
        const TSensorChannel& c = hist.Channels[i];
        if (i)
            out += ',';
        AppendJsonString(out, c.Name);
        out += ":{\"counts\":[";
        for (std::size_t v = 0; v < c.Counts.size(); ++v) {
            if (v)
                out += ',';
            out += std::to_string(c.Counts[v]);
        }
        out += "],\"clipped\":" + std::to_string(c.Clipped);
        out += ",\"at_black\":" + std::to_string(c.AtBlack);
        out += ",\"headroom_ev\":";
        if (c.HeadroomEv) {
            char number[32];
            std::snprintf(number, sizeof number, "%.6g", *c.HeadroomEv);
            out += number;
        } else {
            out += "null";
        }
        out += '}';
    }
    out += "}}";
    return out;
}

int RunRaw(const TRawOptions& options, std::FILE* out, std::FILE* err) {
    int status = 0;
    for (const std::string& file : options.Files) {
        TInputFile input{std::filesystem::path(file)};
        TOutcome<TSensorHistogram> hist = input.Error();
        if (input.IsOpen()) {
            TFileBytes bytes(input);
            hist = CountSensor(bytes, {}, options.MemoryLeft);
        }
        if (!hist.Ok()) {
            std::fprintf(err, "tonalyx-cli: %s: %s\n", file.c_str(), hist.Reason().c_str());
            status = 1;
            continue;
        }
        const std::string line = RawJson(file, *hist);
        std::fwrite(line.data(), 1, line.size(), out);
        std::fputc('\n', out);
    }
    std::fflush(out);
    return status;
}

bool ParseRawArguments(const std::vector<std::string>& args, TRawOptions& options, int& exitStatus,
                       std::FILE* out, std::FILE* err) {
    bool optionsEnded = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!optionsEnded && a == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && (a == "--help" || a == "-h")) {
            std::fputs(RawHelp, out);
            exitStatus = 0;
            return false;
        } else if (!optionsEnded && a.starts_with("-") && a != "-") {
            std::fprintf(err, "tonalyx-cli: unknown option '%s'\n\n%s", a.c_str(), RawHelp);
            exitStatus = 2;
            return false;
        } else {
            options.Files.push_back(a);
        }
    }
    if (options.Files.empty()) {
        std::fprintf(err, "tonalyx-cli: no file given\n\n%s", RawHelp);
        exitStatus = 2;
        return false;
    }
    return true;
}

} // namespace tonalyx
