#include "CoarseField.h"
#include "ValueNoise.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

TEST(ValueNoise, SmoothstepWeights)
{
    const struct
    {
        int F, Spacing;
        int32_t Weight;
    } cases[] = {
        {0, 4, 0}, {1, 4, 640}, {2, 4, 2048}, {3, 4, 3456}, // the worked example of the header
        {0, 1, 0}, {1, 2, 2048}, {5, 10, 2048}, {1, 3, 1061}, {2, 3, 3034},
    };
    for (const auto &c : cases)
        EXPECT_EQ(SmoothstepWeight(c.F, c.Spacing), c.Weight) << c.F << " of " << c.Spacing;
}

TEST(ValueNoise, FractalSpacingsShrinkToTheMinimum)
{
    const struct
    {
        int First, Min;
        std::vector<int> Spacings;
    } cases[] = {
        {100, 2, {100, 53, 28, 15, 8, 4, 2}},
        {100, 20, {100, 53, 28}},
        {3, 3, {3}},
        {1, 2, {}},    // already below the minimum: no octave
        {2, 1, {2, 1}} // a spacing of 1 does not shrink further
    };
    for (const auto &c : cases)
        EXPECT_EQ(FractalSpacings(c.First, c.Min), c.Spacings) << c.First << " down to " << c.Min;
}

std::vector<int32_t> OctaveRow(TNoiseOctave &octave, int y, int width)
{
    std::vector<int32_t> row(size_t(width), 0);
    octave.AddRow(y, row.data());
    return row;
}

// A row is the same whether the rows before it were asked for or skipped.
TEST(ValueNoise, RowsDoNotDependOnTheRowsAskedBefore)
{
    for (int spacing : {1, 3, 16}) {
        SCOPED_TRACE(spacing);
        TNoiseOctave everyRow(9, 4, 101, spacing, 1000);
        std::vector<std::vector<int32_t>> rows;
        for (int y = 0; y < 60; ++y)
            rows.push_back(OctaveRow(everyRow, y, 101));
        TNoiseOctave someRows(9, 4, 101, spacing, 1000);
        for (int y : {5, 5, 17, 18, 59})
            EXPECT_EQ(OctaveRow(someRows, y, 101), rows[size_t(y)]) << "row " << y;
    }
}

TEST(ValueNoise, ValuesStayWithinTheAmplitudeAndVary)
{
    TNoiseOctave octave(1, 1, 300, 7, 500);
    int32_t lowest = 0, highest = 0;
    for (int y = 0; y < 50; ++y) {
        const std::vector<int32_t> row = OctaveRow(octave, y, 300);
        lowest = std::min(lowest, *std::min_element(row.begin(), row.end()));
        highest = std::max(highest, *std::max_element(row.begin(), row.end()));
    }
    EXPECT_GE(lowest, -500);
    EXPECT_LE(highest, 500);
    EXPECT_LT(lowest, -250);
    EXPECT_GT(highest, 250);
}

TEST(ValueNoise, StreamsAndSeedsGiveDifferentNoise)
{
    TNoiseOctave a(1, 1, 64, 4, 1000), b(1, 1, 64, 4, 1000), c(1, 2, 64, 4, 1000), d(2, 1, 64, 4, 1000);
    const std::vector<int32_t> rowA = OctaveRow(a, 3, 64);
    EXPECT_EQ(OctaveRow(b, 3, 64), rowA);
    EXPECT_NE(OctaveRow(c, 3, 64), rowA);
    EXPECT_NE(OctaveRow(d, 3, 64), rowA);
}

// Samples 4 pixels apart (shift 2) over a picture of 9 x 5 pixels: 4 x 3 samples.
TEST(CoarseField, InterpolatesLinearlyBetweenSamplesRoundingDown)
{
    TCoarseField field(9, 5, 2);
    ASSERT_EQ(field.Step(), 4);
    ASSERT_EQ(field.Columns(), 4);
    ASSERT_EQ(field.Rows(), 3);
    const int32_t samples[3][4] = {{0, 8, -6, 100}, {16, 8, 0, 100}, {0, 0, 0, 0}};
    for (int cy = 0; cy < 3; ++cy)
        for (int cx = 0; cx < 4; ++cx)
            field.At(cx, cy) = samples[cy][cx];

    // Between 8 and -6 the exact values are 8, 4.5, 1, -2.5: rounded down.
    const struct
    {
        int Y;
        std::vector<int32_t> Row;
    } cases[] = {
        {0, {0, 2, 4, 6, 8, 4, 1, -3, -6}},   // the first row of samples
        {2, {8, 8, 8, 8, 8, 5, 2, -1, -3}},   // halfway down: 8, 8 and -3 below the samples
        {4, {16, 14, 12, 10, 8, 6, 4, 2, 0}}, // the second row of samples
    };
    for (const auto &c : cases) {
        std::vector<int32_t> row(9);
        field.InterpolateRow(c.Y, 9, row.data());
        EXPECT_EQ(row, c.Row) << "row " << c.Y;
    }
}

TEST(CoarseField, Quantiles)
{
    const std::vector<int32_t> values = {5, -3, 9, 1, 7, 3, -1, 0, 2, 8};
    const struct
    {
        int Permille;
        int32_t Value;
    } cases[] = {{0, -3}, {100, -1}, {500, 3}, {550, 3}, {900, 9}, {1000, 9}, {-5, -3}, {2000, 9}};
    for (const auto &c : cases)
        EXPECT_EQ(Quantile(values, c.Permille), c.Value) << c.Permille;
    EXPECT_EQ(Quantile({}, 500), 0);
}

} // namespace
