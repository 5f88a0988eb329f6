#pragma once
// Plain values the windows hand to the skin, whatever toolkit draws them.

#include <cstdint>

struct SkinColor {
    std::uint8_t r, g, b;
};

// The ground of the skinned lists' empty parts, which their owners set.
constexpr SkinColor kListBackground{51, 51, 112};
