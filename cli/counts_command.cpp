#include "cli/counts_command.h"

#include "image/image_loader.h"

#include <memory>

namespace tonalyx {

namespace {

const char* const SmoothingNames[] = {"off", "low", "medium", "high"};

const char* const HelpText =
    "Usage: tonalyx-cli counts [--display] [--smoothing off|low|medium|high] IMAGE...\n"
    "\n"
    "Decodes each JPEG or BMP image (chosen by its extension) and prints one JSON object\n"
    "per image on its own line with the bins of the ten histogram channels:\n"
    "RGB, R, G, B (256 bins each), H (1437), S, V, L (601 each), A and B_ (511 each).\n"
    "\n"
    "  --display            print the display copy (smoothed, tall isolated peaks cut)\n"
    "                       instead of the raw counts\n"
    "  --smoothing LEVEL    smoothing level of the display copy (default medium)\n"
    "  -h, --help           show this help\n"
    "\n"
    "An image that cannot be read is reported on standard error and the others are still\n"
    "processed; the exit status is then 1.\n";

void AppendJsonString(std::string& out, const QString& text) {
    out += '"';
    for (const char c : text.toStdString()) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", u);
            out += buf;
        } else {
            out += c;
        }
    }
    out += '"';
}

} // namespace

std::string CountsJson(const QString& file, int width, int height, TCountSet set, int smoothLevel,
                       const TAllChanel& channels) {
    std::string out;
    out.reserve(40000);
    out += "{\"file\":";
    AppendJsonString(out, file);
    out += ",\"width\":" + std::to_string(width);
    out += ",\"height\":" + std::to_string(height);
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

int RunCounts(const TCountsOptions& options, std::FILE* out, std::FILE* err) {
    auto hist = std::make_unique<THist>(); // 360 KB of counters: not for the stack
    hist->SmoothRepeatCnt = SmoothLevels[options.SmoothLevel].RepCnt;
    int status = 0;
    for (const QString& file : options.Images) {
        const TLoadedImage loaded = DecodeAndCount(file);
        if (!loaded.Decoded.Ok()) {
            std::fprintf(err, "tonalyx-cli: %s: %s\n", file.toLocal8Bit().constData(),
                         loaded.Decoded.Error.toLocal8Bit().constData());
            status = 1;
            continue;
        }
        const QImage& image = loaded.Decoded.Image;
        hist->CalcCounted(Origin, RasterOf(image), loaded.Primaries);
        TImageType shown = Origin;
        if (options.Set == TCountSet::Display) {
            hist->Calc4Show(Origin, Origin4Show);
            shown = Origin4Show;
        }
        const std::string line = CountsJson(file, image.width(), image.height(), options.Set,
                                            options.SmoothLevel, hist->Data[shown]);
        std::fwrite(line.data(), 1, line.size(), out);
        std::fputc('\n', out);
    }
    std::fflush(out);
    return status;
}

bool ParseCountsArguments(const QStringList& args, TCountsOptions& options, int& exitStatus,
                          std::FILE* out, std::FILE* err) {
    const auto usageError = [&](const QString& why) {
        std::fprintf(err, "tonalyx-cli: %s\n\n%s", why.toLocal8Bit().constData(), HelpText);
        exitStatus = 2;
        return false;
    };
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        std::fputs(HelpText, out);
        exitStatus = 0;
        return false;
    }
    if (args.isEmpty() || args.first() != QStringLiteral("counts"))
        return usageError(args.isEmpty()
                              ? QStringLiteral("no command given")
                              : QStringLiteral("unknown command '%1'").arg(args.first()));
    bool optionsEnded = false;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (!optionsEnded && a == QStringLiteral("--")) {
            optionsEnded = true;
        } else if (!optionsEnded && a == QStringLiteral("--display")) {
            options.Set = TCountSet::Display;
        } else if (!optionsEnded && (a == QStringLiteral("--smoothing") ||
                                     a.startsWith(QStringLiteral("--smoothing=")))) {
            QString level;
            if (a.contains('='))
                level = a.section('=', 1);
            else if (i + 1 < args.size())
                level = args[++i];
            else
                return usageError(QStringLiteral("--smoothing needs a level"));
            int found = -1;
            for (int k = 0; k < 4; ++k)
                if (level == QLatin1String(SmoothingNames[k]))
                    found = k;
            if (found < 0)
                return usageError(QStringLiteral("unknown smoothing level '%1'").arg(level));
            options.SmoothLevel = found;
        } else if (!optionsEnded && a.startsWith(QStringLiteral("--"))) {
            return usageError(QStringLiteral("unknown option '%1'").arg(a));
        } else {
            options.Images << a;
        }
    }
    if (options.Images.isEmpty())
        return usageError(QStringLiteral("no image given"));
    return true;
}

} // namespace tonalyx
