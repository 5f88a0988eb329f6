#pragma once
// The plain controls of a skinned window: labels, icons, edits, check and
// radio buttons, scroll bars and the up-down arrows. Each takes the window
// styles of its template entry (borders, alignment, multi-line) and the skin's
// control colours.

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <string>

// Width taken by the template's frame styles (kBorder, kDialogFrame,
// kStaticEdge) on each side, and their drawing.
int FrameWidth(unsigned style);
void DrawFrame(QPainter& painter, const QRect& rect, unsigned style);

// Static text: passes mouse presses on to the window, which moves by them.
// Words wrap where the label has room for a second line; a label one line
// tall keeps its text on that line, narrowed where it is too long.
class CSkinLabel : public QLabel {
    Q_OBJECT
public:
    CSkinLabel(const QString& text, unsigned style, QWidget* parent = nullptr);
    unsigned Style() const { return styleBits; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    unsigned styleBits;
};

// An icon static: shows an icon resource at its natural size.
class CSkinIconStatic : public QLabel {
    Q_OBJECT
public:
    CSkinIconStatic(int iconId, QWidget* parent = nullptr);

protected:
    void mousePressEvent(QMouseEvent* event) override;
};

class CSkinEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit CSkinEdit(unsigned style, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    unsigned styleBits;
};

// Multi-line and word-wrapping, with a vertical scroll bar only while the
// text is longer than the box. Enter is left to the window (its OK command);
// Ctrl+Enter starts a new line.
class CSkinMultiEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit CSkinMultiEdit(unsigned style, QWidget* parent = nullptr);
    // Line breaks may come as "\r\n".
    void SetText(const QString& text);
    void SetText(const std::string& text) { SetText(QString::fromStdString(text)); }
    // Fixed pitch for columns of text: lines do not wrap and a horizontal
    // scroll bar comes when they are wider than the box.
    void SetFixedPitch(bool fixed);
    bool FixedPitch() const { return fixedPitch; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void FitFont();

    static constexpr int kLeftMargin = 2;
    QWidget* border = nullptr;
    bool fixedPitch = false;
};

// Check box; with kMultiLine its text wraps onto several lines.
class CSkinCheckBox : public QCheckBox {
    Q_OBJECT
public:
    CSkinCheckBox(const QString& text, unsigned style, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    unsigned styleBits;
};

class CSkinRadioButton : public QRadioButton {
    Q_OBJECT
public:
    CSkinRadioButton(const QString& text, unsigned style, QWidget* parent = nullptr);
};

// A scroll bar that behaves like the window system's scroll-bar control: it
// does not move by itself. Each user action is reported as a scroll code
// (SB_LINEUP ... SB_BOTTOM, then SB_ENDSCROLL; SB_THUMBTRACK while the thumb
// is dragged and SB_THUMBPOSITION where it is let go, with the thumb
// position), and the position changes only through SetScrollPos. The shaft
// is painted with the control brush.
class CSkinScrollBar : public QScrollBar {
    Q_OBJECT
public:
    explicit CSkinScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);

    void SetScrollRange(int minPos, int maxPos, bool redraw = true);
    void GetScrollRange(int* minPos, int* maxPos) const;
    int SetScrollPos(int pos, bool redraw = true);  // returns the previous position
    int GetScrollPos() const { return pos; }

    // What a user's action sends: code (without a thumb position), then
    // SB_ENDSCROLL.
    void SendScrollCode(int code);
    // A turn of the wheel: SB_LINEUP (away from the user) or SB_LINEDOWN,
    // wheelLines times per notch, then SB_ENDSCROLL; parts of a notch add
    // up. False when the wheel did not turn this way.
    bool ReportWheel(QPoint angleDelta);
    void SetWheelLines(int lines) { wheelLines = std::max(1, lines); }

signals:
    // pos is the thumb position for SB_THUMBTRACK and SB_THUMBPOSITION, else 0.
    void scrolled(int code, int pos);

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void OnAction(int action);
    void Report(int code, int thumb);
    void ShowPos();

    int pos = 0;
    int wheelLines = 1;
    int wheelRest = 0;       // eighths of a degree short of a notch
    bool scrolling = false;  // an action since the last SB_ENDSCROLL
    bool reporting = false;
};

// Up-down arrows bound to a buddy edit: each step reads the buddy's number,
// moves it by one within the range (no wrapping) and writes it back.
class CSkinUpDown : public QWidget {
    Q_OBJECT
public:
    CSkinUpDown(unsigned style, QWidget* parent = nullptr);

    void SetBuddy(QLineEdit* buddy);  // also aligns to it with kAlignBuddyRight
    QLineEdit* Buddy() const { return buddy; }
    void SetRange32(int low, int high);
    void GetRange32(int* low, int* high) const;
    void SetPos32(int pos);
    int GetPos32() const;
    // One step up (+1) or down (-1), as a click on an arrow does.
    void Step(int direction);

signals:
    void positionChanged(int pos);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool ReadBuddy(int* value) const;

    unsigned styleBits;
    QLineEdit* buddy = nullptr;
    int low = 0, high = 100, position = 0;
    int pressed = 0;  // +1 up arrow, -1 down arrow, 0 none
    QTimer repeat;
};
