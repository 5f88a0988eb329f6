#include "skin/qt/FilterListScroller.h"

#include <QEvent>
#include <QTimer>
#include <algorithm>

#include "skin/qt/CSkinControls.h"
#include "skin/qt/CSkinListCtrl.h"
#include "skin/SkinIds.h"
#include "skin/qt/SkinLook.h"

CFilterListScroller::CFilterListScroller(CSkinListCtrl* l)
    : QObject(l), list(l), bar(new CSkinScrollBar(Qt::Vertical, l)) {
    ApplyControlColours(bar);
    bar->hide();
    list->installEventFilter(this);
    connect(bar, &CSkinScrollBar::scrolled, this, &CFilterListScroller::OnScroll);
    Sync();
}

void CFilterListScroller::Sync() {
    const int inset = list->HasBorder() ? 1 : 0;
    bar->setGeometry(list->width() - inset - kBarWidth, inset, kBarWidth, list->height() - 2 * inset);
    const int hidden = list->GetItemCount() - list->GetCountPerPage();
    if (hidden <= 0) {
        bar->hide();
        return;
    }
    bar->SetScrollRange(0, hidden);
    bar->SetScrollPos(list->GetTopIndex());
    bar->show();
}

bool CFilterListScroller::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list) {
        switch (event->type()) {
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::MouseButtonPress:
        case QEvent::Resize:
            // The list moves its top row while it handles the event.
            QTimer::singleShot(0, this, &CFilterListScroller::Sync);
            break;
        default:
            break;
        }
    }
    return false;
}

void CFilterListScroller::ScrollTo(int top) {
    const int page = std::max(1, list->GetCountPerPage());
    top = std::clamp(top, 0, std::max(0, list->GetItemCount() - page));
    // The list moves only as far as it takes to show a row.
    if (top < list->GetTopIndex())
        list->EnsureVisible(top);
    else if (top > list->GetTopIndex())
        list->EnsureVisible(top + page - 1);
    bar->SetScrollPos(list->GetTopIndex());
}

void CFilterListScroller::OnScroll(int code, int pos) {
    const int top = list->GetTopIndex();
    const int page = std::max(1, list->GetCountPerPage());
    switch (code) {
    case SB_LINEUP: ScrollTo(top - 1); break;
    case SB_LINEDOWN: ScrollTo(top + 1); break;
    case SB_PAGEUP: ScrollTo(top - page); break;
    case SB_PAGEDOWN: ScrollTo(top + page); break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: ScrollTo(pos); break;
    case SB_TOP: ScrollTo(0); break;
    case SB_BOTTOM: ScrollTo(list->GetItemCount()); break;
    default: break;
    }
}
