// morvane-world: paints an example world and saves it as a 24-bit BMP whose
// red values select the terrains of the default tile configuration.
#include "WorldImage.h"
#include "WorldPainter.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <cstdio>
#include <exception>
#include <optional>

namespace {

// Exit codes: 0 done, 1 the world could not be painted or saved, 2 bad arguments.
constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;

// The size of the map file's world, the picture a map maker paints.
constexpr int DefaultWidth = 6144;
constexpr int DefaultHeight = 4096;

void PrintError(const QString &text)
{
    std::fprintf(stderr, "morvane-world: %s\n", qPrintable(text));
}

int UsageError(const QCommandLineParser &parser, const QString &problem)
{
    PrintError(problem);
    std::fprintf(stderr, "\n%s", qPrintable(parser.helpText()));
    return ExitUsage;
}

std::optional<int> ParseSide(const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok || value < 1 || value > MaxWorldSide)
        return std::nullopt;
    return value;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("morvane-world");
    QCoreApplication::setApplicationVersion(MORVANE_VERSION);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Paints an example world for Morvane: continents, lakes, mountain ranges, climates, rivers\n"
        "and trails, as a 24-bit BMP whose red values select the terrains of the default Tiles.ini.\n"
        "The same seed and size always give the same file.");
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption widthOption("width", "Width of the world in pixels, 1 to 65535 (default 6144).",
                                         "W", QString::number(DefaultWidth));
    const QCommandLineOption heightOption("height", "Height of the world in pixels, 1 to 65535 (default 4096).",
                                          "H", QString::number(DefaultHeight));
    const QCommandLineOption seedOption("seed", "Seed of the world, 0 to 18446744073709551615 (default 1).", "N",
                                        "1");
    parser.addOptions({widthOption, heightOption, seedOption});
    parser.addPositionalArgument("OUTPUT.bmp", "The BMP file to write; replaced only when complete.");

    if (!parser.parse(QCoreApplication::arguments()))
        return UsageError(parser, parser.errorText());
    if (parser.isSet("help"))
        parser.showHelp(0);
    if (parser.isSet("version"))
        parser.showVersion();

    const QStringList outputs = parser.positionalArguments();
    if (outputs.size() != 1)
        return UsageError(parser, outputs.isEmpty() ? "No output file given." : "More than one output file given.");
    const std::optional<int> width = ParseSide(parser.value(widthOption));
    if (!width)
        return UsageError(parser, "The width must be a whole number from 1 to 65535, not \"" +
                                      parser.value(widthOption) + "\".");
    const std::optional<int> height = ParseSide(parser.value(heightOption));
    if (!height)
        return UsageError(parser, "The height must be a whole number from 1 to 65535, not \"" +
                                      parser.value(heightOption) + "\".");
    bool seedOk = false;
    const qulonglong seed = parser.value(seedOption).toULongLong(&seedOk, 10);
    if (!seedOk)
        return UsageError(parser, "The seed must be a whole number from 0 to 18446744073709551615, not \"" +
                                      parser.value(seedOption) + "\".");

    const QString output = outputs.front();
    try {
        const TWorldPicture world = PaintWorld(*width, *height, seed);
        SaveWorldBmp(world, QFile::encodeName(output).toStdString());
    } catch (const EWorldSaveError &error) {
        PrintError(QString::fromStdString(error.what()));
        return ExitFailure;
    } catch (const std::exception &error) {
        PrintError("Cannot paint the world for " + output + ": " + QString::fromStdString(error.what()));
        return ExitFailure;
    }
    std::printf("Painted a world of %d x %d pixels (seed %llu) into %s\n", *width, *height, seed,
                qPrintable(output));
    return 0;
}
