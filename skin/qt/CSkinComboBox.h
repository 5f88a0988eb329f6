#pragma once
// The skinned drop-down list: owner-drawn items of fixed height, each item
// carrying its own text. The closed field shows the current item drawn the
// same way (selected while the box has the focus).

#include <QComboBox>

class CSkinComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit CSkinComboBox(QWidget* parent = nullptr);
    ~CSkinComboBox() override;

    static constexpr int kItemHeight = 14;
    static constexpr int kClosedHeight = 20;

    int AddString(const QString& text);  // returns the new item's index
    int GetCount() const { return count(); }
    int GetCurSel() const { return currentIndex(); }  // -1: none
    // Selects without telling the owner (no CBN_SELCHANGE).
    void SetCurSel(int index);
    QString GetLBText(int index) const { return itemText(index); }
    void ResetContent() { clear(); }

    // Draws item index (-1: none) into rect; the skin's owner-draw rule.
    void DrawItem(QPainter& painter, const QRect& rect, int index, bool isSelected) const;

signals:
    // The user chose an item (CBN_SELCHANGE).
    void selectionChanged(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
};
