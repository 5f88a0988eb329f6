#include "skin/qt/CSkinControls.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionButton>
#include <QStyleOptionSlider>
#include <QWheelEvent>
#include <algorithm>
#include <climits>

#include "skin/SkinIds.h"
#include "skin/qt/SkinLook.h"

namespace {

const QColor kFrameLight(151, 151, 222);
const QColor kFrameMid(101, 101, 180);
const QColor kFrameDark(16, 16, 44);
const QColor kFrameDeep(4, 4, 18);

void Edge(QPainter& p, const QRect& r, const QColor& topLeft, const QColor& bottomRight) {
    p.fillRect(QRect(r.left(), r.top(), r.width(), 1), topLeft);
    p.fillRect(QRect(r.left(), r.top(), 1, r.height()), topLeft);
    p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), bottomRight);
    p.fillRect(QRect(r.right(), r.top(), 1, r.height()), bottomRight);
}

// The shaft in the control brush, arrows and thumb by the skin's style.
void PaintScrollBar(QScrollBar* bar, const QStyleOptionSlider& option) {
    QPainter p(bar);
    p.fillRect(bar->rect(), QColor::fromRgb(kControlBrushRgb));
    QStyleOptionSlider opt = option;
    opt.subControls = QStyle::SC_ScrollBarAddLine | QStyle::SC_ScrollBarSubLine | QStyle::SC_ScrollBarSlider;
    bar->style()->drawComplexControl(QStyle::CC_ScrollBar, &opt, &p, bar);
}

// The thin black border of a multi-line edit, over its text and scroll bars.
class CEditBorder final : public QWidget {
public:
    explicit CEditBorder(QWidget* edit) : QWidget(edit) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setPen(Qt::black);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
};

// An ordinary scroll bar (of a multi-line edit) that looks like the skin's.
class CSkinPlainScrollBar final : public QScrollBar {
public:
    explicit CSkinPlainScrollBar(Qt::Orientation o) : QScrollBar(o) { setStyle(SkinStyle()); }

protected:
    void paintEvent(QPaintEvent*) override {
        QStyleOptionSlider opt;
        initStyleOption(&opt);
        PaintScrollBar(this, opt);
    }
};

}  // namespace

int FrameWidth(unsigned style) {
    return (style & kBorder ? 1 : 0) + (style & kDialogFrame ? 2 : 0) + (style & kStaticEdge ? 1 : 0);
}

void DrawFrame(QPainter& p, const QRect& rect, unsigned style) {
    QRect r = rect;
    if (style & kBorder) {
        Edge(p, r, Qt::black, Qt::black);
        r.adjust(1, 1, -1, -1);
    }
    if (style & kDialogFrame) {
        Edge(p, r, kFrameLight, kFrameDeep);
        r.adjust(1, 1, -1, -1);
        Edge(p, r, kFrameMid, kFrameDark);
        r.adjust(1, 1, -1, -1);
    }
    if (style & kStaticEdge) Edge(p, r, kFrameDark, kFrameLight);
}

// ---- labels -----------------------------------------------------------------

CSkinLabel::CSkinLabel(const QString& text, unsigned s, QWidget* parent) : QLabel(text, parent), styleBits(s) {
    Qt::Alignment h = s & kAlignCenter ? Qt::AlignHCenter : s & kAlignRight ? Qt::AlignRight : Qt::AlignLeft;
    setAlignment(h | Qt::AlignTop);
    setWordWrap(true);
    setTextFormat(Qt::PlainText);
    int fw = FrameWidth(s);
    setContentsMargins(fw, fw, fw, fw);
    setAutoFillBackground(true);
    setFocusPolicy(Qt::NoFocus);
}

void CSkinLabel::resizeEvent(QResizeEvent* e) {
    // Wrapping a label one line tall would only hide its words below it.
    setWordWrap(contentsRect().height() >= 2 * fontMetrics().lineSpacing());
    QLabel::resizeEvent(e);
}

