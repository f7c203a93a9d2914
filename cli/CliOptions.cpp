#include "CliOptions.h"

#include "MapPreview.h"

#include <QCommandLineParser>
#include <QStringList>

#include <algorithm>
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

// An empty name, or "-", which other tools take for standard input or
// output: files here are read whole and written atomically, so neither stream
// can stand in for them.
std::optional<std::string> FileNameProblem(const std::string &Name, const std::string &What, bool Written)
{
    if (Name.empty())
        return "The " + What + " name is empty.";
    if (Name == "-")
        return std::string("The ") + What + (Written ? " cannot be written to standard output" : " cannot be read from standard input") +
               " ('-'); name a file (./- for a file named -).";
    return std::nullopt;
}

} // namespace

TMapOutput MapOutputOf(const TCliOptions &Options)
{
    TMapOutput output = TMapOutput::ForFile(Options.MapPath, Options.MapSize, Options.Statics);
    output.Format = Options.Format;
    if (!MapNumberOfName(Options.MapPath) && Options.Facet)
        output.MapNumber = *Options.Facet;
    return output;
}

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

std::optional<int> ParsePreviewScale(const std::string &Text, int MapWidth)
{
    const std::optional<uint64_t> value = ParseSeed(Text); // the same plain digits
    if (!value || *value < 1 || *value > uint64_t(MapWidth))
        return std::nullopt;
    return int(*value);
}

