// Draws ORN's window and button bitmaps and its application icon, and writes
// them with a resource list for rcc:  orn-artgen OUTPUT_DIR
//
// One theme: deep navy bodies with bevelled blue edges, (51, 51, 102) plates
// where labels and heads sit, yellow captions. Every picture is drawn from the
// dialog templates, so panels lie exactly where each window has its controls.

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTextStream>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "resources/art/Palette.h"
#include "resources/templates/DialogTemplates.h"

namespace {

const QColor kInk(8, 8, 28);
const QColor kBodyTop(40, 40, 96);
const QColor kBodyBottom(14, 14, 40);
const QColor kPlate(51, 51, 102);  // the controls' own ground
const QColor kEdge(101, 101, 202);
const QColor kShade(4, 4, 18);
const QColor kYellow(255, 255, 0);
const QColor kAmber(222, 184, 36);
const QColor kScreen(12, 12, 34);
const QColor kGrid(28, 28, 70);
const QColor kDrop(6, 6, 22);

QFont ArtFont(int pixels, bool bold) {
    QFont f("Liberation Sans");
    f.setPixelSize(pixels);
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

QRect Px(const ControlTemplate& c) {
    PixelRect r = ControlRectInPixels(c);
    return QRect(r.x, r.y, r.width, r.height);
}

QSize WindowSize(int templateId) {
    PixelRect r = DialogSizeInPixels(*FindDialogTemplate(templateId));
    return QSize(r.width, r.height);
}

// ---- outlines --------------------------------------------------------------

// The main window: rounded corners and a notch in each side.
QPainterPath MainOutline(QSize s) {
    QPainterPath p;
    p.addRoundedRect(QRectF(0, 0, s.width(), s.height()), 20, 20);
    QPainterPath notches;
    notches.addPolygon(QPolygonF({{-1, 214}, {7, 222}, {7, 262}, {-1, 270}}));
    double w = s.width();
    notches.addPolygon(QPolygonF({{w + 1, 214}, {w - 7, 222}, {w - 7, 262}, {w + 1, 270}}));
    return p.subtracted(notches);
}

QPainterPath DialogOutline(QSize s) {
    QPainterPath p;
    p.addRoundedRect(QRectF(0, 0, s.width(), s.height()), 14, 14);
    return p;
}

// White inside the outline, black outside, on a bitmap of the given size.
QImage DrawMask(QSize bitmap, const QPainterPath& outline) {
    QImage img(bitmap, QImage::Format_RGB32);
    img.fill(Qt::black);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillPath(outline, Qt::white);
    p.end();
    return ToMono(img);
}

// ---- common pieces ------------------------------------------------------

void Bevel(QPainter& p, const QRect& r, const QColor& topLeft, const QColor& bottomRight) {
    p.fillRect(QRect(r.left(), r.top(), r.width(), 1), topLeft);
    p.fillRect(QRect(r.left(), r.top(), 1, r.height()), topLeft);
    p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), bottomRight);
    p.fillRect(QRect(r.right(), r.top(), 1, r.height()), bottomRight);
}

// A sunken panel with rounded corners.
void Inset(QPainter& p, const QRect& r, const QColor& fill, int radius = 5) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(150, 150, 235, 70));
    p.drawRoundedRect(QRectF(r).adjusted(0, 0, 1, 1), radius, radius);
    p.setBrush(kShade);
    p.drawRoundedRect(QRectF(r).adjusted(0, 0, 0, 0), radius, radius);
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(r).adjusted(1, 1, 0, 0), radius - 1, radius - 1);
    p.restore();
}

void Rivet(QPainter& p, QPointF c) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    p.setBrush(kShade);
    p.drawEllipse(c + QPointF(0.6, 0.6), 2.2, 2.2);
    QRadialGradient g(c - QPointF(0.6, 0.6), 2.4);
    g.setColorAt(0, QColor(255, 240, 150));
    g.setColorAt(1, kAmber.darker(140));
    p.setBrush(g);
    p.drawEllipse(c, 2.0, 2.0);
    p.restore();
}

