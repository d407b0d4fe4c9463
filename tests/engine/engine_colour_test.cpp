// Pixel conversions: the worked colours, the places where extended precision
// decides a bin, and the fast counting paths against the formulas.
#include "colour.h"

#include <gtest/gtest.h>

#include <random>
#include <thread>
#include <vector>

using namespace tonalyx;

namespace {

struct TColourCase {
    int r, g, b;
    int H, S, V, L, A, B;
};

TModelBins FormulaHSV(int r, int g, int b) {
    const TMaxMin mm = RGBMaxMin(r, g, b);
    return {HueIndex(r, g, b, mm), SatIndex(mm), ValIndex(mm)};
}

TModelBins FormulaLab(int r, int g, int b) {
    // The linear values straight from the curve, not from the table the counting uses.
    const Extended lr = LinearComponent(r), lg = LinearComponent(g), lb = LinearComponent(b);
    const TXYZ xyz{0.4124L * lr + 0.3576L * lg + 0.1805L * lb,
                   0.2126L * lr + 0.7152L * lg + 0.0722L * lb,
                   0.0193L * lr + 0.1192L * lg + 0.9505L * lb};
    const TLabF f = XYZToLabF(xyz);
    return {LIndex(f), AIndex(f), BIndex(f)};
}

} // namespace

class WorkedColours : public testing::TestWithParam<TColourCase> {};

