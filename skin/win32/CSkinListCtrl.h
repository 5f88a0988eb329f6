#pragma once
// The skinned report list over the common controls' list view
// ("SysListView32", LVS_REPORT, single selection, no scroll bars of its own),
// drawn by the skin through custom draw: alternating row colours, yellow
// text, fixed 14-pixel rows. A column header is shown only where the template
// asks for one. Its notifications reach the window as the list view's own
// (NM_DBLCLK, LVN_COLUMNCLICK with the column as NotifyItem).

#include <memory>
#include <string>
#include <vector>

#include "skin/SkinTypes.h"
#include "skin/win32/SkinWindow.h"

class CSkinScrollBar;
class CFilterListScroller;
struct HDC__;
struct tagRECT;

class CSkinListCtrl : public CSkinWindow {
public:
    // The host and filter lists (two columns) and the packet list (six
    // columns) differ in the selected-row colour and the text offset.
    enum class Use { TwoColumn, SixColumn };

    CSkinListCtrl();
    ~CSkinListCtrl() override;

    bool Create(SkinHwnd parent, const ControlTemplate& entry, const PixelRect& rect, HFONT__* font) override;
    bool OnReflected(unsigned message, std::uintptr_t wParam, std::intptr_t lParam, std::intptr_t& result) override;

    Use ListUse() const { return use; }
    SkinColor SelectedRowColour() const;
    int TextOffset() const;
    static constexpr int kRowHeight = 14;
    bool HeaderVisible() const { return headerVisible; }

    void SetBkColor(SkinColor colour);
    SkinColor GetBkColor() const { return background; }
    int GetWidth() const;
    int ClientWidth() const;

    int InsertColumn(int column, const std::string& heading, int format, int width);
    int InsertColumn(int column, const char* heading, int format, int width) {
        return InsertColumn(column, std::string(heading ? heading : ""), format, width);
    }
    int GetColumnCount() const;
    int GetColumnWidth(int column) const;
    bool SetColumnWidth(int column, int width);
    std::string GetColumnHeading(int column) const;

    // Rows: texts in UTF-8.
    int InsertItem(int index, const std::string& text);
    int InsertItem(int index, const char* text) { return InsertItem(index, std::string(text ? text : "")); }
    bool SetItemText(int item, int subItem, const std::string& text);
    bool SetItemText(int item, int subItem, const char* text) {
        return SetItemText(item, subItem, std::string(text ? text : ""));
    }
    std::string GetItemString(int item, int subItem) const;
    bool DeleteItem(int item);
    bool DeleteAllItems();
    int GetItemCount() const;

    int GetSelectedCount() const;
    int GetSelectedRow() const;  // -1: none
    int GetNextItem(int start, int flags) const;
    void SetSelectedRow(int row);  // -1 clears

    int GetCountPerPage() const;
    int GetTopIndex() const;
    bool EnsureVisible(int row);
    void RedrawItems(int first, int last);
    // For a list that shows one page of its owner's rows: the wheel over it
    // goes to that scroll bar instead of moving the list's own rows.
    void SetWheelScrollBar(CSkinScrollBar* bar) { wheelBar = bar; }
    CSkinScrollBar* WheelScrollBar() const { return wheelBar; }

    // The scroller made for this list, which it keeps and deletes.
    void AdoptScroller(CFilterListScroller* scroller);

private:
    // What a row is drawn for (the owner-draw actions).
    enum class DrawAction { DrawEntire, SelectionChange, FocusChange };
    struct Subclass;  // the list's window procedure in front of the list view's
    friend struct Subclass;

    std::intptr_t HandleListMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam, bool& handled);
    void DrawItem(HDC__* dc, const tagRECT& item, int row, DrawAction action, bool isSelected) const;
    // Tells the scroller when the top row moved, whatever moved it.
    void NoteScroll();
    void ScrollToTop(int top);
    int RowHeight() const;
    int FirstColumnLeft(int itemLeft) const;

    Use use = Use::TwoColumn;
    bool headerVisible = false;
    SkinColor background{255, 255, 255};
    CSkinScrollBar* wheelBar = nullptr;
    std::unique_ptr<CFilterListScroller> scroller;
    int columnCount = 0;
    int lastTop = 0;
    bool noting = false;
};