void CSkinLabel::paintEvent(QPaintEvent* e) {
    const int width = contentsRect().width();
    if (wordWrap() || text().isEmpty() || fontMetrics().horizontalAdvance(text()) <= width) {
        QLabel::paintEvent(e);
    } else {
        // A line wider than the label is narrowed until it fits whole.
        QPainter p(this);
        QFont narrow = font();
        for (int stretch = 95; stretch >= 50; stretch -= 5) {
            narrow.setStretch(stretch);
            if (QFontMetrics(narrow).horizontalAdvance(text()) <= width) break;
        }
        p.setFont(narrow);
        p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, foregroundRole()));
        p.drawText(contentsRect(), int(alignment()) | Qt::TextSingleLine, text());
    }
    if (FrameWidth(styleBits)) {
        QPainter p(this);
        DrawFrame(p, rect(), styleBits);
    }
}

void CSkinLabel::mousePressEvent(QMouseEvent* e) { e->ignore(); }

CSkinIconStatic::CSkinIconStatic(int iconId, QWidget* parent) : QLabel(parent) {
    setPixmap(LoadSkinIcon(iconId).pixmap(32, 32));
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setFocusPolicy(Qt::NoFocus);
}

void CSkinIconStatic::mousePressEvent(QMouseEvent* e) { e->ignore(); }

// ---- edits ------------------------------------------------------------------

CSkinEdit::CSkinEdit(unsigned s, QWidget* parent) : QLineEdit(parent), styleBits(s) {
    setFrame(false);
    int fw = FrameWidth(s);
    setTextMargins(fw + 1, fw, fw + 1, fw);
}

void CSkinEdit::paintEvent(QPaintEvent* e) {
    QLineEdit::paintEvent(e);
    if (FrameWidth(styleBits)) {
        QPainter p(this);
        DrawFrame(p, rect(), styleBits);
    }
}

CSkinMultiEdit::CSkinMultiEdit(unsigned s, QWidget* parent) : QPlainTextEdit(parent) {
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    SetFixedPitch(false);
    // A text longer than the box can be reached: the bar comes when needed.
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setTabChangesFocus(true);
    // Tab stops every 32 dialog units, as the window system's edits have.
    setTabStopDistance(48);
    setVerticalScrollBar(new CSkinPlainScrollBar(Qt::Vertical));
    setHorizontalScrollBar(new CSkinPlainScrollBar(Qt::Horizontal));
    // The text uses the box's full height, so that a box shows as much of
    // its lines as it can (the details window's 47 pixels show 4 of 12 pixels
    // but for the last one's lowest row): the thin border is drawn over the
    // text, which keeps clear of the left one.
    setFrameStyle(QFrame::NoFrame);
    document()->setDocumentMargin(0);
    const int b = s & kBorder ? 1 : 0;
    setViewportMargins(b + kLeftMargin, 0, b, 0);
    if (b) border = new CEditBorder(this);
}

void CSkinMultiEdit::resizeEvent(QResizeEvent* e) {
    QPlainTextEdit::resizeEvent(e);
    if (border) {
        border->setGeometry(rect());
        border->raise();
    }
}

void CSkinMultiEdit::SetFixedPitch(bool fixed) {
    fixedPitch = fixed;
    // Columns of a dump stay in their lines; the box scrolls sideways where
    // they cannot be made to fit.
    setLineWrapMode(fixed ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
    setHorizontalScrollBarPolicy(fixed ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    FitFont();
}

void CSkinMultiEdit::FitFont() {
    if (!fixedPitch) {
        setFont(SkinFont());
        return;
    }
    QFont f(QStringLiteral("DejaVu Sans Mono"));
    f.setStyleHint(QFont::Monospace);
    f.setPixelSize(SkinFont().pixelSize());
    qsizetype columns = 0;
    for (const QStringView line : QStringView(toPlainText()).split(QLatin1Char('\n')))
        columns = std::max(columns, line.size());
    // The widest line narrowed to the room beside a vertical scroll bar,
    // down to 60 % of the font's width.
    const qreal room = width() - viewportMargins().left() - viewportMargins().right() -
                       style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, verticalScrollBar());
    const qreal wide = QFontMetricsF(f).horizontalAdvance(QLatin1Char('0')) * qreal(columns);
    if (wide > room && wide > 0) f.setStretch(std::max(60, int(100 * room / wide)));
    setFont(f);
}

void CSkinMultiEdit::SetText(const QString& text) {
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    setPlainText(t);
    if (fixedPitch) FitFont();
}

void CSkinMultiEdit::keyPressEvent(QKeyEvent* e) {
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && !(e->modifiers() & Qt::ControlModifier)) {
        e->ignore();
        return;
    }
    if (e->key() == Qt::Key_Escape) {
        e->ignore();
        return;
    }
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter)) {
        insertPlainText(QStringLiteral("\n"));
        return;
    }
    QPlainTextEdit::keyPressEvent(e);
}

