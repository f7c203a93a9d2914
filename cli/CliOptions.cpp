#include "CliOptions.h"

#include "MapPreview.h"
#include "TerrainPicture.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <functional>

namespace {

const char *const UsageHint = "Try 'morvane-cli --help' for more information.";

// CLI11 drops an empty value ("-o ''") and takes "--seed=" as "--seed" with
// its value still to come, so empty arguments are marked before parsing and
// unmarked in the values. The mark is a control character no file name or
// number is typed with.
const std::string EmptyMark = "\x1f";

std::string Unmarked(const std::string &Value)
{
    return Value == EmptyMark ? std::string() : Value;
}

// A bare --statics: decoration if the tile configuration has it, else empty files.
const std::string BareStaticsMark = "\x1e";

std::optional<TStaticsChoice> ParseStatics(const std::string &Text)
{
    if (Text == "decorated" || Text == BareStaticsMark)
        return TStaticsChoice::Decorated;
    if (Text == "empty")
        return TStaticsChoice::Empty;
    return std::nullopt;
}

// --statics takes an optional value. An option with an optional value would
// swallow the picture's name in "--statics world.bmp", so the value is joined
// to the option here when it is one of the choices, and a bare --statics is
// marked as such.
std::vector<std::string> JoinStaticsValues(const std::vector<std::string> &Arguments)
{
    std::vector<std::string> joined;
    for (size_t i = 0; i < Arguments.size(); ++i) {
        if (Arguments[i] == "--") {
            joined.insert(joined.end(), Arguments.begin() + std::ptrdiff_t(i), Arguments.end());
            break;
        }
        if (Arguments[i] != "--statics") {
            joined.push_back(Arguments[i]);
        } else if (i + 1 < Arguments.size() && ParseStatics(Arguments[i + 1]) && Arguments[i + 1] != BareStaticsMark) {
            joined.push_back("--statics=" + Arguments[++i]);
        } else {
            joined.push_back("--statics=" + BareStaticsMark);
        }
    }
    return joined;
}

std::vector<std::string> MarkEmptyValues(std::vector<std::string> Arguments)
{
    for (std::string &argument : Arguments) {
        if (argument.empty())
            argument = EmptyMark;
        else if (argument.starts_with("--") && argument.back() == '=')
            argument += EmptyMark;
    }
    return Arguments;
}

const char *const Description =
    "Turns a painted BMP or PNG into the terrain map file map0.mul (6144 x 4096 cells), or a map of\n"
    "another size (--size, --facet) for current clients, also as map0LegacyMUL.uop.\n"
    "Warnings go to standard output; problems, progress and failures to standard error.";

const char *const Footer =
    "Exit status: 0 written; 1 usage error; 2 the image cannot be read (with --info, --import or\n"
    "--merge-into also the map file); 3 the tile configuration cannot be read; 4 the map file cannot\n"
    "be written (and any output, the preview's too, that is found unwritable before the run: a\n"
    "device, a pipe, a missing folder);\n"
    "5 any other failure (such as running out of memory); 6 the preview picture cannot be\n"
    "written (it is written after the map file, which then stays written). Ctrl-C stops\n"
    "the run after the stage or block-column under way and leaves an earlier file of that\n"
    "name as it was; a second Ctrl-C ends it at once, the earlier file still whole.\n"
    "A picture whose run would need more memory than the budget (--max-memory, about 8 bytes\n"
    "per pixel; default 4096 MiB) is refused before anything is allocated for it.\n"
    "The preview shows each terrain in its colour, transitions as a blend of their two\n"
    "terrains, altitudes as hill shading with the light from the north-west, and every\n"
    "cell that gets the void tile in magenta (#FF00FF); with --statics, each cell with a static\n"
    "in orange (#FF7F00) unless --preview-no-statics is given.";

static_assert(TLoadOptions::DefaultMemoryBudget == uint64_t(4096) << 20, "the help names the default budget");

// Help texts wrapped to Width columns; CLI11 indents the lines after the first
// to the column of the texts.
std::string Wrapped(const std::string &Text, size_t Width)
{
    std::string result, line;
    size_t start = 0;
    while (start < Text.size()) {
        size_t end = Text.find(' ', start);
        if (end == std::string::npos)
            end = Text.size();
        const std::string word = Text.substr(start, end - start);
        if (!line.empty() && line.size() + 1 + word.size() > Width) {
            result += line + "\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
        start = end + 1;
    }
    return result + line;
}

// A check of one option's value: empty when the value is good, else why not.
using TCheck = std::function<std::string(const std::string &)>;

CLI::Validator Checked(const TCheck &Check)
{
    return CLI::Validator([Check](std::string &Value) { return Check(Unmarked(Value)); }, "");
}

// An empty name, or "-", which other tools take for standard input or
// output: files here are read whole and written atomically, so neither stream
// can stand in for them.
TCheck FileName(const std::string &What, bool Written)
{
    return [What, Written](const std::string &Name) -> std::string {
        if (Name.empty())
            return "The " + What + " name is empty.";
        if (Name == "-")
            return "The " + What + (Written ? " cannot be written to standard output" : " cannot be read from standard input") +
                   " ('-'); name a file (./- for a file named -).";
        return {};
    };
}

// A plain decimal number from Low to High, or nullopt.
std::optional<uint64_t> Number(const std::string &Text, uint64_t Low, uint64_t High)
{
    const std::optional<uint64_t> value = ParseSeed(Text);
    if (!value || *value < Low || *value > High)
        return std::nullopt;
    return value;
}

std::optional<std::pair<int, int>> ParseCell(const std::string &Text)
{
    const size_t comma = Text.find_first_of(",/");
    if (comma == std::string::npos)
        return std::nullopt;
    const auto x = Number(Text.substr(0, comma), 0, MapSizes::MaxSide);
    const auto y = Number(Text.substr(comma + 1), 0, MapSizes::MaxSide);
    if (!x || !y)
        return std::nullopt;
    return std::pair{int(*x), int(*y)};
}

std::optional<TMapFormat> ParseFormat(const std::string &Text)
{
    std::string lower = Text;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    if (lower == "mul")
        return TMapFormat::Mul;
    if (lower == "uop")
        return TMapFormat::Uop;
    return std::nullopt;
}

// A budget of 1 MiB to 16 TiB: beyond that the byte count would not fit the
// load options' arithmetic on any machine this runs on.
constexpr uint64_t MaxMemoryMiB = uint64_t(1) << 24;

// The options as given, each checked on its own by its validator; what they
// mean together is worked out afterwards, one rule at a time.
struct TGiven
{
    std::vector<std::string> Images;
    std::string Output, Tiles, Seed, Preview, PreviewScale, Size, Facet, Format, Info, Cell, MaxMemory, Statics, Import, Merge;
    std::string Heights, HeightsOut;
    bool Quiet = false, Report = false, PreviewNoStatics = false, Crop = false, Help = false, Version = false;
    CLI::App *App = nullptr;

    bool Has(const char *Name) const { return App->count(Name) > 0; }
};

void DeclareOptions(CLI::App &App, TGiven &Given)
{
    App.set_help_flag(); // -h is a plain flag here, so that help is text like the version
    App.add_flag("-h,--help", Given.Help, "Shows this help and stops.");
    App.add_flag("--version", Given.Version, "Shows the version and stops.");
    App.add_option("-o,--output", Given.Output, "The map file to write (default: map0.mul in the current folder).")
        ->type_name("FILE")
        ->check(Checked(FileName("map file", true)));
    App.add_option("-t,--tiles", Given.Tiles, "The tile configuration (default: Tiles.ini next to the executable).")
        ->type_name("FILE")
        ->check(Checked(FileName("tile configuration", false)));
    App.add_option("-s,--seed", Given.Seed,
                   "A fixed seed, an unsigned 64-bit decimal number: the same image, tile configuration and "
                   "seed give the same map file, byte for byte.")
        ->type_name("N")
        ->check(Checked([](const std::string &Text) -> std::string {
            if (ParseSeed(Text))
                return {};
            return "The seed '" + Text + "' is not an unsigned 64-bit decimal number (0 to 18446744073709551615).";
        }));
    App.add_flag("-q,--quiet", Given.Quiet, "No progress display.");
    App.add_option("--preview", Given.Preview,
                   "Also writes a PNG picture of the map to FILE, after the map file: one pixel per cell, as "
                   "large as the map (6144 x 4096 pixels by default, 7168 x 4096 with --facet 0). At most "
                   "16384 x 16384 pixels: a larger map needs --preview-scale.")
        ->type_name("FILE")
        ->check(Checked(FileName("preview file", true)));
    App.add_option("--preview-scale", Given.PreviewScale,
                   "One preview pixel for each N x N cells (N from 1 to the map's width, 6144 by default): the "
                   "block's average colour, magenta if any of its cells gets the void tile.")
        ->type_name("N")
        ->check(Checked([](const std::string &Text) -> std::string {
            if (Number(Text, 1, MapSizes::MaxSide))
                return {};
            return "The preview scale '" + Text + "' is not a whole number from 1 to the map's width.";
        }));
    App.add_flag("--preview-no-statics", Given.PreviewNoStatics,
                 "Leaves the statics (trees, plants, rocks, waves) out of the preview; with --statics they are "
                 "marked in orange (#FF7F00).");
    App.add_flag("--report", Given.Report,
                 "Prints on standard error, after the warnings, how many map cells get the void tile and why "
                 "(pixels of no terrain, border cells, transitions without a tile by section and direction, "
                 "empty tile lists, outside the picture), with --statics what they hold, then the lowest and "
                 "highest altitude and the cells of each terrain, water, coastline and the transitions.");
    App.add_option("--size", Given.Size,
                   "The map's size in cells, WxH, both multiples of 8 up to 65528 (default 6144x4096, or "
                   "7168x4096 for a UOP file of map 0 or 1; a picture larger than the map is cut, a smaller one "
                   "leaves void tiles beyond it).")
        ->type_name("WxH")
        ->check(Checked([](const std::string &Text) -> std::string {
            if (ParseMapSize(Text))
                return {};
            return "The size '" + Text + "' is not WxH with both sides multiples of 8 from 8 to " +
                   std::to_string(MapSizes::MaxSide) + ".";
        }));
    App.add_option("--facet", Given.Facet,
                   "Makes map N of a current client: its size (0 and 1: 7168x4096, 2: 2304x1600, 3: 2560x2048, "
                   "4: 1448x1448, 5: 1280x4096) and its number in the file names (default output mapN.mul, or "
                   "mapNLegacyMUL.uop with --format uop).")
        ->type_name("N")
        ->check(Checked([](const std::string &Text) -> std::string {
            if (Number(Text, 0, FacetCount - 1))
                return {};
            return "The facet '" + Text + "' is not a map number from 0 to " + std::to_string(FacetCount - 1) + ".";
        }));
    App.add_option("--format", Given.Format,
                   "mul or uop: the plain map file, or the UOP container that current clients read (default: uop "
                   "for an output name ending in .uop, else mul). A UOP file's name must carry its map number "
                   "(map<N>LegacyMUL.uop, the only name readers look for) unless --facet gives it.")
        ->type_name("FORMAT")
        ->check(Checked([](const std::string &Text) -> std::string {
            return ParseFormat(Text) ? std::string() : "The format '" + Text + "' is neither mul nor uop.";
        }));
    App.add_option("--statics", Given.Statics,
                   "Also writes staidx<N>.mul and statics<N>.mul next to the map file, replacing any there (which "
                   "may hold buildings): 'decorated' places the trees, plants and rocks of the tile "
                   "configuration's [DECORATION_...] sections and the waves on the shores; 'empty' writes every "
                   "block without statics, so that no old statics stand on the new terrain. A bare --statics is "
                   "decorated when the configuration has decoration, else empty. All files are replaced together "
                   "or not at all.")
        ->type_name("[decorated|empty]")
        ->check(Checked([](const std::string &Text) -> std::string {
            return ParseStatics(Text) ? std::string() : "The statics choice '" + Text + "' is neither decorated nor empty.";
        }));
    App.add_option("--max-memory", Given.MaxMemory,
                   "The memory budget in MiB for the picture's grid and the stages' work (default " +
                       std::to_string(DefaultMemoryBudgetMiB()) +
                       "): a picture that would need more is refused before anything is allocated for it.")
        ->type_name("MIB")
        ->check(Checked([](const std::string &Text) -> std::string {
            if (Number(Text, 1, MaxMemoryMiB))
                return {};
            return "The memory budget '" + Text + "' is not a whole number of MiB from 1 to " +
                   std::to_string(MaxMemoryMiB) + ".";
        }));
    App.add_flag("--crop", Given.Crop,
                 "Cuts the picture to the map's size before anything else, as an image editor would. The map "
                 "then differs from the one made from the whole picture: start altitudes and seed points are "
                 "drawn over the picture as loaded.");
    App.add_option("--heights", Given.Heights,
                   "A grey BMP or PNG of the picture's size that paints the land's altitudes: grey g is altitude "
                   "g - 128 (of a 16-bit PNG the high byte). Water, coastline and the three coast rings keep their "
                   "rules; painted mountains are lowered where steeper than the mountain slope limits.")
        ->type_name("FILE")
        ->check(Checked(FileName("heights picture", false)));
    App.add_option("--heights-out", Given.HeightsOut,
                   "Also writes the map's altitudes to FILE as an 8-bit grey PNG (grey = altitude + 128), the "
                   "picture --heights reads; saved together with the map file.")
        ->type_name("FILE")
        ->check(Checked(FileName("heights picture", true)));
    App.add_option("--info", Given.Info,
                   "Reads the map file MAP (MUL or UOP) and prints its format, size and a cell, instead of "
                   "making a map.")
        ->type_name("MAP")
        ->check(Checked([](const std::string &Name) {
            return Name.empty() ? std::string("The map file name is empty.") : std::string();
        }));
    App.add_option("--import", Given.Import,
                   "Reads the map file MAP (MUL or UOP) back into a painted picture, written to -o PICTURE (a BMP, "
                   "or a PNG for a name ending in .png): each cell's red value names the terrain its tile belongs "
                   "to under the tile configuration (--tiles: the one the map was made with), green and blue show "
                   "it. Tiles of no terrain are counted and get a red value that names none.")
        ->type_name("MAP")
        ->check(Checked([](const std::string &Name) {
            return Name.empty() ? std::string("The map file name is empty.") : std::string();
        }));
    App.add_option("--merge-into", Given.Merge,
                   "Remakes only what the picture changes in the existing map MAP (MUL or UOP; the picture is "
                   "expected to come from --import of it): the blocks around the cells whose terrain differs from "
                   "the one read from MAP (with --heights also around land cells whose painted altitude differs "
                   "from MAP's) are made anew, every other byte stays MAP's, and tiles the configuration "
                   "does not know (roads, cave floors) are always kept. The output (-o, default MAP itself) may be "
                   "MAP; it is replaced whole or not at all. Statics beside MAP are carried over: in remade blocks "
                   "decoration and waves are taken out (made anew with --statics decorated), other statics kept.")
        ->type_name("MAP")
        ->check(Checked([](const std::string &Name) {
            return Name.empty() ? std::string("The map file name is empty.") : std::string();
        }));
    App.add_option("--cell", Given.Cell, "The cell --info shows (default 0,0).")
        ->type_name("X,Y")
        ->check(Checked([](const std::string &Text) -> std::string {
            return ParseCell(Text) ? std::string() : "The cell '" + Text + "' is not X,Y (two whole numbers from 0).";
        }));
    App.add_option("IMAGE", Given.Images, "The painted picture, a BMP or PNG whose red values name the terrains.")
        ->type_name("")
        ->check(Checked(FileName("image", false)));
    // As before: an option given twice takes its last value.
    for (CLI::Option *option : App.get_options())
        if (option->get_name() != "IMAGE")
            option->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    App.allow_extras(); // unknown options are reported below, in the program's words
    App.footer(Footer);
    App.get_formatter()->column_width(24);
    for (CLI::Option *option : App.get_options())
        option->description(Wrapped(option->get_description(), 80 - 24));
}

// One rule of what the options mean together; each either fills in part of
// the options or says why they do not go together.
using TRule = std::string (*)(const TGiven &, TCliOptions &);

std::string ImageRule(const TGiven &Given, TCliOptions &Options)
{
    if (Given.Images.empty())
        return "No image given.";
    if (Given.Images.size() > 1)
        return "Only one image can be given; got " + std::to_string(Given.Images.size()) + ".";
    Options.ImagePath = Unmarked(Given.Images.front());
    return {};
}

// --merge-into writes into the existing map unless -o names another file;
// --size and --facet then tell the existing map's size.
std::string MergeRule(const TGiven &Given, TCliOptions &Options)
{
    if (!Given.Has("--merge-into"))
        return {};
    if (Given.Crop)
        return "--crop does not go with --merge-into: the picture must be as large as the map.";
    Options.MergePath = Given.Merge;
    if (!Given.Has("--output"))
        Options.MapPath = Given.Merge;
    return {};
}

// --size and --facet each give a size; both must give the same one.
std::string SizeRule(const TGiven &Given, TCliOptions &Options)
{
    if (Given.Has("--facet")) {
        Options.Facet = int(*ParseSeed(Given.Facet));
        Options.MapSize = *FacetSize(*Options.Facet);
    }
    if (Given.Has("--size")) {
        const TMapSize size = *ParseMapSize(Given.Size);
        if (Options.Facet && size != Options.MapSize)
            return "--size " + Given.Size + " and --facet " + Given.Facet + " (" + FormatMapSize(Options.MapSize) +
                   ") give two different sizes; give one of them.";
        Options.MapSize = size;
        Options.SizeGiven = true;
    }
    return {};
}

// The format: as given, else by the map file's name, else by the default name.
std::string FormatRule(const TGiven &Given, TCliOptions &Options)
{
    if (Given.Has("--format"))
        Options.Format = *ParseFormat(Given.Format);
    else if (Given.Has("--output") || Options.MergePath)
        Options.Format = FormatForName(Options.MapPath);
    return {};
}

std::string OutputNameRule(const TGiven &Given, TCliOptions &Options)
{
    if (Given.Has("--output") || Options.MergePath)
        return {};
    const std::string n = std::to_string(Options.Facet.value_or(0));
    Options.MapPath = Options.Format == TMapFormat::Uop ? "map" + n + "LegacyMUL.uop" : "map" + n + ".mul";
    return {};
}

// The number in the map file's name is the one clients and servers go by; a
// UOP file names its entries after it.
std::string MapNumberRule(const TGiven &, TCliOptions &Options)
{
    if (const std::string problem = MapNumberProblem(Options.MapPath); !problem.empty())
        return problem;
    const std::optional<int> named = MapNumberOfName(Options.MapPath);
    if (named && Options.Facet && *named != *Options.Facet)
        return "The map file " + Options.MapPath + " is map " + std::to_string(*named) + ", but --facet says " +
               std::to_string(*Options.Facet) + ".";
    if (!named && !Options.Facet && Options.Format == TMapFormat::Uop)
        return "The map file " + Options.MapPath +
               " carries no map number, which a UOP file names its entries after: give --facet N. Clients and "
               "servers find the file only under the name map<N>LegacyMUL.uop.";
    Options.MapNumber = named ? *named : Options.Facet.value_or(0);
    return {};
}

// Clients take map 0 and map 1 of a UOP file as 7168 x 4096 cells whatever
// the file holds, so that is their size, and a 6144-wide one would be misread.
std::string UopSizeRule(const TGiven &, TCliOptions &Options)
{
    if (Options.Format != TMapFormat::Uop || Options.MapNumber > 1)
        return {};
    if (!Options.SizeGiven && !Options.Facet)
        Options.MapSize = *FacetSize(Options.MapNumber);
    if (Options.MapSize.Width == MapSizes::Classic.Width)
        return "A UOP file of map " + std::to_string(Options.MapNumber) +
               " is read by clients as 7168 x 4096 cells whatever it holds, so a " + FormatMapSize(Options.MapSize) +
               " one would be misread; leave out --size (7168x4096 is the default there) or write a MUL file "
               "(--format mul).";
    return {};
}

// The preview's scale is limited by the map's width, its size by the picture limit.
std::string PreviewRule(const TGiven &Given, TCliOptions &Options)
{
    if (Given.Has("--preview"))
        Options.PreviewPath = Given.Preview;
    if (Given.Has("--preview-scale")) {
        const std::optional<uint64_t> scale = Number(Given.PreviewScale, 1, uint64_t(Options.MapSize.Width));
        if (!scale)
            return "The preview scale '" + Given.PreviewScale + "' is not a whole number from 1 to " +
                   std::to_string(Options.MapSize.Width) + " (the map's width).";
        if (!Options.PreviewPath)
            return "--preview-scale needs --preview FILE.";
        Options.PreviewScale = int(*scale);
    }
    if (Given.PreviewNoStatics) {
        if (!Options.PreviewPath)
            return "--preview-no-statics needs --preview FILE.";
        Options.PreviewStatics = false;
    }
    if (Options.PreviewPath && Options.PreviewScale < MinPreviewScale(Options.MapSize)) {
        const auto side = [&](int Cells) { return std::to_string((Cells + Options.PreviewScale - 1) / Options.PreviewScale); };
        return "A preview of the " + FormatMapSize(Options.MapSize) + " map at scale " +
               std::to_string(Options.PreviewScale) + " would be " + side(Options.MapSize.Width) + " x " +
               side(Options.MapSize.Height) + " pixels, more than a preview may have (16384 x 16384); give " +
               "--preview-scale " + std::to_string(MinPreviewScale(Options.MapSize)) + " or more.";
    }
    return {};
}

std::string LoadRule(const TGiven &Given, TCliOptions &Options)
{
    if (Given.Has("--max-memory"))
        Options.Load.MemoryBudget = *ParseSeed(Given.MaxMemory) << 20;
    if (Given.Crop) {
        Options.Load.CropWidth = uint32_t(Options.MapSize.Width);
        Options.Load.CropHeight = uint32_t(Options.MapSize.Height);
    }
    return {};
}

std::string PlainOptionsRule(const TGiven &Given, TCliOptions &Options)
{
    if (Given.Has("--output"))
        Options.MapPath = Given.Output;
    if (Given.Has("--tiles"))
        Options.TilesPath = Given.Tiles;
    if (Given.Has("--seed"))
        Options.Seed = ParseSeed(Given.Seed);
    Options.Quiet = Given.Quiet;
    Options.Report = Given.Report;
    if (Given.Has("--statics")) {
        Options.Statics = *ParseStatics(Given.Statics);
        Options.StaticsAsConfigured = Given.Statics == BareStaticsMark;
    }
    return {};
}

// The heights picture is written as PNG only: under another name it would
// be taken for what its name says.
std::string HeightsOutNotPng(const TGiven &Given)
{
    return "--heights-out " + Given.HeightsOut + ": the heights picture is written as a PNG; give a name ending in .png.";
}

// The painted heights read, and the heights picture written.
std::string HeightsRule(const TGiven &Given, TCliOptions &Options)
{
    if (Given.Has("--heights"))
        Options.HeightsPath = Unmarked(Given.Heights);
    if (Given.Has("--heights-out")) {
        if (PictureKindForName(Given.HeightsOut) != TPictureKind::Png)
            return HeightsOutNotPng(Given);
        Options.HeightsOutPath = Unmarked(Given.HeightsOut);
    }
    return {};
}

// In this order: each rule may use what the rules before it filled in.
constexpr TRule RunRules[] = {ImageRule,     PlainOptionsRule, MergeRule,   SizeRule, FormatRule, OutputNameRule,
                              MapNumberRule, UopSizeRule,      PreviewRule, LoadRule,   HeightsRule};

// --info describes a map file: no image, and --cell only with it.
std::string InfoRule(const TGiven &Given, TCliOptions &Options)
{
    if (!Given.Has("--info"))
        return Given.Has("--cell") ? "--cell goes with --info MAP." : std::string();
    if (!Given.Images.empty())
        return "--info reads a map file and takes no image.";
    if (Given.Has("--merge-into"))
        return "--info and --merge-into do not go together.";
    if (Given.Has("--import"))
        return "--info and --import do not go together.";
    // It writes nothing and reads no picture or configuration: an option
    // for a run would silently do nothing.
    for (const char *name : {"--output", "--tiles", "--seed", "--preview", "--preview-scale", "--preview-no-statics",
                             "--statics", "--format", "--crop", "--heights", "--heights-out", "--max-memory", "--report"})
        if (Given.Has(name))
            return std::string(name) + " does not go with --info.";
    if (Given.Has("--size") && Given.Has("--facet"))
        return "--size and --facet both give the map's size; give one of them.";
    Options.InfoPath = Given.Info;
    if (Given.Has("--size")) {
        Options.MapSize = *ParseMapSize(Given.Size);
        Options.SizeGiven = true;
    }
    if (Given.Has("--facet")) {
        Options.MapSize = *FacetSize(int(*Number(Given.Facet, 0, FacetCount - 1)));
        Options.SizeGiven = true;
    }
    if (Given.Has("--cell"))
        std::tie(Options.InfoX, Options.InfoY) = *ParseCell(Given.Cell);
    return {};
}

// --import reads a map back into a picture: no image, -o names the picture,
// the map's size comes from --size or --facet where its name does not tell.
std::string ImportRule(const TGiven &Given, TCliOptions &Options)
{
    if (!Given.Has("--import"))
        return {};
    if (Given.Has("--info"))
        return "--info and --import do not go together.";
    if (Given.Has("--merge-into"))
        return "--merge-into and --import do not go together.";
    if (!Given.Images.empty())
        return "--import reads a map file and takes no image; -o names the picture it writes.";
    if (!Given.Has("--output"))
        return "--import needs -o PICTURE, the picture to write (.bmp, or .png).";
    for (const char *name : {"--seed", "--preview", "--preview-scale", "--preview-no-statics", "--statics", "--format",
                             "--crop", "--cell"})
        if (Given.Has(name))
            return std::string(name) + " does not go with --import.";
    if (Given.Has("--size") && Given.Has("--facet"))
        return "--size and --facet both give the map's size; give one of them.";
    if (Given.Has("--heights"))
        return "--heights does not go with --import (--heights-out FILE.png writes the map's altitudes).";
    Options.ImportPath = Given.Import;
    Options.PicturePath = Given.Output;
    if (Given.Has("--max-memory"))
        Options.Load.MemoryBudget = *ParseSeed(Given.MaxMemory) << 20;
    if (Given.Has("--heights-out")) {
        if (PictureKindForName(Given.HeightsOut) != TPictureKind::Png)
            return HeightsOutNotPng(Given);
        Options.HeightsOutPath = Unmarked(Given.HeightsOut);
    }
    if (Given.Has("--tiles"))
        Options.TilesPath = Given.Tiles;
    Options.Report = Given.Report;
    if (Given.Has("--size")) {
        Options.MapSize = *ParseMapSize(Given.Size);
        Options.SizeGiven = true;
    }
    if (Given.Has("--facet")) {
        Options.MapSize = *FacetSize(int(*Number(Given.Facet, 0, FacetCount - 1)));
        Options.SizeGiven = true;
    }
    return {};
}

TCliParse UsageError(const std::string &Message)
{
    TCliParse result;
    result.Kind = TCliParse::UsageError;
    result.Text = Message + "\n" + UsageHint;
    return result;
}

// "--bogus=1" and "-x" as the user typed them, without dashes and value.
std::string UnknownOptionName(const std::string &Argument)
{
    const size_t start = Argument.find_first_not_of('-');
    return Argument.substr(start, Argument.find('=') == std::string::npos ? std::string::npos
                                                                         : Argument.find('=') - start);
}

} // namespace

uint64_t DefaultMemoryBudgetMiB()
{
    return TLoadOptions().MemoryBudget >> 20;
}

TMapOutput MapOutputOf(const TCliOptions &Options)
{
    TMapOutput output = TMapOutput::ForFile(Options.MapPath, Options.MapSize, Options.Statics);
    output.Format = Options.Format;
    output.MapNumber = Options.MapNumber;
    if (Options.HeightsOutPath)
        output.HeightsPicture = *Options.HeightsOutPath;
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

TCliParse ParseCliArguments(const std::vector<std::string> &Arguments)
{
    CLI::App app(Description, "morvane-cli");
    TGiven given;
    given.App = &app;
    DeclareOptions(app, given);

    std::vector<std::string> reversed = MarkEmptyValues(JoinStaticsValues(
        {Arguments.begin() + std::min<size_t>(1, Arguments.size()), Arguments.end()}));
    std::reverse(reversed.begin(), reversed.end()); // CLI11 takes the arguments from the back
    try {
        app.parse(reversed);
    } catch (const CLI::ArgumentMismatch &) {
        // Only a value missing at the end: a repeated option takes its last value.
        return UsageError("Missing value after '" + Arguments.back() + "'.");
    } catch (const CLI::ParseError &error) {
        return UsageError(error.what());
    }
    for (const std::string &extra : app.remaining())
        if (extra != "--")
            return UsageError("Unknown option '" + UnknownOptionName(extra) + "'.");
    for (std::string *value : {&given.Output, &given.Tiles, &given.Preview, &given.Info, &given.Import, &given.Merge})
        *value = Unmarked(*value);

    TCliParse result;
    if (given.Help) {
        result.Kind = TCliParse::Help;
        result.Text = app.help();
        return result;
    }
    if (given.Version) {
        result.Kind = TCliParse::Version;
        result.Text = "morvane-cli " MORVANE_VERSION "\n";
        return result;
    }
    if (const std::string problem = InfoRule(given, result.Options); !problem.empty())
        return UsageError(problem);
    if (result.Options.InfoPath) {
        result.Kind = TCliParse::Info;
        return result;
    }
    if (const std::string problem = ImportRule(given, result.Options); !problem.empty())
        return UsageError(problem);
    if (result.Options.ImportPath) {
        result.Kind = TCliParse::Import;
        return result;
    }
    for (const TRule rule : RunRules)
        if (const std::string problem = rule(given, result.Options); !problem.empty())
            return UsageError(problem);
    result.Kind = TCliParse::Run;
    return result;
}
