#include "histogram.h"

namespace tonalyx {

namespace {

constexpr TChanData TAllChanel::*const ChannelFields[ChannelCount] = {
    &TAllChanel::RGB, &TAllChanel::R, &TAllChanel::G, &TAllChanel::B, &TAllChanel::H,
    &TAllChanel::S,   &TAllChanel::V, &TAllChanel::L, &TAllChanel::A, &TAllChanel::B_};

struct TChannelTraits {
    const char* Name;
    TColorModel Model;
    TOthers Params; // IndLow, IndHigh, SmoothCntFactor, SmoothCntMin
};

constexpr TChannelTraits Traits[ChannelCount] = {
    {"RGB", TColorModel::RGB, {0, 255, 1, 0}}, {"R", TColorModel::RGB, {0, 255, 1, 0}},
    {"G", TColorModel::RGB, {0, 255, 1, 0}},   {"B", TColorModel::RGB, {0, 255, 1, 0}},
    {"H", TColorModel::HSV, {0, 1436, 8, 0}},  {"S", TColorModel::HSV, {0, 600, 12, 0}},
    {"V", TColorModel::HSV, {0, 600, 18, 8}},  {"L", TColorModel::LAB, {0, 600, 12, 0}},
    {"A", TColorModel::LAB, {0, 510, 2, 0}},   {"B_", TColorModel::LAB, {0, 510, 2, 0}}};

} // namespace

TChanData& TAllChanel::operator[](TChannel c) {
    return this->*ChannelFields[static_cast<int>(c)];
}

const TChanData& TAllChanel::operator[](TChannel c) const {
    return this->*ChannelFields[static_cast<int>(c)];
}

TColorModel ModelOf(TChannel c) {
    return Traits[static_cast<int>(c)].Model;
}
const char* ChannelName(TChannel c) {
    return Traits[static_cast<int>(c)].Name;
}

TAllChanel OriginParameters() {
    TAllChanel set{};
    for (TChannel c : AllChannels)
        set[c].Others = Traits[static_cast<int>(c)].Params;
    return set;
}

THist::THist() {
    Data[Origin] = OriginParameters();
}

} // namespace tonalyx
