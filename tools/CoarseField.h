#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A field of values sampled every Step pixels, Step a power of two: sample
// (cx, cy) lies on pixel (cx * Step, cy * Step). It has one sample to spare beyond the last pixel
// column and row, so every pixel lies between four samples and can be
// interpolated without a test at the edges.
class TCoarseField
{
public:
    TCoarseField() = default;
    // stepShift is the base-2 logarithm of the step.
    TCoarseField(int pictureWidth, int pictureHeight, int stepShift);

    int Step() const { return StepPixels; }
    int Columns() const { return ColumnCount; }
    int Rows() const { return RowCount; }
    int32_t At(int cx, int cy) const { return Values[size_t(cy) * size_t(ColumnCount) + size_t(cx)]; }
    int32_t &At(int cx, int cy) { return Values[size_t(cy) * size_t(ColumnCount) + size_t(cx)]; }
    int32_t *RowData(int cy) { return Values.data() + size_t(cy) * size_t(ColumnCount); }

    // The values of pixel row y, columns 0 .. width - 1, blended linearly
    // between the samples around each pixel (exact integer arithmetic).
    void InterpolateRow(int y, int width, int32_t *out) const;

private:
    int StepShift = 0;
    int StepPixels = 1;
    int ColumnCount = 0;
    int RowCount = 0;
    std::vector<int32_t> Values;
};

// The value below which permille thousandths of the values lie (the lowest
// value for 0, the highest for 1000); 0 for no values. Takes its own copy.
int32_t Quantile(std::vector<int32_t> values, int permille);
