// Rivers: each runs from a source in the highlands down to the sea or a lake,
// along the cheapest way to water over the coarse samples of the world, where
// high land and mountains cost more. Following the cheapest way always ends in
// water (every step lowers the remaining cost), so rivers never stop in a pit,
// and rivers that meet run on together as one.
#include "WorldFeatures.h"

#include "WorldRed.h"

#include <algorithm>
#include <functional>
#include <limits>
#include <queue>
#include <vector>

namespace {

constexpr uint64_t RiverStream = 700;
constexpr int64_t PixelsPerRiver = 400000;   // one river per this many pixels, plus BaseRivers
constexpr int64_t BaseRivers = 2;
constexpr int MinRiverSide = 32;             // smaller pictures get no rivers
constexpr int64_t FlatCost = 10;             // cost of a sample of low land
constexpr int HeightCostShift = 5;           // plus the height / 32: rivers keep to the valleys
constexpr int64_t MountainCost = 400;        // rivers go round mountains
constexpr int SourceHeightPermille = 600;    // sources lie higher than 60 % of the land
constexpr int SourceTries = 64;              // random places tried for each source
constexpr int MinLengthPermille = 40;        // a river runs at least 4 % of the longer side
constexpr int64_t Unreachable = std::numeric_limits<int64_t>::max();

// Neighbours in the order N, NE, E, SE, S, SW, W, NW; diagonal steps cost 14
// against 10, about the square root of two.
constexpr int StepX[8] = {0, 1, 1, 1, 0, -1, -1, -1};
constexpr int StepY[8] = {-1, -1, 0, 1, 1, 1, 0, -1};
constexpr int64_t StepWeight[8] = {10, 14, 10, 14, 10, 14, 10, 14};

// The coarse samples inside the picture with what a river needs to know.
struct TRiverGround
{
    int Columns = 0;
    int Rows = 0;
    std::vector<int32_t> Height;
    std::vector<uint8_t> IsWater;
    std::vector<uint8_t> IsMountain;
    std::vector<int64_t> CostToWater; // cheapest way to water, Unreachable where none
    size_t Index(int cx, int cy) const { return size_t(cy) * size_t(Columns) + size_t(cx); }
};

TRiverGround SurveyGround(const TWorldFields &fields, const TWorldLevels &levels)
{
    TRiverGround ground;
    ground.Columns = ((fields.Width - 1) >> fields.StepShift) + 1;
    ground.Rows = ((fields.Height - 1) >> fields.StepShift) + 1;
    const size_t count = size_t(ground.Columns) * size_t(ground.Rows);
    ground.Height.resize(count);
    ground.IsWater.resize(count);
    ground.IsMountain.resize(count);
    for (int cy = 0; cy < ground.Rows; ++cy) {
        for (int cx = 0; cx < ground.Columns; ++cx) {
            const TWorldSample sample = CoarseSample(fields, levels, cx, cy);
            const size_t i = ground.Index(cx, cy);
            ground.Height[i] = sample.Height;
            ground.IsWater[i] = ClassifyRed(levels, sample) == WorldRed::Water;
            ground.IsMountain[i] = IsMountain(levels, sample);
        }
    }
    return ground;
}

int64_t SampleCost(const TRiverGround &ground, size_t i)
{
    return FlatCost + (std::max(ground.Height[i], 0) >> HeightCostShift) + (ground.IsMountain[i] ? MountainCost : 0);
}

// Dijkstra's shortest paths from all water samples at once. Ties in the queue
// are broken by the sample index, so the result is fully determined.
void MeasureCostToWater(TRiverGround &ground)
{
    ground.CostToWater.assign(ground.Height.size(), Unreachable);
    using TEntry = std::pair<int64_t, size_t>;
    std::priority_queue<TEntry, std::vector<TEntry>, std::greater<TEntry>> queue;
    for (size_t i = 0; i < ground.Height.size(); ++i) {
        if (ground.IsWater[i]) {
            ground.CostToWater[i] = 0;
            queue.push({0, i});
        }
    }
    while (!queue.empty()) {
        const auto [cost, i] = queue.top();
        queue.pop();
        if (cost != ground.CostToWater[i])
            continue;
        const int cx = int(i % size_t(ground.Columns));
        const int cy = int(i / size_t(ground.Columns));
        for (int d = 0; d < 8; ++d) {
            const int nx = cx + StepX[d], ny = cy + StepY[d];
            if (nx < 0 || ny < 0 || nx >= ground.Columns || ny >= ground.Rows)
                continue;
            const size_t n = ground.Index(nx, ny);
            const int64_t through = cost + (SampleCost(ground, i) + SampleCost(ground, n)) * StepWeight[d];
            if (through < ground.CostToWater[n]) {
                ground.CostToWater[n] = through;
                queue.push({through, n});
            }
        }
    }
}

// The samples from a source down to the first water sample, each step to the
// neighbour with the least cost left (the first of equals in neighbour order).
std::vector<size_t> TraceRiver(const TRiverGround &ground, size_t source)
{
    std::vector<size_t> path{source};
    size_t at = source;
    while (ground.CostToWater[at] > 0) {
        const int cx = int(at % size_t(ground.Columns));
        const int cy = int(at / size_t(ground.Columns));
        size_t best = at;
        for (int d = 0; d < 8; ++d) {
            const int nx = cx + StepX[d], ny = cy + StepY[d];
            if (nx < 0 || ny < 0 || nx >= ground.Columns || ny >= ground.Rows)
                continue;
            const size_t n = ground.Index(nx, ny);
            if (ground.CostToWater[n] < ground.CostToWater[best])
                best = n;
        }
        if (best == at)
            break; // cannot happen for a reachable sample; keeps the loop safe
        path.push_back(best);
        at = best;
    }
    return path;
}

bool IsGoodSource(const TRiverGround &ground, size_t i, int32_t sourceHeight)
{
    return !ground.IsWater[i] && !ground.IsMountain[i] && ground.Height[i] >= sourceHeight &&
           ground.CostToWater[i] != Unreachable;
}

// Paints a traced river: straight runs between the samples, each moved a
// little at random so the river meanders, then onwards in its last direction
// until it meets water in the picture (the coarse water may lie a few pixels on).
void PaintRiver(TWorldPicture &picture, const TRiverGround &ground, const std::vector<size_t> &path, int stepShift,
                TPcg32 &rng)
{
    const int step = 1 << stepShift;
    const int jitter = step / 3;
    auto place = [&](size_t i, bool moved) {
        int x = int(i % size_t(ground.Columns)) << stepShift;
        int y = int(i / size_t(ground.Columns)) << stepShift;
        if (moved && jitter > 0) {
            x += int(rng.Random(uint32_t(2 * jitter + 1))) - jitter;
            y += int(rng.Random(uint32_t(2 * jitter + 1))) - jitter;
        }
        return std::pair{std::clamp(x, 0, picture.Width - 1), std::clamp(y, 0, picture.Height - 1)};
    };
    auto paint = [&](int x, int y) { picture.SetRed(x, y, WorldRed::Water); };

    auto [x, y] = place(path.front(), false);
    for (size_t k = 1; k < path.size(); ++k) {
        const auto [nx, ny] = place(path[k], true);
        DrawLine(picture, x, y, nx, ny, paint);
        x = nx;
        y = ny;
    }
    if (path.size() < 2)
        return;
    const int dx = int(path.back() % size_t(ground.Columns)) - int(path[path.size() - 2] % size_t(ground.Columns));
    const int dy = int(path.back() / size_t(ground.Columns)) - int(path[path.size() - 2] / size_t(ground.Columns));
    for (int k = 0; k < 2 * step + 2; ++k) {
        const int nx = x + dx, ny = y + dy;
        if (!picture.Contains(nx, ny) || picture.RedAt(nx, ny) == WorldRed::Water)
            return;
        paint(nx, ny);
        x = nx;
        y = ny;
    }
}

} // namespace

