#include "skin/qt/CSkinButton.h"

#include <QPainter>

#include "skin/qt/SkinLook.h"

CSkinButton::CSkinButton(QWidget* parent) : QAbstractButton(parent) { setFocusPolicy(Qt::StrongFocus); }

CSkinButton::~CSkinButton() = default;

bool CSkinButton::LoadBitmaps(int normal, int selected, int focus, int disabled) {
    faces = {};
    ids = {};
    faces[kNormal] = LoadSkinBitmap(normal);
    if (faces[kNormal].isNull()) {
        update();
        return false;
    }
    ids[kNormal] = normal;
    bool ok = true;
    const int wanted[] = {0, selected, focus, disabled};
    for (int slot = kSelected; slot <= kDisabled; ++slot) {
        if (wanted[slot] == 0) continue;
        faces[slot] = LoadSkinBitmap(wanted[slot]);
        if (faces[slot].isNull())
            ok = false;
        else
            ids[slot] = wanted[slot];
    }
    update();
    return ok;
}

int CSkinButton::ChosenSlot() const {
    if (faces[kNormal].isNull()) return -1;
    if (isDown() && !faces[kSelected].isNull()) return kSelected;
    if (hasFocus() && !faces[kFocus].isNull()) return kFocus;
    if (!isEnabled() && !faces[kDisabled].isNull()) return kDisabled;
    return kNormal;
}

QSize CSkinButton::sizeHint() const {
    return faces[kNormal].isNull() ? QSize(80, 20) : faces[kNormal].size();
}

void CSkinButton::paintEvent(QPaintEvent*) {
    int slot = ChosenSlot();
    if (slot < 0) return;
    // Unscaled from the bitmap's top-left corner, cut to the button's rectangle.
    QPainter p(this);
    p.drawPixmap(0, 0, faces[slot]);
}
