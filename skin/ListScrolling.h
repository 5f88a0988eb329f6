#pragma once
// How a scroll bar's codes move a skinned list that has no bar of its own,
// whichever toolkit draws it: both back ends' lists have the same paging
// calls.

#include <algorithm>

#include "skin/SkinIds.h"

// Brings the list's top row towards top, moving it only as far as it takes
// to show a row.
template <class List>
void ScrollListTo(List& list, int top) {
    const int page = std::max(1, list.GetCountPerPage());
    top = std::clamp(top, 0, std::max(0, list.GetItemCount() - page));
    if (top < list.GetTopIndex())
        list.EnsureVisible(top);
    else if (top > list.GetTopIndex())
        list.EnsureVisible(top + page - 1);
}

// A scroll code (SB_...); pos is the thumb's for SB_THUMBTRACK and
// SB_THUMBPOSITION.
template <class List>
void ScrollListByCode(List& list, int code, int pos) {
    const int top = list.GetTopIndex();
    const int page = std::max(1, list.GetCountPerPage());
    switch (code) {
    case SB_LINEUP: ScrollListTo(list, top - 1); break;
    case SB_LINEDOWN: ScrollListTo(list, top + 1); break;
    case SB_PAGEUP: ScrollListTo(list, top - page); break;
    case SB_PAGEDOWN: ScrollListTo(list, top + page); break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: ScrollListTo(list, pos); break;
    case SB_TOP: ScrollListTo(list, 0); break;
    case SB_BOTTOM: ScrollListTo(list, list.GetItemCount()); break;
    default: break;
    }
}
