#include "model/NetworkData.h"

namespace velmora::network {

const std::array<SynapseRecord, kSynapseCount> kSynapses = {{
    {1700.0f, 30.0f, 0.1f, 12.0f, A17, D3},
    {3000.0f, 600.0f, 0.03f, 50.0f, A12, D3},
    {10.0f, 30.0f, 0.6f, 35.0f, A7, D6},
    {20.0f, 6.0f, 0.3f, 142.0f, A6, D5},
    {706.0f, 21.0f, 0.25f, 186.0f, A14, D4},
    {144.0f, 62.0f, 0.32f, 284.0f, A11, D6},
    {144.0f, 62.0f, 0.32f, 21.0f, A3, D2},
    {20.0f, 30.0f, 0.4f, 20.0f, A1, D1},
    {144.0f, 62.0f, 0.32f, 35.0f, A4, D5},
    {20.0f, 5.0f, 0.3f, 59.0f, A2, D4},
}};

const std::array<SynapseShape, kSynapseCount> kSynapseShapes = {{
    {248, 112, -0.2f, -1.0f, 258, 110, 1.0f, 0.0f},
    {257, 154, -0.176117f, -0.984369f, 267, 152, 1.0f, 0.2f},
    {357, 400, 1.0f, -0.6f, 352, 392, -1.0f, -0.7f},
    {258, 476, 1.0f, -0.5f, 256, 465, 1.0f, -6.0f},
    {335, 554, 1.0f, -0.2f, 340, 563, 0.6f, 1.0f},
    {572, 301, -1.0f, 0.0f, 572, 311, -0.3f, 1.0f},
    {182, 136, -1.0f, -1.0f, 176, 144, -1.0f, 1.0f},
    {150, 242, 0.5f, -0.4f, 145, 238, -0.5f, -0.4f},
    {142, 484, 1.0f, -0.1f, 141, 476, -0.5f, -1.0f},
    {240, 621, 1.0f, -1.0f, 234, 613, -1.0f, -0.7f},
}};

const std::array<Branch, kBranchCount> kBranches = {{
    {A5, A6}, {A5, A7}, {A8, A9}, {A8, A10}, {A10, A11},
    {A10, A12}, {A13, A14}, {A13, A15}, {A15, A16}, {A15, A17},
}};

const std::array<SomaLabel, 6> kDendriteSomas = {Soma1, Soma1, Soma1, Soma2, Soma2, Soma3};

const std::array<PathPoint, kSomaCount> kSomaCentres = {{
    {242, 225, 0.0f, 1.0f},
    {450, 486, 0.0f, 1.0f},
    {671, 313, 0.0f, 1.0f},
}};
const std::array<std::int32_t, kSomaCount> kSomaNotes = {4, 8, 12};
const std::array<AxonLabel, kSomaCount> kSomaAxons = {A5, A8, A13};

const std::array<AxonLabel, 2> kStimulusAxons = {A1, A2};
const std::array<AxonLabel, kSourceCount> kSourceAxons = {A3, A4};

const std::array<float, 55> kSpikeTimesT1 = {
    14,   63,   88,   113,  212,  225,  237,  267,  274,  370,  558,  576,  733,  768,
    805,  840,  873,  938,  965,  1006, 1114, 1147, 1177, 1228, 1237, 1250, 1262, 1271,
    1296, 1452, 1489, 1954, 2074, 2150, 2168, 2270, 2280, 2574, 2618, 2855, 3065, 3139,
    3333, 3363, 3374, 3476, 3528, 3652, 3739, 3755, 3802, 3826, 3841, 3914, 3939};
const std::array<float, 47> kSpikeTimesT2 = {
    112,  142,  240,  306,  431,  629,  734,  823,  988,  1021, 1045, 1072, 1110, 1123, 1177, 1194,
    1223, 1316, 1404, 1629, 1775, 1785, 1859, 1897, 2019, 2112, 2158, 2167, 2270, 2386, 2395, 2522,
    2550, 2687, 2757, 3050, 3084, 3166, 3279, 3296, 3321, 3388, 3592, 3627, 3669, 3830, 3979};

}  // namespace velmora::network