void AddRivers(TWorldPicture &picture, const TWorldFields &fields, const TWorldLevels &levels, uint64_t seed)
{
    if (picture.Width < MinRiverSide || picture.Height < MinRiverSide)
        return;
    TRiverGround ground = SurveyGround(fields, levels);
    MeasureCostToWater(ground);

    std::vector<int32_t> landHeights;
    for (size_t i = 0; i < ground.Height.size(); ++i)
        if (!ground.IsWater[i])
            landHeights.push_back(ground.Height[i]);
    const int32_t sourceHeight = Quantile(std::move(landHeights), SourceHeightPermille);
    const int scale = std::max(picture.Width, picture.Height);
    const size_t minLength = size_t(std::max(2, (scale * MinLengthPermille / 1000) >> fields.StepShift));

    TPcg32 rng;
    rng.Seed(seed, RiverStream);
    const int64_t rivers = int64_t(picture.Width) * picture.Height / PixelsPerRiver + BaseRivers;
    for (int64_t r = 0; r < rivers; ++r) {
        for (int attempt = 0; attempt < SourceTries; ++attempt) {
            const int cx = int(rng.Random(uint32_t(ground.Columns)));
            const int cy = int(rng.Random(uint32_t(ground.Rows)));
            const size_t source = ground.Index(cx, cy);
            if (!IsGoodSource(ground, source, sourceHeight))
                continue;
            const std::vector<size_t> path = TraceRiver(ground, source);
            if (path.size() < minLength)
                continue;
            PaintRiver(picture, ground, path, fields.StepShift, rng);
            break;
        }
    }
}
