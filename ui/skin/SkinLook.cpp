#include "ui/skin/SkinLook.h"

#include <QAbstractScrollArea>
#include <QFile>
#include <QHash>
#include <QPalette>
#include <QPixmapCache>
#include <QStyle>
#include <QStyleFactory>
#include <QWidget>

#include "resources/art/SkinResources.h"

QFont SkinFont() {
    QFont f("Liberation Sans");
    f.setPixelSize(10);
    f.setStyleHint(QFont::SansSerif);
    return f;
}

QStyle* SkinStyle() {
    static QStyle* style = [] {
        QStyle* s = QStyleFactory::create("Fusion");
        return s;
    }();
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
