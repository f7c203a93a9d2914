#pragma once

#include "WorldPainter.h"

#include <cstdint>
#include <vector>

// Measures of a painted world that the tests look for.

// Whether the size x size block with its top left corner at (x, y) is all one red value.
bool IsUniformBlock(const TWorldPicture &picture, int x, int y, int size, uint8_t red);
// How many size x size blocks (at any position) are all that red value.
int CountUniformBlocks(const TWorldPicture &picture, int size, uint8_t red);
// Pixels whose eight neighbours all hold another red value than their own.
int CountSinglePixels(const TWorldPicture &picture);
// Whether (x, y) lies on a line one pixel wide of that red value.
bool IsThinLinePixel(const TWorldPicture &picture, int x, int y, uint8_t red);
// The most pixels of one 8-connected run of such line pixels.
int LongestThinLine(const TWorldPicture &picture, uint8_t red);
// Sizes of the 4-connected areas of water that do not touch the picture's edge.
std::vector<int> InlandWaterSizes(const TWorldPicture &picture);
