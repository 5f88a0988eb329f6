#pragma once
// Plain values the windows hand to the skin, whatever toolkit draws them.

#include <cstdint>

struct SkinColor {
    std::uint8_t r, g, b;
};

// A menu command's keyboard shortcut: Ctrl with a letter ('H': Ctrl+H), or
// the system's Copy keys (Ctrl+C and its equivalents).
struct SkinShortcut {
    char ctrlLetter = 0;
    bool standardCopy = false;
};

// The ground of the skinned lists' empty parts, which their owners set.
constexpr SkinColor kListBackground{51, 51, 112};
