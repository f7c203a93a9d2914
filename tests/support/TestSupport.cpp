#include "TestSupport.h"

#include "ExecutablePath.h"
#include "PictureFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace TestSupport {

TTempDir::TTempDir()
{
    // A random name, taken only if no folder has it yet (create_directory
    // reports whether it made the folder), as mkdtemp does on POSIX.
    thread_local std::mt19937_64 names{std::random_device{}()};
    const fs::path base = fs::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[17];
        std::snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(names()));
        const fs::path candidate = base / (std::string("morvane-test-") + suffix);
        std::error_code error;
        if (fs::create_directory(candidate, error)) {
            Dir = candidate.generic_string();
            return;
        }
    }
    throw std::runtime_error("cannot make a temporary folder in " + base.string());
}

TTempDir::~TTempDir()
{
    std::error_code error;
    fs::remove_all(Dir, error);
}

void WriteFile(const std::string &path, const std::string &content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

std::string ReadFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream data;
    data << in.rdbuf();
    return data.str();
}

std::vector<std::string> ListDir(const std::string &path)
{
    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator(path))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void SetEnv(const std::string &Name, const char *Value)
{
#ifdef _WIN32
    _putenv_s(Name.c_str(), Value ? Value : "");
#else
    if (Value)
        setenv(Name.c_str(), Value, 1);
    else
        unsetenv(Name.c_str());
#endif
}

std::string BundledTilesPath()
{
    return FileNextToExecutable("Tiles.ini");
}

std::string FrozenTilesPath()
{
    return FileNextToExecutable("Tiles-0.5.ini");
}

const TLegend &DefaultLegend()
{
    static const TLegend legend = {
        {'0', NO_TERRAIN}, {'D', DIRT},   {'M', MOUNTAIN}, {'S', DESERT},    {'N', SNOW},
        {'G', GRASS},      {'F', FOREST}, {'J', JUNGLE},   {'P', SWAMP},     {'W', WATER},
        {'C', COASTLINE},  {'x', BORDER_MARK}, {'c', COAST_MARK}, {'w', COAST_WATER_MARK},
    };
    return legend;
}

void PaintGrid(TTerrainImage &model, const std::vector<std::string> &rows, const TLegend &legend)
{
    const size_t width = rows.empty() ? 0 : rows[0].size();
    model.ResetGrid(uint16_t(width), uint16_t(rows.size()));
    for (size_t y = 0; y < rows.size(); ++y) {
        if (rows[y].size() != width)
            throw std::runtime_error("painted rows differ in length");
        for (size_t x = 0; x < width; ++x) {
            const auto found = legend.find(rows[y][x]);
            if (found == legend.end())
                throw std::runtime_error(std::string("no code for the letter ") + rows[y][x]);
            model.SetCell(int(x) + 1, int(y) + 1, found->second, 0);
        }
    }
}

std::vector<std::string> GridLetters(const TTerrainImage &model, const TLegend &legend)
{
    std::vector<std::string> rows;
    for (int y = 1; y <= model.GetHeight(); ++y) {
        std::string row;
        for (int x = 1; x <= model.GetWidth(); ++x) {
            const uint16_t code = model.GetCell(x, y).Code;
            char letter = '?';
            for (const auto &[key, value] : legend)
                if (value == code)
                    letter = key;
            row += letter;
        }
        rows.push_back(row);
    }
    return rows;
}

std::vector<std::vector<int>> GridAltitudes(const TTerrainImage &model)
{
    std::vector<std::vector<int>> rows;
    for (int y = 1; y <= model.GetHeight(); ++y) {
        std::vector<int> row;
        for (int x = 1; x <= model.GetWidth(); ++x)
            row.push_back(model.GetCell(x, y).Altitude);
        rows.push_back(row);
    }
    return rows;
}

void SaveRedBmp(const std::string &path, const std::vector<std::vector<uint8_t>> &reds)
{
    PictureFiles::TBmp bmp;
    for (size_t y = 0; y < reds.size(); ++y) {
        bmp.Pixels.emplace_back();
        for (size_t x = 0; x < reds[y].size(); ++x)
            bmp.Pixels.back().push_back(uint32_t(reds[y][x]) << 16 | ((x * 37 + y) & 255) << 8 | ((y * 91) & 255));
    }
    if (bmp.Pixels.empty() || bmp.Pixels[0].empty())
        throw std::runtime_error("cannot save " + path + ": a picture needs pixels");
    WriteFile(path, PictureFiles::Encode(bmp));
}

} // namespace TestSupport
