#pragma once
// The skinned drop-down list ("COMBOBOX", CBS_DROPDOWNLIST with fixed-height
// owner-drawn items that keep their strings). The closed box is the skin's
// own face, frame and arrow as the Linux one's; its field shows the current
// item drawn the same way (selected while the box has the focus).

#include <string>

#include "skin/win32/SkinWindow.h"

class CSkinComboBox : public CSkinWindow {
public:
    static constexpr int kItemHeight = 14;
    static constexpr int kClosedHeight = 20;

    bool Create(SkinHwnd parent, const ControlTemplate& entry, const PixelRect& rect, HFONT__* font) override;
    bool OnReflected(unsigned message, std::uintptr_t wParam, std::intptr_t lParam, std::intptr_t& result) override;

    int AddString(const std::string& text);  // returns the new item's index
    int GetCount() const;
    int GetCurSel() const;  // -1: none
    // Selects without telling the owner (no CBN_SELCHANGE).
    void SetCurSel(int index);
    std::string GetLBText(int index) const;
    void ResetContent();
};
