#pragma once
// A push button whose face is one of up to four bitmaps; it draws no caption,
// frame or focus rectangle of its own (the bitmap carries the caption).

#include <QAbstractButton>
#include <QPixmap>
#include <array>

class CSkinButton : public QAbstractButton {
    Q_OBJECT
public:
    enum Slot { kNormal = 0, kSelected = 1, kFocus = 2, kDisabled = 3 };

    explicit CSkinButton(QWidget* parent = nullptr);
    ~CSkinButton() override;

    // Bitmap resource ids, 0 where there is none. Releases the bitmaps loaded
    // before. False when the normal bitmap fails (the others are then not
    // tried) or any requested optional one fails.
    bool LoadBitmaps(int normal, int selected = 0, int focus = 0, int disabled = 0);

    // The slot the face is drawn from now: selected while pressed, else focus
    // while focused, else disabled while disabled, each only when loaded;
    // otherwise normal. -1 when no normal bitmap is loaded (nothing is drawn).
    int ChosenSlot() const;
    int BitmapId(Slot slot) const { return ids[slot]; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::array<QPixmap, 4> faces;
    std::array<int, 4> ids{};
};
