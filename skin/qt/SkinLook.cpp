#include "skin/qt/SkinLook.h"

#include <QAbstractScrollArea>
#include <QFile>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmapCache>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>
#include <QWidget>

#include "resources/art/SkinResources.h"

QFont SkinFont() {
    QFont f("Liberation Sans");
    f.setPixelSize(10);
    f.setStyleHint(QFont::SansSerif);
    return f;
}

namespace {

// Fusion, with check and radio indicators of the skin's own: Fusion draws
// them in shades of the control brush, nearly invisible on it when unchecked.
class CSkinProxyStyle final : public QProxyStyle {
public:
    CSkinProxyStyle() : QProxyStyle(QStyleFactory::create("Fusion")) {}

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* p,
                       const QWidget* widget) const override {
        if (element != PE_IndicatorCheckBox && element != PE_IndicatorRadioButton) {
            QProxyStyle::drawPrimitive(element, option, p, widget);
            return;
        }
        const bool enabled = option->state & State_Enabled;
        const bool on = option->state & State_On;
        const QColor rim = enabled ? QColor::fromRgb(kIndicatorRimRgb) : QColor(120, 120, 150);
        QColor ground = QColor::fromRgb(kListEvenRowRgb);
        if (option->state & State_Sunken) ground = ground.darker(130);
        const QColor mark = enabled ? QColor::fromRgb(kControlTextRgb) : QColor(150, 150, 90);
        const QRectF box = QRectF(option->rect).adjusted(0.5, 0.5, -0.5, -0.5);
        p->save();
        p->setRenderHint(QPainter::Antialiasing, true);
        p->setPen(QPen(rim, 1));
        p->setBrush(ground);
        if (element == PE_IndicatorRadioButton) {
            p->drawEllipse(box);
            if (on) {
                p->setPen(Qt::NoPen);
                p->setBrush(mark);
                p->drawEllipse(box.center(), box.width() / 4, box.height() / 4);
            }
        } else {
            p->drawRect(box);
            if (on) {
                QPainterPath tick;
                const QRectF in = box.adjusted(3, 3, -3, -3);
                tick.moveTo(in.left(), in.center().y());
                tick.lineTo(in.left() + in.width() * 0.4, in.bottom());
                tick.lineTo(in.right(), in.top());
                p->setPen(QPen(mark, 2));
                p->setBrush(Qt::NoBrush);
                p->drawPath(tick);
            }
        }
        p->restore();
    }
};

}  // namespace

QStyle* SkinStyle() {
    static QStyle* style = new CSkinProxyStyle;
    return style;
}

void ApplyControlColours(QWidget* w) {
    const QColor text = QColor::fromRgb(kControlTextRgb);
    const QColor brush = QColor::fromRgb(kControlBrushRgb);
    QPalette p = w->palette();
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(g, QPalette::WindowText, text);
        p.setColor(g, QPalette::Text, text);
        p.setColor(g, QPalette::ButtonText, text);
        p.setColor(g, QPalette::Window, brush);
        p.setColor(g, QPalette::Base, brush);
        p.setColor(g, QPalette::AlternateBase, brush);
        p.setColor(g, QPalette::Button, QColor(101, 101, 152));
        p.setColor(g, QPalette::Light, QColor(151, 151, 222));
        p.setColor(g, QPalette::Midlight, QColor(121, 121, 192));
        p.setColor(g, QPalette::Mid, QColor(70, 70, 130));
        p.setColor(g, QPalette::Dark, QColor(24, 24, 60));
        p.setColor(g, QPalette::Shadow, QColor(8, 8, 28));
    }
    p.setColor(QPalette::Disabled, QPalette::Window, brush);
    p.setColor(QPalette::Disabled, QPalette::Base, brush);
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(150, 150, 90));
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(150, 150, 90));
    w->setPalette(p);
    w->setStyle(SkinStyle());
    // Whatever fills its ground fills it with the brush (buttons would take
    // their Button colour).
    w->setBackgroundRole(QPalette::Window);
    if (auto* area = qobject_cast<QAbstractScrollArea*>(w)) area->viewport()->setPalette(p);
}

QPixmap LoadSkinBitmap(int id) {
    InitSkinResources();
    QString key = QStringLiteral("orn-bitmap-%1").arg(id);
    QPixmap pm;
    if (QPixmapCache::find(key, &pm)) return pm;
    pm = QPixmap(QStringLiteral(":/bitmaps/%1.bmp").arg(id));
    if (!pm.isNull()) QPixmapCache::insert(key, pm);
    return pm;
}

QImage LoadSkinBitmapImage(int id) {
    InitSkinResources();
    return QImage(QStringLiteral(":/bitmaps/%1.bmp").arg(id));
}

QIcon LoadSkinIcon(int id) {
    InitSkinResources();
    QIcon icon;
    for (int size : {16, 32, 48, 64}) {
        QString path = QStringLiteral(":/icons/%1-%2.png").arg(id).arg(size);
        if (QFile::exists(path)) icon.addFile(path, QSize(size, size));
    }
    return icon;
}
