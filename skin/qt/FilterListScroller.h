#pragma once
// A scroll bar for a skinned list that has none of its own: it sits inside
// the list's right edge while there are more rows than fit, follows the
// list's top row (also when the wheel or the keys move it) and moves it.

#include <QObject>

class CSkinListCtrl;
class CSkinScrollBar;

class CFilterListScroller : public QObject {
public:
    // Lives as long as the list, whose child it is.
    explicit CFilterListScroller(CSkinListCtrl* list);

    // Brings the bar up to date with the list's rows and top row.
    void Sync();
    CSkinScrollBar* Bar() const { return bar; }

    static constexpr int kBarWidth = 12;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnScroll(int code, int pos);

    CSkinListCtrl* list;
    CSkinScrollBar* bar;
};
