#pragma once
// The skinned report list: rows of subitem texts drawn by the skin, with
// alternating row colours and yellow text. Rows, columns and texts are
// managed by the owning window in the manner of a list view. It has no
// scroll bars of its own, fixed 14-pixel rows and single selection; a column
// header is shown only where the template asks for one.

#include <QColor>
#include <QStringList>
#include <QWidget>
#include <string>
#include <vector>

#include "skin/SkinTypes.h"

class CSkinScrollBar;

// What a row is being drawn for.
enum class DrawAction { DrawEntire, SelectionChange, FocusChange };

class CSkinListCtrl : public QWidget {
    Q_OBJECT
public:
    // The two skinned lists: host and filter lists (two columns), and the
    // packet list (six columns). They differ in the selected-row colour and
    // the text offset.
    enum class Use { TwoColumn, SixColumn };

    explicit CSkinListCtrl(Use use = Use::TwoColumn, QWidget* parent = nullptr);
    ~CSkinListCtrl() override;

    Use ListUse() const { return use; }
    void SetUse(Use u);
    QRgb SelectedRowColour() const;
    int TextOffset() const;
    static constexpr int kRowHeight = 14;

    void SetHeaderVisible(bool visible);
    bool HeaderVisible() const { return headerVisible; }
    void SetBorder(bool border);
    bool HasBorder() const { return border; }

    // Parts of the list without rows.
    void SetBkColor(QColor colour);
    void SetBkColor(SkinColor colour) { SetBkColor(QColor(colour.r, colour.g, colour.b)); }
    QColor GetBkColor() const { return background; }
    int GetWidth() const { return width(); }

    // Columns. InsertColumn returns the new column's index, or -1.
    int InsertColumn(int column, const QString& heading, int format, int width);
    // The width of the list's client area, for its columns.
    int ClientWidth() const { return width(); }
    int InsertColumn(int column, const char* heading, int format, int width) {
        return InsertColumn(column, QString::fromUtf8(heading), format, width);
    }
    int InsertColumn(int column, const std::string& heading, int format, int width) {
        return InsertColumn(column, QString::fromStdString(heading), format, width);
    }
    int GetColumnCount() const { return int(columns.size()); }
    int GetColumnWidth(int column) const;
    bool SetColumnWidth(int column, int width);
    QString GetColumnHeading(int column) const;

    // Rows. InsertItem puts the row at index (at most the row count) with
    // subitem 0's text and returns where it went, or -1.
    int InsertItem(int index, const QString& text);
    bool SetItemText(int item, int subItem, const QString& text);
    // The same in UTF-8.
    int InsertItem(int index, const char* text) { return InsertItem(index, QString::fromUtf8(text)); }
    int InsertItem(int index, const std::string& text) { return InsertItem(index, QString::fromStdString(text)); }
    bool SetItemText(int item, int subItem, const char* text) {
        return SetItemText(item, subItem, QString::fromUtf8(text));
    }
    bool SetItemText(int item, int subItem, const std::string& text) {
        return SetItemText(item, subItem, QString::fromStdString(text));
    }
    QString GetItemText(int item, int subItem) const;
    std::string GetItemString(int item, int subItem) const { return GetItemText(item, subItem).toStdString(); }
    bool DeleteItem(int item);
    bool DeleteAllItems();
    int GetItemCount() const { return int(rows.size()); }

    // Selection: at most one row.
    int GetSelectedCount() const { return selected >= 0 ? 1 : 0; }
    int GetSelectedRow() const { return selected; }  // -1: none
    // Searches after start (-1: from the first row) for a selected row.
    int GetNextItem(int start, int flags) const;
    void SetSelectedRow(int row);  // -1 clears

    // Rows that fit whole in the client area under the header.
    int GetCountPerPage() const;
    // The row shown at the top; rows beyond a page are reached with the
    // wheel or the keyboard.
    int GetTopIndex() const { return top; }
    bool EnsureVisible(int row);
    int RowAt(QPoint pos) const;  // -1 where there is no row
    QRect ItemRect(int row) const;  // null for a row not on the page
    void RedrawItems(int first, int last);
    // For a list that shows one page of its owner's rows: the wheel over it
    // goes to that scroll bar instead of moving the list's own rows.
    void SetWheelScrollBar(CSkinScrollBar* bar) { wheelBar = bar; }

    // Draws one row into its item rectangle for the given action and state.
    void DrawItem(QPainter& painter, const QRect& itemRect, int row, DrawAction action, bool isSelected) const;

    QSize sizeHint() const override;

signals:
    void doubleClicked(int row);  // -1 on the empty part of the list
    void selectionChanged(int row);
    void headerClicked(int column);  // a left press on a shown heading

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    struct Column {
        QString heading;
        int format;
        int width;
    };

    QRect ClientRect() const;
    int HeaderHeight() const;
    void ClampTop();
    void SelectFromInput(int row);

    Use use;
    bool headerVisible = false;
    bool border = false;
    QColor background = Qt::white;
    std::vector<Column> columns;
    std::vector<QStringList> rows;
    int selected = -1;
    int top = 0;
    CSkinScrollBar* wheelBar = nullptr;
};