// A radar scope: the program's emblem, also its icon.
void Radar(QPainter& p, QPointF c, double r, int alpha) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    QRadialGradient ground(c, r);
    ground.setColorAt(0, QColor(36, 36, 96, alpha));
    ground.setColorAt(1, QColor(10, 10, 34, alpha));
    p.setPen(Qt::NoPen);
    p.setBrush(ground);
    p.drawEllipse(c, r, r);
    QConicalGradient sweep(c, 90);
    sweep.setColorAt(0, QColor(255, 255, 0, alpha * 150 / 255));
    sweep.setColorAt(0.22, QColor(255, 255, 0, 0));
    sweep.setColorAt(1, QColor(255, 255, 0, 0));
    p.setBrush(sweep);
    p.drawEllipse(c, r * 0.92, r * 0.92);
    QColor ring = kYellow;
    ring.setAlpha(alpha);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(ring, std::max(1.5, r / 11)));
    p.drawEllipse(c, r * 0.92, r * 0.92);
    QColor faint = kYellow;
    faint.setAlpha(alpha * 110 / 255);
    p.setPen(QPen(faint, std::max(1.0, r / 24)));
    if (r >= 10) {  // small sizes keep only the ring, the cross and the blip
        p.drawEllipse(c, r * 0.6, r * 0.6);
        p.drawEllipse(c, r * 0.28, r * 0.28);
    }
    p.drawLine(c - QPointF(r * 0.92, 0), c + QPointF(r * 0.92, 0));
    p.drawLine(c - QPointF(0, r * 0.92), c + QPointF(0, r * 0.92));
    p.setPen(Qt::NoPen);
    QColor blip(255, 255, 170, alpha);
    p.setBrush(blip);
    p.drawEllipse(c + QPointF(r * 0.38, -r * 0.42), r / 9 + 0.6, r / 9 + 0.6);
    p.restore();
}

// Body, edge and title strip shared by every window.
void DrawFrame(QPainter& p, QSize s, const QPainterPath& outline) {
    p.setClipPath(outline);
    QLinearGradient body(0, 0, 0, s.height());
    body.setColorAt(0, kBodyTop);
    body.setColorAt(1, kBodyBottom);
    p.fillRect(QRect(QPoint(0, 0), s), body);
    QRadialGradient sheen(s.width() * 0.2, 0, s.width() * 0.8);
    sheen.setColorAt(0, QColor(90, 90, 190, 70));
    sheen.setColorAt(1, QColor(90, 90, 190, 0));
    p.fillRect(QRect(QPoint(0, 0), s), sheen);

    p.setRenderHint(QPainter::Antialiasing, true);
    p.strokePath(outline, QPen(kShade, 8));
    p.strokePath(outline, QPen(kEdge, 6));
    p.strokePath(outline, QPen(QColor(160, 160, 240), 3));
    p.strokePath(outline, QPen(kInk, 2));
    p.setRenderHint(QPainter::Antialiasing, false);

    // The title strip along the top edge.
    QRect strip(8, 5, s.width() - 16, 26);
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    p.setBrush(kShade);
    p.drawRoundedRect(QRectF(strip).adjusted(-1, -1, 1, 2), 7, 7);
    p.setBrush(kPlate);
    p.drawRoundedRect(QRectF(strip), 6, 6);
    p.restore();
    p.fillRect(QRect(strip.left() + 5, strip.top(), strip.width() - 10, 1), kEdge);
}

void Title(QPainter& p, int x, int baseline, const QString& text, int pixels, const QColor& colour) {
    QFont f = ArtFont(pixels, true);
    f.setLetterSpacing(QFont::AbsoluteSpacing, pixels / 6.0);
    p.setFont(f);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.setPen(kShade);
    p.drawText(x + 1, baseline + 1, text);
    p.setPen(colour);
    p.drawText(x, baseline, text);
}

// ---- window backgrounds ---------------------------------------------------

