#include "PipelineTestSupport.h"

#include <stdexcept>

namespace PipelineTest {

namespace {

const char FlagLetter[] = {'.', 'F', 'R', 'S'};

} // namespace

TTable GridCodes(const TTerrainImage &model)
{
    TTable rows;
    for (int y = 1; y <= model.GetHeight(); ++y) {
        std::vector<int> row;
        for (int x = 1; x <= model.GetWidth(); ++x)
            row.push_back(model.GetCell(x, y).Code);
        rows.push_back(row);
    }
    return rows;
}

TTable GridFlags(const TTerrainImage &model)
{
    TTable rows;
    for (int y = 1; y <= model.GetHeight(); ++y) {
        std::vector<int> row;
        for (int x = 1; x <= model.GetWidth(); ++x)
            row.push_back(model.GetFlag(x, y));
        rows.push_back(row);
    }
    return rows;
}

void SetAltitudes(TTerrainImage &model, const TTable &altitudes)
{
    if (int(altitudes.size()) != model.GetHeight())
        throw std::runtime_error("altitude table has the wrong number of rows");
    for (int y = 1; y <= model.GetHeight(); ++y) {
        if (int(altitudes[size_t(y - 1)].size()) != model.GetWidth())
            throw std::runtime_error("altitude row has the wrong length");
        for (int x = 1; x <= model.GetWidth(); ++x)
            model.SetCell(x, y, -1, altitudes[size_t(y - 1)][size_t(x - 1)]);
    }
}

void SetFlags(TTerrainImage &model, const std::vector<std::string> &letters)
{
    if (int(letters.size()) != model.GetHeight())
        throw std::runtime_error("flag table has the wrong number of rows");
    for (int y = 1; y <= model.GetHeight(); ++y) {
        const std::string &row = letters[size_t(y - 1)];
        if (int(row.size()) != model.GetWidth())
            throw std::runtime_error("flag row has the wrong length");
        for (int x = 1; x <= model.GetWidth(); ++x) {
            uint8_t flag = 0;
            while (flag < 4 && FlagLetter[flag] != row[size_t(x - 1)])
                ++flag;
            if (flag == 4)
                throw std::runtime_error(std::string("no flag for the letter ") + row[size_t(x - 1)]);
            model.SetFlag(x, y, flag);
        }
    }
}

std::vector<std::string> FlagLetters(const TTerrainImage &model)
{
    std::vector<std::string> rows;
    for (int y = 1; y <= model.GetHeight(); ++y) {
        std::string row;
        for (int x = 1; x <= model.GetWidth(); ++x) {
            const uint8_t flag = model.GetFlag(x, y);
            row += flag < 4 ? FlagLetter[flag] : '?';
        }
        rows.push_back(row);
    }
    return rows;
}

THeightProfile GameLikeProfile()
{
    THeightProfile game;
    game.Water = -5;
    game.LevelWater = true;
    game.Coastline = -3;
    game.LevelCoastline = true;
    game.CoastTable = true;
    game.Rings = {-1, 0, 2};
    game.MountainSeed = {50, 70};
    game.OtherSeed = {0, 20};
    return game;
}

} // namespace PipelineTest
