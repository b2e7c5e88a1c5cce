#include "assets/NeuriteControlPoints.h"

namespace velmora {

namespace {

// Interior curve points per neurite, pixels. Each list is drawn by hand over the
// layout: the inputs enter at the left edge, the dendrites bend into their cell
// bodies, the long axon branches arc across the picture.
constexpr ScreenVector kViaA1[] = {{35, 206.8}, {95, 218}};
constexpr ScreenVector kViaA2[] = {{60, 600}, {125, 589.6}, {195, 597}};
constexpr ScreenVector kViaA3[] = {{60, 106}, {120, 146}, {162, 158.6}};
constexpr ScreenVector kViaA4[] = {{60, 418}, {110, 446}};
constexpr ScreenVector kViaA5[] = {{256, 296}};
constexpr ScreenVector kViaA6[] = {{276.8, 385}, {262, 440}};
constexpr ScreenVector kViaA7[] = {{285, 325.6}, {322, 350}};
constexpr ScreenVector kViaA8[] = {{502, 516.6}, {526, 508}};
constexpr ScreenVector kViaA9[] = {{600, 467}, {660, 462.6}, {750, 488}, {850, 548}, {950, 603}};
constexpr ScreenVector kViaA10[] = {{563, 455}, {565.6, 425}};
constexpr ScreenVector kViaA11[] = {{566, 352}, {572.6, 322}};
constexpr ScreenVector kViaA12[] = {{548, 322}, {505, 244}, {432, 188}, {340, 160}};
constexpr ScreenVector kViaA13[] = {{729, 312}};
constexpr ScreenVector kViaA14[] = {{750.6, 370}, {735, 455}, {682, 560}, {600, 632}, {500, 657.6}, {420, 640}, {370, 600}};
constexpr ScreenVector kViaA15[] = {{772, 292}, {800, 252}};
constexpr ScreenVector kViaA16[] = {{900, 200}, {962, 184}};
constexpr ScreenVector kViaA17[] = {{805, 150}, {745, 96}, {640, 70}, {500, 65.6}, {380, 72}, {300, 88}};
constexpr ScreenVector kViaD1[] = {{150, 243}, {180, 231}};
constexpr ScreenVector kViaD2[] = {{182, 136}, {200, 166}, {212, 195}};
constexpr ScreenVector kViaD3[] = {{247, 113}, {255, 138}, {257.6, 156}, {255, 178}};
constexpr ScreenVector kViaD4[] = {{228, 640}, {241, 620}, {285, 590}, {335, 554}, {385, 521}};
constexpr ScreenVector kViaD5[] = {{142, 485}, {190, 491.6}, {258, 477}, {330, 466.6}};
constexpr ScreenVector kViaD6[] = {{357, 401}, {420, 372}, {470, 340}, {520, 316}, {572, 301}, {607, 294.6}};

constexpr ScreenVector kAuto{0.0, 0.0};

// Indices of the axons that fork, named for the parent column below.
constexpr int kA5 = 4;
constexpr int kA8 = 7;
constexpr int kA10 = 9;
constexpr int kA13 = 12;
constexpr int kA15 = 14;

// Cell body outlines, pixels from the centre, clockwise on the screen.
// Soma1: compact, with a notch on top where D3 arrives.
constexpr ScreenVector kOutlineSoma1[] = {
    {-12, -26}, {-3, -18.5}, {6, -26}, {16, -22}, {23, -10}, {24.5, 5}, {19, 18}, {6, 25},
    {-8, 24}, {-20, 16}, {-26, 2}, {-24, -14}};
// Soma2: triangular, drawn out into a tail to the lower right where A8 leaves.
constexpr ScreenVector kOutlineSoma2[] = {
    {-7, -29}, {3, -28}, {11, -16}, {18, -2}, {25, 12}, {31.5, 26}, {22, 26}, {9, 21},
    {-6, 19}, {-20, 13}, {-31, 3}, {-27, -8}, {-17, -21}};
// Soma3: a spindle, broad on the left, pointed on the right where A13 leaves.
constexpr ScreenVector kOutlineSoma3[] = {
    {-28, -3}, {-24, -12}, {-13, -16.5}, {1, -14}, {15, -8}, {30, -1}, {15, 5}, {1, 11},
    {-13, 15.5}, {-24, 10}};

constexpr int kAxonsSoma1[] = {4};           // A5
constexpr int kDendritesSoma1[] = {17, 18, 19};  // D1, D2, D3
constexpr int kAxonsSoma2[] = {7};           // A8
constexpr int kDendritesSoma2[] = {20, 21};  // D4, D5
constexpr int kAxonsSoma3[] = {12};          // A13
constexpr int kDendritesSoma3[] = {22};      // D6

}  // namespace

const std::array<SomaControl, kSomaCount> kSomaControls = {{
    {"Soma1", {242, 225}, kOutlineSoma1, {-2, 1}, {202, 184}, {13, 65, 11, 67}, kAxonsSoma1, kDendritesSoma1},
    {"Soma2", {450, 486}, kOutlineSoma2, {-5, -1}, {411, 446}, {6, 72, 9, 69}, kAxonsSoma2, kDendritesSoma2},
    {"Soma3", {671, 313}, kOutlineSoma3, {-9, 0}, {633, 273}, {9, 69, 22, 57}, kAxonsSoma3, kDendritesSoma3},
}};

// Stored in model order: A1 .. A17, D1 .. D6.
const std::array<NeuriteControl, kNeuriteCount> kNeuriteControls = {{
    {"A1", 157, {2, 208}, {147, 242}, {2, 147, 207, 242}, NormalSide::kLeft, -1, kViaA1,
     {1.0, 0.0097}, {0.8142, 0.5806}, kAuto, 3.0},
    {"A2", 251, {3, 612}, {238, 615}, {3, 238, 590, 615}, NormalSide::kLeft, -1, kViaA2,
     {1.0, -0.1}, {0.7, 0.7}, kAuto, 3.0},
    {"A3", 212, {1, 91}, {182, 140}, {1, 182, 91, 158}, NormalSide::kLeft, -1, kViaA3,
     {1.0, 0.15}, {0.6, -0.8}, kAuto, 3.0},
    {"A4", 177, {4, 406}, {145, 483}, {4, 145, 406, 483}, NormalSide::kLeft, -1, kViaA4,
     {1.0, 0.1}, {0.7, 0.7}, kAuto, 3.0},
    {"A5", 75, {250, 260}, {267, 332}, {250, 267, 260, 332}, NormalSide::kLeft, -1, kViaA5,
     {0.1, 1.0}, {0.45, 1.0}, kAuto, 5.0},
    {"A6", 149, {268, 333}, {248, 475}, {248, 277, 333, 475}, NormalSide::kLeft, kA5, kViaA6,
     {0.4, 1.0}, {-0.5, 1.0}, kAuto, 3.5},
    {"A7", 135, {268, 333}, {357, 400}, {268, 357, 326, 400}, NormalSide::kLeft, kA5, kViaA7,
     {0.6, -0.8}, {0.7, 0.75}, kAuto, 3.5},
    {"A8", 73, {483, 514}, {549, 495}, {483, 549, 495, 516}, NormalSide::kLeft, -1, kViaA8,
     {1.0, 0.2}, {1.0, -0.5}, kAuto, 5.0},
    {"A9", 554, {549, 494}, {1020, 626}, {549, 1020, 463, 626}, NormalSide::kLeft, kA8, kViaA9,
     {0.8, -0.6}, {1.0, 0.3}, kAuto, 3.5},
    {"A10", 102, {549, 494}, {557, 398}, {549, 565, 398, 494}, NormalSide::kRight, kA8, kViaA10,
     {0.4, -1.0}, {-0.3, -1.0}, kAuto, 3.5},
    {"A11", 96, {556, 396}, {571, 304}, {556, 572, 304, 396}, NormalSide::kRight, kA10, kViaA11,
     {0.4, -1.0}, {-0.1, -1.0}, kAuto, 3.0},
    {"A12", 440, {556, 397}, {257, 154}, {257, 556, 154, 397}, NormalSide::kRight, kA10, kViaA12,
     {-0.3, -1.0}, {-1.0, 0.02}, kAuto, 3.0},
    {"A13", 28, {716, 311}, {742, 314}, {716, 742, 311, 314}, NormalSide::kLeft, -1, kViaA13,
     {1.0, 0.1}, {1.0, 0.12}, {0.1159, -0.9933}, 5.0},
    {"A14", 674, {742, 315}, {335, 556}, {335, 750, 315, 657}, NormalSide::kRight, kA13, kViaA14,
     {0.3, 1.0}, {-0.6, -0.8}, kAuto, 3.5},
    {"A15", 130, {742, 315}, {824, 218}, {742, 824, 218, 315}, NormalSide::kLeft, kA13, kViaA15,
     {0.7, -0.6}, {0.5, -1.0}, kAuto, 3.5},
    {"A16", 207, {824, 218}, {1022, 178}, {824, 1022, 178, 218}, NormalSide::kLeft, kA15, kViaA16,
     {1.0, -0.2}, {1.0, -0.05}, kAuto, 3.0},
    {"A17", 712, {824, 219}, {249, 113}, {249, 824, 66, 219}, NormalSide::kRight, kA15, kViaA17,
     {-0.2, -1.0}, {-0.8, 0.6}, kAuto, 3.0},
    {"D1", 90, {136, 260}, {212, 223}, {136, 212, 223, 260}, NormalSide::kLeft, -1, kViaD1,
     {0.6, -0.8}, {1.0, -0.15}, kAuto, 4.0},
    {"D2", 106, {175, 120}, {218, 212}, {175, 218, 120, 212}, NormalSide::kLeft, -1, kViaD2,
     {0.4, 1.0}, {0.3, 1.0}, kAuto, 4.0},
    {"D3", 97, {242, 102}, {253, 196}, {242, 257, 102, 196}, NormalSide::kLeft, -1, kViaD3,
     {0.4, 1.0}, {-0.1, 1.0}, kAuto, 4.0},
    {"D4", 305, {220, 672}, {433, 503}, {220, 433, 503, 672}, NormalSide::kLeft, -1, kViaD4,
     {0.3, -1.0}, {1.0, -0.3}, kAuto, 4.5},
    {"D5", 310, {113, 481}, {411, 477}, {113, 411, 467, 491}, NormalSide::kLeft, -1, kViaD5,
     {1.0, 0.1}, {1.0, 0.15}, kAuto, 4.5},
    {"D6", 358, {337, 425}, {643, 302}, {337, 643, 295, 425}, NormalSide::kLeft, -1, kViaD6,
     {0.6, -0.8}, {1.0, 0.2}, kAuto, 4.5},
}};

}  // namespace velmora