QImage MainBackground() {
    const DialogTemplate& t = *FindDialogTemplate(102);
    QSize s = WindowSize(102);
    QImage img(s, QImage::Format_RGB32);
    img.fill(Qt::black);
    QPainter p(&img);
    DrawFrame(p, s, MainOutline(s));

    Radar(p, QPointF(27, 18), 9, 255);
    Title(p, 42, 25, "ORN", 17, kYellow);
    p.setFont(ArtFont(10, false));
    p.setPen(kAmber);
    p.drawText(96, 23, "IPv4 monitor");

    // The console of command buttons on the left.
    QRect buttons;
    for (const ControlTemplate& c : t.controls)
        if (c.kind == ControlKind::PushButton && c.x < 100) buttons |= Px(c);
    Inset(p, buttons.adjusted(-8, -3, 8, 7), QColor(22, 22, 58));
    for (const ControlTemplate& c : t.controls)
        if (c.kind == ControlKind::PushButton && c.x < 100) {
            QRect r = Px(c);
            Rivet(p, QPointF(r.left() - 4, r.center().y() + 0.5));
            Rivet(p, QPointF(r.right() + 5, r.center().y() + 0.5));
        }

    // The rate panel, with room for the losses and unlogged records above the rates.
    QRect rates = Px(*FindControl(t, kUnloggedLabel)) | Px(*FindControl(t, kLostLabel)) | Px(*FindControl(t, 1031)) |
                  Px(*FindControl(t, 1033));
    rates.adjust(-5, -7, 4, 5);
    Inset(p, rates, kPlate);

    // The emblem between the console and the rate panel.
    Radar(p, QPointF(buttons.center().x() + 1, (buttons.bottom() + 7 + rates.top()) / 2), 34, 200);

    // The packet screen: heads, list and its scroll bar on one plate.
    QRect list = Px(*FindControl(t, 1023));
    QRect bar = Px(*FindControl(t, 1034));
    QRect heads;
    for (int id : {1024, 1025, 1026, 1027, 1028, 1035}) heads |= Px(*FindControl(t, id));
    QRect plate = (list | bar | heads).adjusted(-8, -3, 8, 9);
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(kShade, 1));
    p.setBrush(kPlate);
    p.drawRoundedRect(QRectF(plate).adjusted(0.5, 0.5, -0.5, -0.5), 7, 7);
    p.restore();
    p.fillRect(QRect(plate.left() + 6, plate.top() + 1, plate.width() - 12, 1), kEdge);
    QRect screen = list.adjusted(-1, -1, 1, 1);
    p.fillRect(screen, kScreen);
    Bevel(p, screen, kShade, QColor(120, 120, 210));
    // Faint rows and column rules where the list will draw, so the empty
    // screen already reads as a table.
    int w = list.width();
    int col[] = {2 * w / 8 + 11, w / 8 - 5, 2 * w / 8 + 11, w / 8 - 5, w / 8 - 7};
    int x = list.left();
    for (int c : col) {
        x += c;
        p.fillRect(QRect(x, list.top() + 2, 1, list.height() - 4), kGrid);
    }
    for (int y = list.top() + 14; y < list.bottom(); y += 14)
        p.fillRect(QRect(list.left() + 2, y, list.width() - 4, 1), QColor(20, 20, 52));
    Radar(p, QPointF(list.center()) + QPointF(0.5, 0.5), 70, 60);
    QRect groove = bar.adjusted(-1, -1, 1, 1);
    p.fillRect(groove, kInk);
    Bevel(p, groove, kShade, QColor(120, 120, 210));

    // The transparency label, its scroll bar and the two small buttons sit in
    // the title strip; a groove under the scroll bar.
    QRect slider = Px(*FindControl(t, 1030)).adjusted(-1, -1, 1, 1);
    p.fillRect(slider, kInk);
    Bevel(p, slider, kShade, kEdge);
    for (int id : {1018, 1019}) {
        QRect r = Px(*FindControl(t, id)).adjusted(-1, -1, 1, 1);
        p.fillRect(r, kShade);
    }
    p.end();
    return img;
}

// The shared dialog backgrounds: a title strip and one sunken content panel
// around every control of every window that uses the picture.
QImage DialogBackground(QSize bitmap, std::initializer_list<int> templates) {
    QSize s = WindowSize(*templates.begin());
    QRect content;
    for (int id : templates)
        for (const ControlTemplate& c : FindDialogTemplate(id)->controls) {
            QRect r = Px(c);
            if (c.kind == ControlKind::ComboBox) r.setHeight(20);  // closed height
            content |= r;
        }
    content = content.adjusted(-7, -7, 7, 7) & QRect(8, 34, s.width() - 16, s.height() - 42);

    QImage img(bitmap, QImage::Format_RGB32);
    img.fill(Qt::black);
    QPainter p(&img);
    DrawFrame(p, s, DialogOutline(s));
    Radar(p, QPointF(23, 18), 8, 255);
    Title(p, 36, 23, "ORN", 13, kYellow);
    for (int i = 0; i < 3; ++i) Rivet(p, QPointF(s.width() - 20 - 10 * i, 18));

    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(150, 150, 235, 60));
    p.drawRoundedRect(QRectF(content).adjusted(0, 0, 1, 1), 7, 7);
    p.setBrush(kShade);
    p.drawRoundedRect(QRectF(content), 7, 7);
    QLinearGradient g(0, content.top(), 0, content.bottom());
    g.setColorAt(0, QColor(32, 32, 80));
    g.setColorAt(1, QColor(20, 20, 54));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(content).adjusted(1, 1, 0, 0), 6, 6);
    p.restore();
    // A rail behind the row of buttons along the bottom of the windows.
    QRect rail;
    for (int id : templates)
        for (const ControlTemplate& c : FindDialogTemplate(id)->controls)
            if (c.kind == ControlKind::PushButton && Px(c).top() > s.height() * 3 / 4) rail |= Px(c);
    if (!rail.isNull()) {
        rail = QRect(content.left() + 4, rail.top() - 4, content.width() - 8, rail.height() + 8);
        Inset(p, rail, QColor(16, 16, 46), 5);
        for (int x = rail.left() + 10; x < rail.right() - 8; x += 6)
            p.fillRect(QRect(x, rail.center().y(), 2, 1), QColor(36, 36, 86));
    }
    for (QPointF c : {QPointF(content.left() + 5, content.top() + 5), QPointF(content.right() - 4, content.top() + 5),
                      QPointF(content.left() + 5, content.bottom() - 4),
                      QPointF(content.right() - 4, content.bottom() - 4)})
        Rivet(p, c);
    p.end();
    return img;
}

