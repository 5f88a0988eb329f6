#include "skin/qt/FilterListScroller.h"

#include <QEvent>
#include <QTimer>

#include "skin/ListScrolling.h"
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

void CFilterListScroller::OnScroll(int code, int pos) {
    ScrollListByCode(*list, code, pos);
    bar->SetScrollPos(list->GetTopIndex());
}
