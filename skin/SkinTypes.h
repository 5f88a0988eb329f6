#pragma once
// Plain values the windows hand to the skin, whatever toolkit draws them.

#include <cstdint>

struct SkinColor {
    std::uint8_t r, g, b;
};

struct SkinPoint {
    int x = 0, y = 0;
};

// Modifiers of a key (OnKeyDown), and the virtual-key codes the windows use.
constexpr unsigned kKeyShift = 1, kKeyCtrl = 2, kKeyAlt = 4;
#ifndef VK_RETURN  // Windows' own, where its headers came first
constexpr unsigned VK_RETURN = 0x0D, VK_SPACE = 0x20, VK_PRIOR = 0x21, VK_NEXT = 0x22, VK_END = 0x23,
                   VK_HOME = 0x24, VK_UP = 0x26, VK_DOWN = 0x28, VK_F3 = 0x72;  // letters: 'A' to 'Z'
#endif

// ShowWindow's commands.
#ifndef SW_HIDE
constexpr int SW_HIDE = 0, SW_RESTORE = 9, SW_MINIMIZE = 6;
#endif

// A menu command's keyboard shortcut: Ctrl with a letter ('H': Ctrl+H), or
// the system's Copy keys (Ctrl+C and its equivalents).
struct SkinShortcut {
    char ctrlLetter = 0;
    bool standardCopy = false;
};

// The ground of the skinned lists' empty parts, which their owners set.
constexpr SkinColor kListBackground{51, 51, 112};
