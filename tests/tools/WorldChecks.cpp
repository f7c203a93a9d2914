#include "WorldChecks.h"

#include "WorldRed.h"

#include <algorithm>
#include <utility>
#include <vector>

// Whether the size x size block with its top left corner at (x, y) is all one red value.
bool IsUniformBlock(const TWorldPicture &picture, int x, int y, int size, uint8_t red)
{
    for (int dy = 0; dy < size; ++dy)
        for (int dx = 0; dx < size; ++dx)
            if (picture.RedAt(x + dx, y + dy) != red)
                return false;
    return true;
}

int CountUniformBlocks(const TWorldPicture &picture, int size, uint8_t red)
{
    int count = 0;
    for (int y = 0; y + size <= picture.Height; ++y)
        for (int x = 0; x + size <= picture.Width; ++x)
            count += IsUniformBlock(picture, x, y, size, red);
    return count;
}

// Pixels whose eight neighbours all hold another red value than their own.
int CountSinglePixels(const TWorldPicture &picture)
{
    int count = 0;
    for (int y = 1; y + 1 < picture.Height; ++y) {
        for (int x = 1; x + 1 < picture.Width; ++x) {
            bool alone = true;
            for (int dy = -1; dy <= 1 && alone; ++dy)
                for (int dx = -1; dx <= 1 && alone; ++dx)
                    if ((dx || dy) && picture.RedAt(x + dx, y + dy) == picture.RedAt(x, y))
                        alone = false;
            count += alone;
        }
    }
    return count;
}

// Whether (x, y) lies on a line one pixel wide of its red value: both
// neighbours across the line (left and right, or above and below) differ from
// it, while at least two of its other neighbours carry on the line.
bool IsThinLinePixel(const TWorldPicture &picture, int x, int y, uint8_t red)
{
    if (x < 1 || y < 1 || x + 1 >= picture.Width || y + 1 >= picture.Height || picture.RedAt(x, y) != red)
        return false;
    int same = 0;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            same += (dx || dy) && picture.RedAt(x + dx, y + dy) == red;
    const bool acrossRow = picture.RedAt(x - 1, y) != red && picture.RedAt(x + 1, y) != red;
    const bool acrossColumn = picture.RedAt(x, y - 1) != red && picture.RedAt(x, y + 1) != red;
    return (acrossRow || acrossColumn) && same >= 2;
}

// The most pixels of one connected run of such line pixels.
int LongestThinLine(const TWorldPicture &picture, uint8_t red)
{
    std::vector<uint8_t> seen(picture.Reds.size(), 0);
    int longest = 0;
    for (int startY = 0; startY < picture.Height; ++startY) {
        for (int startX = 0; startX < picture.Width; ++startX) {
            if (seen[picture.Index(startX, startY)] || !IsThinLinePixel(picture, startX, startY, red))
                continue;
            int length = 0;
            std::vector<std::pair<int, int>> stack{{startX, startY}};
            seen[picture.Index(startX, startY)] = 1;
            while (!stack.empty()) {
                const auto [x, y] = stack.back();
                stack.pop_back();
                ++length;
                for (int dy = -1; dy <= 1; ++dy) {
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int nx = x + dx, ny = y + dy;
                        if (picture.Contains(nx, ny) && !seen[picture.Index(nx, ny)] &&
                            IsThinLinePixel(picture, nx, ny, red)) {
                            seen[picture.Index(nx, ny)] = 1;
                            stack.push_back({nx, ny});
                        }
                    }
                }
            }
            longest = std::max(longest, length);
        }
    }
    return longest;
}

// Sizes of the 4-connected areas of water that do not touch the picture's edge.
std::vector<int> InlandWaterSizes(const TWorldPicture &picture)
{
    std::vector<uint8_t> seen(picture.Reds.size(), 0);
    std::vector<int> sizes;
    for (int startY = 0; startY < picture.Height; ++startY) {
        for (int startX = 0; startX < picture.Width; ++startX) {
            if (seen[picture.Index(startX, startY)] || picture.RedAt(startX, startY) != WorldRed::Water)
                continue;
            int size = 0;
            bool touchesEdge = false;
            std::vector<std::pair<int, int>> stack{{startX, startY}};
            seen[picture.Index(startX, startY)] = 1;
            while (!stack.empty()) {
                const auto [x, y] = stack.back();
                stack.pop_back();
                ++size;
                touchesEdge |= x == 0 || y == 0 || x + 1 == picture.Width || y + 1 == picture.Height;
                const std::pair<int, int> next[] = {{x + 1, y}, {x - 1, y}, {x, y + 1}, {x, y - 1}};
                for (const auto &[nx, ny] : next) {
                    if (picture.Contains(nx, ny) && !seen[picture.Index(nx, ny)] &&
                        picture.RedAt(nx, ny) == WorldRed::Water) {
                        seen[picture.Index(nx, ny)] = 1;
                        stack.push_back({nx, ny});
                    }
                }
            }
            if (!touchesEdge)
                sizes.push_back(size);
        }
    }
    return sizes;
}