TEST_P(WorkedColours, GiveTheirBins) {
    const TColourCase& c = GetParam();
    const TModelBins hsv = FormulaHSV(c.r, c.g, c.b);
    EXPECT_EQ(hsv.a, c.H);
    EXPECT_EQ(hsv.b, c.S);
    EXPECT_EQ(hsv.c, c.V);
    EXPECT_EQ(HSVBins(c.r, c.g, c.b), hsv);
    if (c.L >= 0) {
        const TModelBins lab = FormulaLab(c.r, c.g, c.b);
        EXPECT_EQ(lab.a, c.L);
        EXPECT_EQ(lab.b, c.A);
        EXPECT_EQ(lab.c, c.B);
        EXPECT_EQ(LabBins(c.r, c.g, c.b), lab);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Colours, WorkedColours,
    testing::Values(TColourCase{0, 0, 0, 0, 0, 0, 0, 256, 256},           // black
                    TColourCase{255, 255, 255, 0, 0, 600, 600, 256, 256}, // white
                    TColourCase{128, 128, 128, 0, 0, 301, 322, 256, 256}, // grey
                    TColourCase{255, 0, 0, 0, 600, 600, 319, 416, 390},   // red
                    TColourCase{0, 255, 0, 480, 600, 600, 526, 84, 422},  // green
                    TColourCase{0, 0, 255, 960, 600, 600, 194, 414, 40},  // blue
                    TColourCase{10, 20, 30, 840, 400, 71, -1, 0, 0},
                    // Just below red: outside the hue range that is shown.
                    TColourCase{255, 0, 1, 1439, 600, 600, -1, 0, 0},
                    // Maximum shared by red and green: the red formula, yellow.
                    TColourCase{255, 255, 0, 240, 600, 600, -1, 0, 0},
                    // Shared by green and blue: the green formula, cyan.
                    TColourCase{0, 255, 255, 720, 600, 600, -1, 0, 0},
                    TColourCase{255, 0, 255, 1200, 600, 600, -1, 0, 0})); // magenta

TEST(Hue, SectorsAndTies) {
    // 60 x 1 / 2 = 30 degrees: bin 120; a quarter-degree tie rounds to even.
    EXPECT_EQ(HueIndex(2, 1, 0, RGBMaxMin(2, 1, 0)), 120);
    // 60 x 1 / 160 = 0.375 degrees = 1.5 quarter degrees: tie, to the even 2.
    EXPECT_EQ(HueIndex(160, 1, 0, RGBMaxMin(160, 1, 0)), 2);
    // 60 x 1 / 32 x 4 = 7.5: tie, to the even 8.
    EXPECT_EQ(HueIndex(32, 1, 0, RGBMaxMin(32, 1, 0)), 8);
    EXPECT_EQ(HSVBins(32, 1, 0).a, 8);
}

TEST(Saturation, ExtendedPrecisionDecidesNearHalves) {
    // (1 - 13/48) x 600 is 437.5 exactly, but in extended precision it comes out just
    // below the half, in double just above it; the extended answer is the program's.
    struct {
        int max, min, bin;
    } cases[] = {{48, 13, 437}, {48, 17, 388}, {48, 47, 12}, {80, 63, 127}, {80, 77, 23}};
    for (auto c : cases) {
        EXPECT_EQ(SatIndex({c.max, c.min}), c.bin) << c.max << "/" << c.min;
        EXPECT_EQ(HSVBins(c.max, (c.max + c.min) / 2, c.min).b, c.bin);
        const double dbl = (1 - static_cast<double>(c.min) / c.max) * 600;
        EXPECT_NE(RoundHalfEven(dbl), c.bin) << "double would agree here: not a telling case";
    }
}

TEST(Value, HalfwayGreyAndEnds) {
    EXPECT_EQ(ValIndex({0, 0}), 0);
    EXPECT_EQ(ValIndex({128, 0}), 301);
    EXPECT_EQ(ValIndex({255, 0}), 600);
}

TEST(Lab, BlackTakesTheLinearBranchAndClampsHold) {
    EXPECT_EQ(LabF(0), 16.0L / 116.0L);
    // The a and b bins of 8-bit input stay well inside the clamps.
    int aMin = 510, aMax = 0, bMin = 510, bMax = 0;
    for (int r : {0, 255})
        for (int g : {0, 255})
            for (int b : {0, 255}) {
                const TModelBins lab = FormulaLab(r, g, b);
                aMin = std::min<int>(aMin, lab.b);
                aMax = std::max<int>(aMax, lab.b);
                bMin = std::min<int>(bMin, lab.c);
                bMax = std::max<int>(bMax, lab.c);
            }
    EXPECT_EQ(aMin, 84);
    EXPECT_EQ(aMax, 453);
    EXPECT_EQ(bMin, 40);
    EXPECT_EQ(bMax, 445);
}

TEST(FastPaths, EveryValueOfEachComponent) {
    for (int v = 0; v < 256; ++v) {
        for (auto [r, g, b] :
             {std::tuple{v, 0, 0}, std::tuple{0, v, 0}, std::tuple{0, 0, v}, std::tuple{v, v, v},
              std::tuple{v, 255 - v, 128}, std::tuple{255, v, 0}, std::tuple{v, 255, 255}}) {
            ASSERT_EQ(HSVBins(r, g, b), FormulaHSV(r, g, b)) << r << "," << g << "," << b;
            ASSERT_EQ(LabBins(r, g, b), FormulaLab(r, g, b)) << r << "," << g << "," << b;
        }
    }
}

TEST(FastPaths, RandomPixels) {
    std::mt19937 rng(20261208);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int i = 0; i < 300000; ++i) {
        const int r = byte(rng), g = byte(rng), b = byte(rng);
        ASSERT_EQ(HSVBins(r, g, b), FormulaHSV(r, g, b)) << r << "," << g << "," << b;
        ASSERT_EQ(LabBins(r, g, b), FormulaLab(r, g, b)) << r << "," << g << "," << b;
    }
}

// All 2^24 colours, split over the cores. The fast paths rest on how the compiler evaluates
// double precision (L*a*b* with a cube root of its own), so this runs wherever the program
// is built.
TEST(FastPaths, EveryColour) {
#ifdef TONALYX_SANITIZED
    GTEST_SKIP() << "exhaustive check runs in the plain build";
#endif
    const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    std::vector<int> mismatches(threads, 0);
    std::vector<std::thread> pool;
    for (unsigned t = 0; t < threads; ++t)
        pool.emplace_back([t, threads, &mismatches] {
            for (unsigned r = t; r < 256; r += threads)
                for (int g = 0; g < 256; ++g)
                    for (int b = 0; b < 256; ++b) {
                        const int ri = static_cast<int>(r);
                        if (!(HSVBins(ri, g, b) == FormulaHSV(ri, g, b)) ||
                            !(LabBins(ri, g, b) == FormulaLab(ri, g, b)))
                            ++mismatches[t];
                    }
        });
    for (auto& th : pool)
        th.join();
    int total = 0;
    for (int m : mismatches)
        total += m;
    EXPECT_EQ(total, 0);
}
