#include "skin/qt/CSkinListCtrl.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>

#include "skin/SkinIds.h"
#include "skin/qt/CSkinControls.h"
#include "skin/qt/SkinLook.h"

CSkinListCtrl::CSkinListCtrl(Use u, QWidget* parent) : QWidget(parent), use(u) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFont(SkinFont());
}

CSkinListCtrl::~CSkinListCtrl() = default;

void CSkinListCtrl::SetUse(Use u) {
    use = u;
    update();
}

QRgb CSkinListCtrl::SelectedRowColour() const {
    return use == Use::SixColumn ? kListSelectedSixRgb : kListSelectedTwoRgb;
}

int CSkinListCtrl::TextOffset() const { return use == Use::SixColumn ? 4 : 5; }

void CSkinListCtrl::SetHeaderVisible(bool visible) {
    headerVisible = visible;
    ClampTop();
    update();
}

void CSkinListCtrl::SetBorder(bool b) {
    border = b;
    ClampTop();
    update();
}

void CSkinListCtrl::SetBkColor(QColor colour) {
    background = colour;
    update();
}

int CSkinListCtrl::InsertColumn(int column, const QString& heading, int format, int width) {
    if (column < 0) return -1;
    column = std::min(column, GetColumnCount());
    columns.insert(columns.begin() + column, Column{heading, format, std::max(0, width)});
    for (QStringList& r : rows)
        if (column < r.size()) r.insert(column, QString());
    update();
    return column;
}

int CSkinListCtrl::GetColumnWidth(int column) const {
    return column >= 0 && column < GetColumnCount() ? columns[column].width : 0;
}

bool CSkinListCtrl::SetColumnWidth(int column, int width) {
    if (column < 0 || column >= GetColumnCount()) return false;
    columns[column].width = std::max(0, width);
    update();
    return true;
}

QString CSkinListCtrl::GetColumnHeading(int column) const {
    return column >= 0 && column < GetColumnCount() ? columns[column].heading : QString();
}

int CSkinListCtrl::InsertItem(int index, const QString& text) {
    if (index < 0) return -1;
    index = std::min(index, GetItemCount());
    rows.insert(rows.begin() + index, QStringList{text});
    if (selected >= index) ++selected;
    update();
    return index;
}

bool CSkinListCtrl::SetItemText(int item, int subItem, const QString& text) {
    if (item < 0 || item >= GetItemCount() || subItem < 0) return false;
    if (subItem > 0 && subItem >= GetColumnCount()) return false;
    QStringList& r = rows[item];
    while (r.size() <= subItem) r.append(QString());
    r[subItem] = text;
    update();
    return true;
}

QString CSkinListCtrl::GetItemText(int item, int subItem) const {
    if (item < 0 || item >= GetItemCount() || subItem < 0 || subItem >= rows[item].size()) return QString();
    return rows[item][subItem];
}

bool CSkinListCtrl::DeleteItem(int item) {
    if (item < 0 || item >= GetItemCount()) return false;
    rows.erase(rows.begin() + item);
    if (selected == item)
        selected = -1;
    else if (selected > item)
        --selected;
    ClampTop();
    update();
    return true;
}

bool CSkinListCtrl::DeleteAllItems() {
    rows.clear();
    selected = -1;
    top = 0;
    update();
    return true;
}

int CSkinListCtrl::GetNextItem(int start, int flags) const {
    if (!(flags & LVNI_SELECTED)) return -1;
    return selected > start ? selected : -1;
}

void CSkinListCtrl::SetSelectedRow(int row) {
    if (row < -1 || row >= GetItemCount()) return;
    if (row == selected) return;
    selected = row;
    update();
    emit selectionChanged(row);
}

QRect CSkinListCtrl::ClientRect() const {
    int b = border ? 1 : 0;
    return rect().adjusted(b, b, -b, -b);
}

int CSkinListCtrl::HeaderHeight() const { return headerVisible ? fontMetrics().height() + 5 : 0; }