// ---- check and radio buttons --------------------------------------------------

CSkinCheckBox::CSkinCheckBox(const QString& text, unsigned s, QWidget* parent) : QCheckBox(text, parent), styleBits(s) {
    setAutoFillBackground(true);
}

void CSkinCheckBox::paintEvent(QPaintEvent* e) {
    if (!(styleBits & kMultiLine)) {
        QCheckBox::paintEvent(e);
        return;
    }
    // The text wraps in the space right of the box and is centred vertically.
    QPainter p(this);
    QStyleOptionButton opt;
    initStyleOption(&opt);
    QRect box = style()->subElementRect(QStyle::SE_CheckBoxIndicator, &opt, this);
    box.moveTop((height() - box.height()) / 2);
    QStyleOptionButton indicator = opt;
    indicator.rect = box;
    style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &indicator, &p, this);
    QRect textRect = rect().adjusted(box.right() + 5, 0, 0, 0);
    p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    QRect used = p.boundingRect(textRect, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextWordWrap, text());
    p.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextWordWrap, text());
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = used.adjusted(-1, 0, 1, 0) & rect();
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
    }
}

CSkinRadioButton::CSkinRadioButton(const QString& text, unsigned, QWidget* parent) : QRadioButton(text, parent) {
    setAutoFillBackground(true);
}

// ---- scroll bars ------------------------------------------------------------

CSkinScrollBar::CSkinScrollBar(Qt::Orientation o, QWidget* parent) : QScrollBar(o, parent) {
    setTracking(false);
    setRange(0, 100);
    setSingleStep(1);
    setPageStep(1);  // a fixed-size thumb, as the control has without a page size
    setFocusPolicy(Qt::NoFocus);
    connect(this, &QAbstractSlider::actionTriggered, this, &CSkinScrollBar::OnAction);
    connect(this, &QAbstractSlider::sliderMoved, this, [this](int thumb) {
        if (!reporting) Report(SB_THUMBTRACK, thumb);
    });
    connect(this, &QAbstractSlider::sliderReleased, this, [this] {
        Report(SB_THUMBPOSITION, sliderPosition());
        ShowPos();
        Report(SB_ENDSCROLL, 0);
    });
}

void CSkinScrollBar::SetScrollRange(int minPos, int maxPos, bool) {
    setRange(minPos, maxPos);
    pos = std::clamp(pos, minimum(), maximum());
    ShowPos();
}

void CSkinScrollBar::GetScrollRange(int* minPos, int* maxPos) const {
    if (minPos) *minPos = minimum();
    if (maxPos) *maxPos = maximum();
}

int CSkinScrollBar::SetScrollPos(int p, bool) {
    int old = pos;
    pos = std::clamp(p, minimum(), maximum());
    // While the thumb is dragged it follows the mouse; it goes to the set
    // position when it is let go.
    if (!isSliderDown()) ShowPos();
    return old;
}

void CSkinScrollBar::ShowPos() {
    bool was = reporting;
    reporting = true;
    setSliderPosition(pos);
    setValue(pos);
    reporting = was;
}

void CSkinScrollBar::Report(int code, int thumb) {
    bool was = reporting;
    reporting = true;
    scrolling = code != SB_ENDSCROLL;
    emit scrolled(code, thumb);
    reporting = was;
}

void CSkinScrollBar::OnAction(int action) {
    if (reporting) return;
    int code;
    switch (action) {
    case SliderSingleStepSub: code = SB_LINEUP; break;
    case SliderSingleStepAdd: code = SB_LINEDOWN; break;
    case SliderPageStepSub: code = SB_PAGEUP; break;
    case SliderPageStepAdd: code = SB_PAGEDOWN; break;
    case SliderToMinimum: code = SB_TOP; break;
    case SliderToMaximum: code = SB_BOTTOM; break;
    default: return;  // thumb moves are reported by sliderMoved/sliderReleased
    }
    // Undo the move the slider made on its own; the owner decides.
    setSliderPosition(pos);
    Report(code, 0);
    if (!isSliderDown()) setSliderPosition(pos);
}