// ---- button faces -------------------------------------------------------

enum class FaceState { Normal, Selected, Focus };
enum class Mark { None, Minimise, Close };

// The face's body leaves a drop shadow at its right and bottom, which the
// buttons show where they are wider or taller than the body.
QImage DrawFace(QSize size, QSize body, const QString& caption, FaceState state, Mark mark) {
    QImage img(size, QImage::Format_RGB32);
    img.fill(kDrop);
    QPainter p(&img);
    QRect r(QPoint(0, 0), body);
    p.fillRect(r, kInk);
    QRect in = r.adjusted(1, 1, -1, -1);
    QLinearGradient g(0, in.top(), 0, in.bottom());
    QColor hi, lo;
    switch (state) {
    case FaceState::Normal:
        g.setColorAt(0, QColor(96, 96, 190));
        g.setColorAt(1, QColor(42, 42, 108));
        hi = QColor(156, 156, 236), lo = QColor(26, 26, 68);
        break;
    case FaceState::Focus:
        g.setColorAt(0, QColor(122, 122, 218));
        g.setColorAt(1, QColor(58, 58, 140));
        hi = QColor(176, 176, 246), lo = QColor(34, 34, 86);
        break;
    case FaceState::Selected:
        g.setColorAt(0, QColor(26, 26, 70));
        g.setColorAt(1, QColor(66, 66, 150));
        hi = QColor(14, 14, 40), lo = QColor(110, 110, 200);
        break;
    }
    p.fillRect(in, g);
    if (state == FaceState::Focus) {
        Bevel(p, in, kYellow, kYellow);
        in = in.adjusted(1, 1, -1, -1);
    }
    Bevel(p, in, hi, lo);
    // Rounded corners, one pixel each.
    for (QPoint c : {r.topLeft(), r.topRight(), r.bottomLeft(), r.bottomRight()}) img.setPixel(c, kDrop.rgb());

    QPoint shift = state == FaceState::Selected ? QPoint(1, 1) : QPoint(0, 0);
    QColor ink = state == FaceState::Selected ? QColor(240, 240, 0) : kYellow;
    if (mark == Mark::Minimise) {
        p.fillRect(QRect(QPoint(4, 8) + shift, QSize(6, 2)), ink);
    } else if (mark == Mark::Close) {
        for (int i = 0; i < 6; ++i) {
            p.fillRect(QRect(QPoint(4 + i, 3 + i) + shift, QSize(2, 1)), ink);
            p.fillRect(QRect(QPoint(9 - i, 3 + i) + shift, QSize(2, 1)), ink);
        }
    } else if (!caption.isEmpty()) {
        // Bold where the caption fits with a margin, regular where it would crowd.
        QFont font = ArtFont(11, true);
        if (QFontMetrics(font).horizontalAdvance(caption) > body.width() - 10) font = ArtFont(11, false);
        p.setFont(font);
        p.setRenderHint(QPainter::TextAntialiasing, true);
        QRect text = r.translated(shift);
        p.setPen(kShade);
        p.drawText(text.translated(1, 1), Qt::AlignCenter, caption);
        p.setPen(ink);
        p.drawText(text, Qt::AlignCenter, caption);
    }
    p.end();
    return img;
}

// ---- icon ---------------------------------------------------------------

