#pragma once
// A scroll bar for a skinned list that has none of its own: it sits inside
// the list's right edge while there are more rows than fit, follows the
// list's top row (also when the wheel or the keys move it) and moves it.

class CSkinListCtrl;
class CSkinScrollBar;

class CFilterListScroller {
public:
    // Made with new: the list takes it (CSkinListCtrl::AdoptScroller) and
    // deletes it with itself, as the Qt list does its child.
    explicit CFilterListScroller(CSkinListCtrl* list);
    ~CFilterListScroller();
    CFilterListScroller(const CFilterListScroller&) = delete;
    CFilterListScroller& operator=(const CFilterListScroller&) = delete;

    // Brings the bar up to date with the list's rows and top row.
    void Sync();
    CSkinScrollBar* Bar() const { return bar; }

    static constexpr int kBarWidth = 12;

    // The list's own scrolling (its top row moved) and the bar's codes.
    void OnListScrolled();
    void OnScroll(int code, int pos);

private:
    CSkinListCtrl* list;
    CSkinScrollBar* bar;
};