void CSkinScrollBar::mouseReleaseEvent(QMouseEvent* e) {
    QScrollBar::mouseReleaseEvent(e);
    if (scrolling) Report(SB_ENDSCROLL, 0);
}

void CSkinScrollBar::keyReleaseEvent(QKeyEvent* e) {
    QScrollBar::keyReleaseEvent(e);
    if (scrolling && !e->isAutoRepeat()) Report(SB_ENDSCROLL, 0);
}

void CSkinScrollBar::SendScrollCode(int code) {
    Report(code, 0);
    Report(SB_ENDSCROLL, 0);
}

bool CSkinScrollBar::ReportWheel(QPoint angleDelta) {
    const int delta = (orientation() == Qt::Vertical || angleDelta.x() == 0) ? angleDelta.y() : angleDelta.x();
    // A fine-grained wheel (a touchpad) sends parts of a notch.
    wheelRest += delta;
    const int notches = wheelRest / 120;
    wheelRest -= notches * 120;
    if (notches == 0) return delta != 0;
    for (int i = 0; i < std::abs(notches) * wheelLines; ++i) Report(notches > 0 ? SB_LINEUP : SB_LINEDOWN, 0);
    Report(SB_ENDSCROLL, 0);
    return true;
}

void CSkinScrollBar::wheelEvent(QWheelEvent* e) {
    if (ReportWheel(e->angleDelta()))
        e->accept();
    else
        e->ignore();
}

void CSkinScrollBar::contextMenuEvent(QContextMenuEvent* e) {
    // The control's own menu, every entry a scroll code.
    const bool vertical = orientation() == Qt::Vertical;
    QMenu menu(this);
    QAction* here = menu.addAction(tr("Scroll Here"));
    menu.addSeparator();
    QAction* top = menu.addAction(vertical ? tr("Top") : tr("Left Edge"));
    QAction* bottom = menu.addAction(vertical ? tr("Bottom") : tr("Right Edge"));
    menu.addSeparator();
    QAction* pageUp = menu.addAction(vertical ? tr("Page Up") : tr("Page Left"));
    QAction* pageDown = menu.addAction(vertical ? tr("Page Down") : tr("Page Right"));
    menu.addSeparator();
    QAction* lineUp = menu.addAction(vertical ? tr("Scroll Up") : tr("Scroll Left"));
    menu.addAction(vertical ? tr("Scroll Down") : tr("Scroll Right"));
    QAction* chosen = menu.exec(e->globalPos());
    if (!chosen) return;
    if (chosen == here) {
        QStyleOptionSlider opt;
        initStyleOption(&opt);
        QRect groove = style()->subControlRect(QStyle::CC_ScrollBar, &opt, QStyle::SC_ScrollBarGroove, this);
        QRect thumb = style()->subControlRect(QStyle::CC_ScrollBar, &opt, QStyle::SC_ScrollBarSlider, this);
        int span = vertical ? groove.height() - thumb.height() : groove.width() - thumb.width();
        int at = vertical ? e->pos().y() - groove.top() - thumb.height() / 2
                          : e->pos().x() - groove.left() - thumb.width() / 2;
        int thumbPos = QStyle::sliderValueFromPosition(minimum(), maximum(), at, std::max(span, 0), opt.upsideDown);
        Report(SB_THUMBPOSITION, thumbPos);
    } else {
        int code = chosen == top ? SB_TOP : chosen == bottom ? SB_BOTTOM : chosen == pageUp ? SB_PAGEUP
                 : chosen == pageDown ? SB_PAGEDOWN : chosen == lineUp ? SB_LINEUP : SB_LINEDOWN;
        Report(code, 0);
    }
    Report(SB_ENDSCROLL, 0);
}

void CSkinScrollBar::paintEvent(QPaintEvent*) {
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    PaintScrollBar(this, opt);
}

// ---- up-down ----------------------------------------------------------------

CSkinUpDown::CSkinUpDown(unsigned s, QWidget* parent) : QWidget(parent), styleBits(s) {
    setFocusPolicy(Qt::NoFocus);
    repeat.setInterval(60);
    connect(&repeat, &QTimer::timeout, this, [this] {
        repeat.setInterval(60);
        if (pressed) Step(pressed);
    });
}

