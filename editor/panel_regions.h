// The face's hit regions, in client coordinates with both bounds included.
#pragma once

#include <cstdint>

struct HitRegion {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

constexpr HitRegion kIqLampRegion{40, 136, 60, 155};
constexpr HitRegion kLinkButtonRegion{89, 138, 138, 160};
constexpr HitRegion kKneeKnobRegion{131, 190, 181, 240};
constexpr HitRegion kGainKnobRegion{40, 190, 90, 240};
constexpr HitRegion kAboutHotspot{185, 260, 213, 283};

bool regionContains(const HitRegion& region, int32_t x, int32_t y);
