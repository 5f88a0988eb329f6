#include "skin/qt/CSkinComboBox.h"

#include <QAbstractItemDelegate>
#include <QAbstractItemView>
#include <QGuiApplication>
#include <QListView>
#include <QPainter>
#include <QStyleOptionComboBox>
#include <QStylePainter>

#include "skin/qt/SkinLook.h"

namespace {

class CSkinComboDelegate : public QAbstractItemDelegate {
public:
    explicit CSkinComboDelegate(CSkinComboBox* owner) : QAbstractItemDelegate(owner), combo(owner) {}
    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        combo->DrawItem(*p, option.rect, index.row(), option.state & QStyle::State_Selected);
    }
    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
        return QSize(combo->width(), CSkinComboBox::kItemHeight);
    }

private:
    CSkinComboBox* combo;
};

}  // namespace

CSkinComboBox::CSkinComboBox(QWidget* parent) : QComboBox(parent) {
    setFont(SkinFont());
    setEditable(false);
    auto* list = new QListView(this);
    list->setUniformItemSizes(true);
    setView(list);
    setItemDelegate(new CSkinComboDelegate(this));
    connect(this, &QComboBox::activated, this, &CSkinComboBox::selectionChanged);
}

CSkinComboBox::~CSkinComboBox() = default;

int CSkinComboBox::AddString(const QString& text) {
    addItem(text);
    return count() - 1;
}

void CSkinComboBox::SetCurSel(int index) {
    setCurrentIndex(index >= 0 && index < count() ? index : -1);
}

void CSkinComboBox::DrawItem(QPainter& p, const QRect& r, int index, bool isSelected) const {
    p.save();
    QColor text = QColor::fromRgb(kControlTextRgb);
    if (index < 0) {
        p.fillRect(r, QColor::fromRgb(kControlBrushRgb));
        p.restore();
        return;
    }
    if (isSelected) {
        // The system's selection colours, not the skin's.
        const QPalette system = QGuiApplication::palette();
        p.fillRect(r, system.color(QPalette::Active, QPalette::Highlight));
        text = system.color(QPalette::Active, QPalette::HighlightedText);
    } else {
        p.fillRect(r, QColor::fromRgb(kComboItemRgb));
    }
    p.setFont(font());
    p.setPen(text);
    p.drawText(r, Qt::AlignCenter | Qt::TextSingleLine, itemText(index));
    p.restore();
}

void CSkinComboBox::paintEvent(QPaintEvent*) {
    QStylePainter p(this);
    QStyleOptionComboBox opt;
    initStyleOption(&opt);
    opt.currentText.clear();
    opt.currentIcon = QIcon();
    p.drawComplexControl(QStyle::CC_ComboBox, opt);
    QRect field = style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, this);
    DrawItem(p, field, currentIndex(), hasFocus() && !view()->isVisible());
}