TCliParse ParseCliArguments(const std::vector<std::string> &Arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Turns a painted BMP into the terrain map file map0.mul (6144 x 4096 cells), or a map of\n"
        "another size (--size, --facet) for current clients, also as map0LegacyMUL.uop.\n"
        "Warnings go to standard output; problems, progress and failures to standard error.\n"
        "Exit status: 0 written; 1 usage error; 2 the image (with --info: the map file) cannot be read;\n"
        "3 the tile configuration cannot be read; 4 the map file cannot be written;\n"
        "5 any other failure (such as running out of memory); 6 the preview picture cannot be\n"
        "written (it is written after the map file, which then stays written). Ctrl-C stops\n"
        "the run after the stage or block-column under way and leaves an earlier file of that\n"
        "name as it was; a second Ctrl-C ends it at once, the earlier file still whole.\n"
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
                                     "Also writes a PNG picture of the map to FILE, after the map file: one pixel "
                                     "per cell, as large as the map (6144 x 4096 pixels by default, 7168 x 4096 "
                                     "with --facet 0). At most 16384 x 16384 pixels: a larger map needs "
                                     "--preview-scale.",
                                     "FILE");
    const QCommandLineOption previewScale("preview-scale",
                                          "One preview pixel for each N x N cells (N from 1 to the map's width, "
                                          "6144 by default): the block's average colour, magenta if any of its "
                                          "cells gets the void tile.",
                                          "N");
    const QCommandLineOption report("report",
                                    "Prints on standard error, after the warnings, how many map cells get the "
                                    "void tile and why (pixels of no terrain, border cells, transitions without "
                                    "a tile by section and direction, empty tile lists, outside the picture).");
    const QCommandLineOption size("size",
                                  "The map's size in cells, WxH, both multiples of 8 up to 65528 (default "
                                  "6144x4096; a picture larger than the map is cut, a smaller one leaves void "
                                  "tiles beyond it).",
                                  "WxH");
    const QCommandLineOption facet("facet",
                                   "Makes map N of a current client: its size (0 and 1: 7168x4096, 2: 2304x1600, "
                                   "3: 2560x2048, 4: 1448x1448, 5: 1280x4096) and its number in the file names "
                                   "(default output mapN.mul, or mapNLegacyMUL.uop with --format uop).",
                                   "N");
    const QCommandLineOption format("format",
                                     "mul or uop: the plain map file, or the UOP container that current clients "
                                     "read (default: uop for an output name ending in .uop, else mul).",
                                     "FORMAT");
    const QCommandLineOption statics("statics",
                                     "Also writes staidx<N>.mul (every block without statics) and an empty "
                                     "statics<N>.mul next to the map file, so that no old statics stand on the "
                                     "new terrain. All files are replaced together or not at all.");
    const QCommandLineOption info("info",
                                  "Reads the map file MAP (MUL or UOP) and prints its format, size and a cell, "
                                  "instead of making a map.",
                                  "MAP");
    const QCommandLineOption cell("cell", "The cell --info shows (default 0,0).", "X,Y");
    const QCommandLineOption help({"h", "help"}, "Shows this help and stops.");
    const QCommandLineOption version("version", "Shows the version and stops.");
    parser.addOptions({output, tiles, seed, quiet, preview, previewScale, report, size, facet, format, statics, info,
                       cell, help, version});
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

    TCliOptions &options = result.Options;
    const auto text = [&](const QCommandLineOption &Option) { return parser.value(Option).toLocal8Bit().toStdString(); };
    if (parser.isSet(size)) {
        const std::optional<TMapSize> mapSize = ParseMapSize(text(size));
        if (!mapSize)
            return UsageError("The size '" + text(size) + "' is not WxH with both sides multiples of 8 from 8 to " +
                              std::to_string(MapSizes::MaxSide) + ".");
        options.MapSize = *mapSize;
        options.SizeGiven = true;
    }
    const QStringList images = parser.positionalArguments();
    if (parser.isSet(info)) {
        options.InfoPath = text(info);
        if (options.InfoPath->empty())
            return UsageError("The map file name is empty.");
        if (!images.isEmpty())
            return UsageError("--info reads a map file and takes no image.");
        if (parser.isSet(cell)) {
            const std::string value = text(cell);
            const size_t comma = value.find_first_of(",/");
            const std::optional<uint64_t> x = ParseSeed(value.substr(0, comma));
            const std::optional<uint64_t> y =
                comma == std::string::npos ? std::nullopt : ParseSeed(value.substr(comma + 1));
            if (!x || !y || *x > uint64_t(MapSizes::MaxSide) || *y > uint64_t(MapSizes::MaxSide))
                return UsageError("The cell '" + value + "' is not X,Y (two whole numbers from 0).");
            options.InfoX = int(*x);
            options.InfoY = int(*y);
        }
        result.Kind = TCliParse::Info;
        return result;
    }
    if (parser.isSet(cell))
        return UsageError("--cell goes with --info MAP.");
    if (images.isEmpty())
        return UsageError("No image given.");
    if (images.size() > 1)
        return UsageError("Only one image can be given; got " + std::to_string(images.size()) + ".");
    options.ImagePath = images.front().toLocal8Bit().toStdString();
    if (const auto problem = FileNameProblem(options.ImagePath, "image", false))
        return UsageError(*problem);
    if (parser.isSet(output)) {
        options.MapPath = parser.value(output).toLocal8Bit().toStdString();
        if (const auto problem = FileNameProblem(options.MapPath, "map file", true))
            return UsageError(*problem);
    }
    if (parser.isSet(tiles)) {
        options.TilesPath = parser.value(tiles).toLocal8Bit().toStdString();
        if (const auto problem = FileNameProblem(*options.TilesPath, "tile configuration", false))
            return UsageError(*problem);
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
        if (const auto problem = FileNameProblem(*options.PreviewPath, "preview file", true))
            return UsageError(*problem);
    }
    options.Report = parser.isSet(report);

    if (parser.isSet(facet)) {
        const std::optional<uint64_t> number = ParseSeed(text(facet));
        if (!number || !FacetSize(int(std::min<uint64_t>(*number, 1000))))
            return UsageError("The facet '" + text(facet) + "' is not a map number from 0 to " +
                              std::to_string(FacetCount - 1) + ".");
        options.Facet = int(*number);
        if (!options.SizeGiven)
            options.MapSize = *FacetSize(*options.Facet);
    }
    // The scale's limit and the preview's size follow the map's size.
    if (parser.isSet(previewScale)) {
        const std::string text = parser.value(previewScale).toLocal8Bit().toStdString();
        const std::optional<int> scale = ParsePreviewScale(text, options.MapSize.Width);
        if (!scale)
            return UsageError("The preview scale '" + text + "' is not a whole number from 1 to " +
                              std::to_string(options.MapSize.Width) + " (the map's width).");
        if (!options.PreviewPath)
            return UsageError("--preview-scale needs --preview FILE.");
        options.PreviewScale = *scale;
    }
    if (options.PreviewPath) {
        const QSize picture = PreviewPictureSize(options.MapSize, options.PreviewScale);
        if (uint64_t(picture.width()) * uint64_t(picture.height()) > MaxPreviewPixels)
            return UsageError("A preview of the " + FormatMapSize(options.MapSize) + " map at scale " +
                              std::to_string(options.PreviewScale) + " would be " +
                              std::to_string(picture.width()) + " x " + std::to_string(picture.height()) +
                              " pixels, more than a preview may have (16384 x 16384); give --preview-scale " +
                              std::to_string(MinPreviewScale(options.MapSize)) + " or more.");
    }
    if (parser.isSet(format)) {
        const QString value = parser.value(format).toLower();
        if (value != "mul" && value != "uop")
            return UsageError("The format '" + text(format) + "' is neither mul nor uop.");
        options.Format = value == "uop" ? TMapFormat::Uop : TMapFormat::Mul;
    } else if (parser.isSet(output)) {
        options.Format = FormatForName(options.MapPath);
    }
    if (!parser.isSet(output) && options.Facet) {
        const std::string n = std::to_string(*options.Facet);
        options.MapPath = options.Format == TMapFormat::Uop ? "map" + n + "LegacyMUL.uop" : "map" + n + ".mul";
    } else if (!parser.isSet(output) && options.Format == TMapFormat::Uop) {
        options.MapPath = "map0LegacyMUL.uop";
    }
    // The number in the map file's name is the one clients and servers go by.
    const std::optional<int> named = MapNumberOfName(options.MapPath);
    if (named && options.Facet && *named != *options.Facet)
        return UsageError("The map file " + options.MapPath + " is map " + std::to_string(*named) +
                          ", but --facet says " + std::to_string(*options.Facet) + ".");
    options.Statics = parser.isSet(statics);
    result.Kind = TCliParse::Run;
    return result;
}