QImage DrawIcon(int size) {
    QImage img(size, size, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    double s = size;
    QLinearGradient g(0, 0, 0, s);
    g.setColorAt(0, QColor(70, 70, 160));
    g.setColorAt(1, QColor(20, 20, 56));
    p.setPen(QPen(kInk, std::max(1.0, s / 32)));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(0.5, 0.5, s - 1, s - 1), s / 5, s / 5);
    Radar(p, QPointF(s / 2, s / 2), s * 0.42, 255);
    p.end();
    return img;
}

// ---- the list of pictures -------------------------------------------------

struct Output {
    QString file;   // name in the output directory
    QString alias;  // path in the resources
};

bool Save(const QImage& img, const QString& dir, const QString& name, std::vector<Output>& out, const char* folder) {
    if (!img.save(dir + "/" + name)) {
        std::fprintf(stderr, "orn-artgen: cannot write %s\n", qPrintable(dir + "/" + name));
        return false;
    }
    out.push_back({name, QString(folder) + "/" + name});
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: orn-artgen OUTPUT_DIR\n");
        return 2;
    }
    // Drawing needs no display; keep the toolkit quiet about it.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        QString runtime = QDir::tempPath() + "/orn-artgen-" + QString::number(getuid());
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
    }
    QGuiApplication app(argc, argv);
    QString dir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(dir);
    std::vector<Output> out;
    bool ok = true;
    auto bmp = [&](int id, const QImage& img) { ok &= Save(img, dir, QString::number(id) + ".bmp", out, "bitmaps"); };

    // Windows: background (8-bit palette) and mask (1-bit).
    bmp(131, ToIndexed8(MainBackground()));
    bmp(133, DrawMask(QSize(480, 358), MainOutline(WindowSize(102))));
    bmp(190, ToIndexed8(DialogBackground(QSize(365, 358), {129, 132})));
    bmp(191, DrawMask(QSize(366, 358), DialogOutline(WindowSize(129))));
    bmp(188, ToIndexed8(DialogBackground(QSize(297, 222), {130, 134, 100})));
    bmp(189, DrawMask(QSize(297, 222), DialogOutline(WindowSize(130))));

    // Button faces: normal, selected, focus.
    struct Triple {
        int ids[3];
        const char* caption;
    };
    const Triple wide[] = {
        {{140, 143, 159}, "Start listening"}, {{145, 146, 160}, "Stop listening"}, {{147, 149, 158}, "Filters ..."},
        {{155, 156, 157}, "End"},             {{208, 209, 210}, "About"},          {{202, 203, 204}, "Help"},
        {{185, 186, 187}, "OK"},              {{173, 174, 175}, "Cancel"},         {{205, 206, 207}, "Browse"},
        {{170, 171, 172}, ""},
    };
    const FaceState states[] = {FaceState::Normal, FaceState::Selected, FaceState::Focus};
    for (const Triple& t : wide)
        for (int i = 0; i < 3; ++i) {
            QSize size = t.ids[i] == 147 ? QSize(80, 22) : QSize(80, 20);
            bmp(t.ids[i], DrawFace(size, QSize(78, 19), t.caption, states[i], Mark::None));
        }
    const Triple narrow[] = {{{176, 178, 177}, "Add"}, {{179, 180, 181}, "Edit"}, {{182, 183, 184}, "Delete"}};
    for (const Triple& t : narrow)
        for (int i = 0; i < 3; ++i) bmp(t.ids[i], DrawFace(QSize(45, 20), QSize(43, 19), t.caption, states[i], Mark::None));
    const int minimise[] = {137, 193, 194}, close[] = {139, 195, 196};
    for (int i = 0; i < 3; ++i) {
        bmp(minimise[i], DrawFace(QSize(16, 14), QSize(14, 13), "", states[i], Mark::Minimise));
        bmp(close[i], DrawFace(QSize(16, 14), QSize(14, 13), "", states[i], Mark::Close));
    }

    // The application icon in the sizes the tray, the window and the about box use.
    for (int size : {16, 32, 48, 64})
        ok &= Save(DrawIcon(size), dir, QString("128-%1.png").arg(size), out, "icons");
    // Larger ones for the desktop's icon theme only, not compiled in.
    for (int size : {128, 256})
        ok &= DrawIcon(size).save(dir + QString("/128-%1.png").arg(size));

    QFile qrc(dir + "/skin.qrc");
    if (!ok || !qrc.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 1;
    QTextStream ts(&qrc);
    ts << "<RCC>\n  <qresource prefix=\"/\">\n";
    for (const Output& o : out) ts << "    <file alias=\"" << o.alias << "\">" << o.file << "</file>\n";
    ts << "  </qresource>\n</RCC>\n";
    return 0;
}