int CSkinListCtrl::GetCountPerPage() const {
    int h = ClientRect().height() - HeaderHeight();
    return std::max(0, h / kRowHeight);
}

void CSkinListCtrl::ClampTop() {
    top = std::clamp(top, 0, std::max(0, GetItemCount() - GetCountPerPage()));
}

bool CSkinListCtrl::EnsureVisible(int row) {
    if (row < 0 || row >= GetItemCount()) return false;
    int page = std::max(1, GetCountPerPage());
    if (row < top)
        top = row;
    else if (row >= top + page)
        top = row - page + 1;
    ClampTop();
    update();
    return true;
}

QRect CSkinListCtrl::ItemRect(int row) const {
    if (row < top || row >= top + GetCountPerPage() || row >= GetItemCount()) return QRect();
    QRect c = ClientRect();
    int width = 0;
    for (const Column& col : columns) width += col.width;
    return QRect(c.left(), c.top() + HeaderHeight() + (row - top) * kRowHeight, std::max(width, 0), kRowHeight);
}

int CSkinListCtrl::RowAt(QPoint pos) const {
    QRect c = ClientRect();
    int y = pos.y() - c.top() - HeaderHeight();
    if (!c.contains(pos) || y < 0) return -1;
    int row = top + y / kRowHeight;
    if (row >= top + GetCountPerPage() || row >= GetItemCount()) return -1;
    return row;
}

void CSkinListCtrl::RedrawItems(int, int) { update(); }