void CSkinUpDown::SetBuddy(QLineEdit* b) {
    if (buddy) buddy->removeEventFilter(this);
    buddy = b;
    if (!buddy) return;
    if (styleBits & kArrowKeys) buddy->installEventFilter(this);
    if (styleBits & kAlignBuddyRight) {
        // Inside the buddy's right edge: the buddy gives up the room.
        QRect r = buddy->geometry();
        r.setWidth(std::max(0, r.width() - width()));
        buddy->setGeometry(r);
        setGeometry(r.right() + 1, r.top(), width(), r.height());
    }
}

void CSkinUpDown::SetRange32(int lo, int hi) {
    low = lo;
    high = hi;
    position = std::clamp(position, std::min(lo, hi), std::max(lo, hi));
}

void CSkinUpDown::GetRange32(int* lo, int* hi) const {
    if (lo) *lo = low;
    if (hi) *hi = high;
}

void CSkinUpDown::SetPos32(int p) {
    position = std::clamp(p, std::min(low, high), std::max(low, high));
    if (buddy && (styleBits & kSetBuddyInt)) buddy->setText(QString::number(position));
}

int CSkinUpDown::GetPos32() const {
    int v;
    return ReadBuddy(&v) ? std::clamp(v, std::min(low, high), std::max(low, high)) : position;
}

bool CSkinUpDown::ReadBuddy(int* value) const {
    if (!buddy || !(styleBits & kSetBuddyInt)) return false;
    bool ok = false;
    long long v = buddy->text().trimmed().toLongLong(&ok);
    if (!ok || v < INT_MIN || v > INT_MAX) return false;
    *value = int(v);
    return true;
}

void CSkinUpDown::Step(int direction) {
    int current = position;
    int v;
    if (ReadBuddy(&v)) current = v;
    const int lo = std::min(low, high), hi = std::max(low, high);
    // The up arrow moves towards the range's second bound.
    const int delta = (high >= low ? direction : -direction);
    long long next = std::clamp<long long>(static_cast<long long>(current) + delta, lo, hi);
    if (next == current && current >= lo && current <= hi) return;  // at a limit: nothing changes
    position = int(next);
    if (buddy && (styleBits & kSetBuddyInt)) buddy->setText(QString::number(position));
    emit positionChanged(position);
}

void CSkinUpDown::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const int half = height() / 2;
    const QRect up(0, 0, width(), half), down(0, half, width(), height() - half);
    for (int dir : {1, -1}) {
        QRect r = dir > 0 ? up : down;
        bool sunk = pressed == dir;
        p.fillRect(r, QColor::fromRgb(kControlBrushRgb));
        Edge(p, r, sunk ? kFrameDark : kFrameLight, sunk ? kFrameLight : kFrameDark);
        QPointF c = QRectF(r).center() + (sunk ? QPointF(1, 1) : QPointF(0, 0));
        const double a = std::max(2.0, std::min(r.width(), r.height()) / 4.0);
        QPolygonF arrow = dir > 0 ? QPolygonF({c + QPointF(-a, a / 2), c + QPointF(a, a / 2), c + QPointF(0, -a / 2)})
                                  : QPolygonF({c + QPointF(-a, -a / 2), c + QPointF(a, -a / 2), c + QPointF(0, a / 2)});
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(Qt::NoPen);
        p.setBrush(isEnabled() ? QColor::fromRgb(kControlTextRgb) : QColor(150, 150, 90));
        p.drawPolygon(arrow);
        p.setRenderHint(QPainter::Antialiasing, false);
    }
}

void CSkinUpDown::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    pressed = e->position().y() < height() / 2 ? 1 : -1;
    if (buddy) buddy->setFocus(Qt::MouseFocusReason);
    Step(pressed);
    repeat.start(400);
    update();
}

void CSkinUpDown::mouseReleaseEvent(QMouseEvent*) {
    pressed = 0;
    repeat.stop();
    update();
}

bool CSkinUpDown::eventFilter(QObject* watched, QEvent* event) {
    if (watched == buddy && event->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(event);
        if (k->key() == Qt::Key_Up || k->key() == Qt::Key_Down) {
            Step(k->key() == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
