#include "CliOptions.h"

#include <QCommandLineParser>
#include <QStringList>

#include <charconv>

namespace {

const char *const UsageHint = "Try 'morvane-cli --help' for more information.";

TCliParse UsageError(const std::string &Message)
{
    TCliParse result;
    result.Kind = TCliParse::UsageError;
    result.Text = Message + "\n" + UsageHint;
    return result;
}

} // namespace

std::optional<uint64_t> ParseSeed(const std::string &Text)
{
    if (Text.empty())
        return std::nullopt;
    for (const char c : Text)
        if (c < '0' || c > '9')
            return std::nullopt;
    uint64_t value = 0;
    const auto [end, error] = std::from_chars(Text.data(), Text.data() + Text.size(), value, 10);
    if (error != std::errc() || end != Text.data() + Text.size())
        return std::nullopt; // too large for 64 bits
    return value;
}

std::optional<int> ParsePreviewScale(const std::string &Text)
{
    const std::optional<uint64_t> value = ParseSeed(Text); // the same plain digits
    if (!value || *value < 1 || *value > uint64_t(MaxPreviewScale))
        return std::nullopt;
    return int(*value);
}

TCliParse ParseCliArguments(const std::vector<std::string> &Arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Turns a painted BMP into the terrain map file map0.mul (6144 x 4096 cells).\n"
        "Warnings go to standard output; problems, progress and failures to standard error.\n"
        "Exit status: 0 written; 1 usage error; 2 the image cannot be loaded;\n"
        "3 the tile configuration cannot be read; 4 the map file cannot be written;\n"
        "5 any other failure (such as running out of memory); 6 the preview picture cannot be\n"
        "written (it is written after the map file, which then stays written). Ctrl-C while\n"
        "the map file is written leaves an earlier file of that name as it was.\n"
        "The preview shows each terrain in its colour, transitions as a blend of their two\n"
        "terrains, altitudes as hill shading with the light from the north-west, and every\n"
        "cell that gets the void tile in magenta (#FF00FF).");
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    const QCommandLineOption output({"o", "output"}, "The map file to write (default: map0.mul in the current folder).",
                                    "FILE");
    const QCommandLineOption tiles({"t", "tiles"}, "The tile configuration (default: Tiles.ini next to the executable).",
                                   "FILE");
    const QCommandLineOption seed({"s", "seed"},
                                  "A fixed seed, an unsigned 64-bit decimal number: the same image, tile "
                                  "configuration and seed give the same map file, byte for byte.",
                                  "N");
    const QCommandLineOption quiet({"q", "quiet"}, "No progress display.");
    const QCommandLineOption preview("preview",
                                     "Also writes a PNG picture of the map (6144 x 4096 pixels, one per cell) to "
                                     "FILE, after the map file.",
                                     "FILE");
    const QCommandLineOption previewScale("preview-scale",
                                          "One preview pixel for each N x N cells (N from 1 to 6144): the block's "
                                          "average colour, magenta if any of its cells gets the void tile.",
                                          "N");
    const QCommandLineOption report("report",
                                    "Prints on standard error, after the warnings, how many map cells get the "
                                    "void tile and why (pixels of no terrain, border cells, transitions without "
                                    "a tile by section and direction, empty tile lists, outside the picture).");
    const QCommandLineOption help({"h", "help"}, "Shows this help and stops.");
    const QCommandLineOption version("version", "Shows the version and stops.");
    parser.addOptions({output, tiles, seed, quiet, preview, previewScale, report, help, version});
    parser.addPositionalArgument("IMAGE", "The painted picture, a BMP whose red values name the terrains.");

    QStringList arguments;
    for (const std::string &argument : Arguments)
        arguments << QString::fromLocal8Bit(argument.c_str());
    if (!parser.parse(arguments))
        return UsageError(parser.errorText().toStdString());

    TCliParse result;
    if (parser.isSet(help)) {
        result.Kind = TCliParse::Help;
        result.Text = parser.helpText().toStdString();
        return result;
    }
    if (parser.isSet(version)) {
        result.Kind = TCliParse::Version;
        result.Text = "morvane-cli " MORVANE_VERSION "\n";
        return result;
    }

    const QStringList images = parser.positionalArguments();
    if (images.isEmpty())
        return UsageError("No image given.");
    if (images.size() > 1)
        return UsageError("Only one image can be given; got " + std::to_string(images.size()) + ".");
    TCliOptions &options = result.Options;
    options.ImagePath = images.front().toLocal8Bit().toStdString();
    if (options.ImagePath.empty())
        return UsageError("The image name is empty.");
    if (parser.isSet(output)) {
        options.MapPath = parser.value(output).toLocal8Bit().toStdString();
        if (options.MapPath.empty())
            return UsageError("The map file name is empty.");
    }
    if (parser.isSet(tiles)) {
        options.TilesPath = parser.value(tiles).toLocal8Bit().toStdString();
        if (options.TilesPath->empty())
            return UsageError("The tile configuration name is empty.");
    }
    if (parser.isSet(seed)) {
        const std::string text = parser.value(seed).toLocal8Bit().toStdString();
        options.Seed = ParseSeed(text);
        if (!options.Seed)
            return UsageError("The seed '" + text + "' is not an unsigned 64-bit decimal number (0 to 18446744073709551615).");
    }
    options.Quiet = parser.isSet(quiet);
    if (parser.isSet(preview)) {
        options.PreviewPath = parser.value(preview).toLocal8Bit().toStdString();
        if (options.PreviewPath->empty())
            return UsageError("The preview file name is empty.");
    }
    if (parser.isSet(previewScale)) {
        const std::string text = parser.value(previewScale).toLocal8Bit().toStdString();
        const std::optional<int> scale = ParsePreviewScale(text);
        if (!scale)
            return UsageError("The preview scale '" + text + "' is not a whole number from 1 to " +
                              std::to_string(MaxPreviewScale) + ".");
        if (!options.PreviewPath)
            return UsageError("--preview-scale needs --preview FILE.");
        options.PreviewScale = *scale;
    }
    options.Report = parser.isSet(report);
    result.Kind = TCliParse::Run;
    return result;
}