void CSkinListCtrl::DrawItem(QPainter& p, const QRect& item, int row, DrawAction action, bool isSelected) const {
    const QColor rowColour = QColor::fromRgb(row % 2 ? kListOddRowRgb : kListEvenRowRgb);
    const QColor selectedColour = QColor::fromRgb(SelectedRowColour());
    QColor text = QColor::fromRgb(kControlTextRgb);
    QColor textBack = Qt::transparent;

    if (action == DrawAction::DrawEntire && !isSelected) {
        p.fillRect(item, rowColour);
        textBack = rowColour;
    } else if (isSelected && (action == DrawAction::DrawEntire || action == DrawAction::SelectionChange)) {
        p.fillRect(item, selectedColour);
        textBack = selectedColour;
    } else if (!isSelected && action == DrawAction::SelectionChange) {
        p.fillRect(item, rowColour);
        textBack = rowColour;
    } else if (use == Use::SixColumn && isSelected) {
        // A focus change alone repaints no ground; the packet list then
        // writes its texts in the selected-row colour.
        text = selectedColour;
    }

    const QFontMetrics fm(font());
    p.save();
    p.setFont(font());
    p.setBackgroundMode(Qt::TransparentMode);
    int left = item.left();
    for (int k = 0; k < GetColumnCount(); ++k) {
        const int width = columns[k].width;
        const QString s = GetItemText(row, k);
        const QRect clip(QPoint(left + 5, item.top()), QPoint(left + width - 1, item.bottom()));
        if (!s.isEmpty() && clip.isValid()) {
            p.save();
            p.setClipRect(clip, p.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
            const QPoint origin(left + TextOffset(), item.top() + 1);
            if (textBack.alpha() != 0)
                p.fillRect(QRect(origin, QSize(fm.horizontalAdvance(s), fm.height())), textBack);
            p.setPen(text);
            p.drawText(origin.x(), origin.y() + fm.ascent(), s);
            p.restore();
        }
        left += width;
    }
    p.restore();
}

QSize CSkinListCtrl::sizeHint() const { return QSize(200, 8 * kRowHeight); }

void CSkinListCtrl::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect c = ClientRect();
    p.fillRect(c, background);
    if (border) {
        p.setPen(Qt::black);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    p.setClipRect(c);
    if (headerVisible) {
        // Skinned like the rest of the window: plates with a bevel.
        const int h = HeaderHeight();
        QRect strip(c.left(), c.top(), c.width(), h);
        p.fillRect(strip, QColor::fromRgb(kControlBrushRgb));
        int left = c.left();
        for (int k = 0; k <= GetColumnCount(); ++k) {
            int width = k < GetColumnCount() ? columns[k].width : std::max(0, c.right() + 1 - left);
            QRect cell(left, c.top(), width, h);
            if (width > 0) {
                p.setPen(QColor(121, 121, 192));
                p.drawLine(cell.topLeft(), cell.topRight());
                p.drawLine(cell.topLeft(), cell.bottomLeft());
                p.setPen(QColor(16, 16, 44));
                p.drawLine(cell.bottomLeft(), cell.bottomRight());
                p.drawLine(cell.topRight(), cell.bottomRight());
                if (k < GetColumnCount()) {
                    p.save();
                    p.setClipRect(cell.adjusted(1, 1, -1, -1) & c);
                    p.setPen(QColor::fromRgb(kControlTextRgb));
                    p.drawText(cell.adjusted(6, 0, -2, 0), Qt::AlignVCenter | Qt::AlignLeft, columns[k].heading);
                    p.restore();
                }
            }
            left += width;
        }
    }
    const int last = std::min(GetItemCount(), top + GetCountPerPage());
    for (int row = top; row < last; ++row) {
        p.save();
        p.setClipRect(c);
        DrawItem(p, ItemRect(row), row, DrawAction::DrawEntire, row == selected);
        p.restore();
    }
}

void CSkinListCtrl::SelectFromInput(int row) {
    if (row >= 0) EnsureVisible(row);
    SetSelectedRow(row);
}

void CSkinListCtrl::mousePressEvent(QMouseEvent* e) {
    setFocus(Qt::MouseFocusReason);
    const QPoint at = e->position().toPoint();
    if (e->button() == Qt::LeftButton && at.y() < ClientRect().top() + HeaderHeight()) {
        // A press on a heading: its column, for the window to sort by; the
        // selection is cleared as by any press beside the rows.
        int left = ClientRect().left();
        for (int k = 0; k < GetColumnCount(); left += columns[std::size_t(k)].width, ++k)
            if (at.x() >= left && at.x() < left + columns[std::size_t(k)].width) emit headerClicked(k);
    }
    if (e->button() == Qt::LeftButton || e->button() == Qt::RightButton) {
        // A press beside the rows clears the selection, as in a list view.
        SelectFromInput(RowAt(e->position().toPoint()));
    }
    e->accept();
}

void CSkinListCtrl::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    int row = RowAt(e->position().toPoint());
    emit doubleClicked(row);
    e->accept();
}

void CSkinListCtrl::keyPressEvent(QKeyEvent* e) {
    const int n = GetItemCount();
    if (n == 0) {
        QWidget::keyPressEvent(e);
        return;
    }
    const int page = std::max(1, GetCountPerPage());
    int row = selected;
    switch (e->key()) {
    case Qt::Key_Up: row = row < 0 ? 0 : std::max(0, row - 1); break;
    case Qt::Key_Down: row = row < 0 ? 0 : std::min(n - 1, row + 1); break;
    case Qt::Key_PageUp: row = std::max(0, (row < 0 ? 0 : row) - (page - 1)); break;
    case Qt::Key_PageDown: row = std::min(n - 1, (row < 0 ? 0 : row) + (page - 1)); break;
    case Qt::Key_Home: row = 0; break;
    case Qt::Key_End: row = n - 1; break;
    default: QWidget::keyPressEvent(e); return;
    }
    SelectFromInput(row);
}

void CSkinListCtrl::wheelEvent(QWheelEvent* e) {
    if (wheelBar) {
        wheelBar->ReportWheel(e->angleDelta());
        e->accept();
        return;
    }
    const int steps = e->angleDelta().y() / 120;
    if (steps == 0 || GetItemCount() <= GetCountPerPage()) {
        e->ignore();
        return;
    }
    top -= steps * 3;
    ClampTop();
    update();
    e->accept();
}
