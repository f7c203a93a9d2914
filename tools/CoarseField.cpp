#include "CoarseField.h"

#include <algorithm>

TCoarseField::TCoarseField(int pictureWidth, int pictureHeight, int stepShift)
    : StepShift(std::clamp(stepShift, 0, 12)),
      StepPixels(1 << StepShift),
      ColumnCount((std::max(pictureWidth, 1) - 1) / StepPixels + 2),
      RowCount((std::max(pictureHeight, 1) - 1) / StepPixels + 2),
      Values(size_t(ColumnCount) * size_t(RowCount), 0)
{
}

void TCoarseField::InterpolateRow(int y, int width, int32_t *out) const
{
    const int cy = y >> StepShift;
    const int64_t fy = y & (StepPixels - 1);
    const int32_t *upper = Values.data() + size_t(cy) * size_t(ColumnCount);
    const int32_t *lower = upper + ColumnCount;

    // 64-bit sums: a difference of two samples times the step squared does not
    // always fit 32 bits. The final shift divides by the step squared, rounding
    // down (arithmetic shift), the same on every platform.
    int x = 0;
    for (int cx = 0; x < width; ++cx) {
        const int64_t topLeft = upper[cx], topRight = upper[cx + 1];
        const int64_t left = topLeft * StepPixels + (lower[cx] - topLeft) * fy;
        const int64_t right = topRight * StepPixels + (lower[cx + 1] - topRight) * fy;
        const int64_t slope = right - left;
        int64_t value = left * StepPixels;
        const int end = std::min(width, x + StepPixels);
        for (; x < end; ++x, value += slope)
            out[x] = int32_t(value >> (2 * StepShift));
    }
}

int32_t Quantile(std::vector<int32_t> values, int permille)
{
    if (values.empty())
        return 0;
    permille = std::clamp(permille, 0, 1000);
    const size_t index = std::min(values.size() - 1, values.size() * size_t(permille) / 1000);
    std::nth_element(values.begin(), values.begin() + std::ptrdiff_t(index), values.end());
    return values[index];
}
