// The skinned controls: which bitmap a button shows, how list rows are
// painted (coloured and clipped), the list operations the windows use, the drop-down
// list's items, and the up-down arrows.

#include <QPainter>
#include <QtTest>

#include "skin/qt/CSkinButton.h"
#include "skin/qt/CSkinComboBox.h"
#include "skin/qt/CSkinControls.h"
#include "skin/qt/CSkinListCtrl.h"
#include "skin/SkinIds.h"
#include "skin/qt/SkinLook.h"

namespace {

const QRgb kMagenta = qRgb(255, 0, 255);

// Yellow ink, also where it is blended into the ground at its edges.
bool IsText(QRgb c) { return qRed(c) > 180 && qGreen(c) > 180 && qBlue(c) < 100; }

int TextPixels(const QImage& img, QRect in) {
    int n = 0;
    in &= img.rect();
    for (int y = in.top(); y <= in.bottom(); ++y)
        for (int x = in.left(); x <= in.right(); ++x) n += IsText(img.pixel(x, y));
    return n;
}

QImage Shot(QWidget* w) { return w->grab().toImage().convertToFormat(QImage::Format_RGB32); }

// The first row as the list paints it, on a magenta image 100 pixels wide.
QImage FirstRow(const CSkinListCtrl& list) {
    QImage img(100, CSkinListCtrl::kRowHeight, QImage::Format_RGB32);
    img.fill(kMagenta);
    QPainter p(&img);
    list.DrawItem(p, img.rect(), 0, DrawAction::DrawEntire, false);
    return img;
}

CSkinListCtrl* MakeList(CSkinListCtrl::Use use, QWidget* parent, int rows) {
    auto* list = new CSkinListCtrl(use, parent);
    list->setGeometry(0, 0, 200, 120);
    list->SetBkColor(QColor::fromRgb(kListBackgroundRgb));
    list->InsertColumn(0, "Address", LVCFMT_LEFT, 130);
    list->InsertColumn(1, "Port", LVCFMT_LEFT, 60);
    for (int i = 0; i < rows; ++i) {
        list->InsertItem(i, QStringLiteral("10.0.0.%1").arg(i));
        list->SetItemText(i, 1, "80");
    }
    return list;
}

}  // namespace

class TestSkinControls : public QObject {
    Q_OBJECT
private slots:
    // The face for the state, drawn unscaled; a button larger than its face
    // leaves the window showing through. Every window loads all three faces
    // from the program's resources and disables no button.
    void buttonShowsTheRightBitmap() {
        QWidget window;
        window.resize(100, 40);
        window.setAutoFillBackground(true);
        QPalette palette = window.palette();
        palette.setColor(QPalette::Window, QColor(kMagenta));
        window.setPalette(palette);
        auto* ok = new CSkinButton(&window);
        ok->setGeometry(0, 0, 81, 21);
        QVERIFY(ok->LoadBitmaps(185, 186, 187, 0));
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        ok->clearFocus();
        auto shows = [&](int id) {
            const QImage shot = Shot(&window);
            return shot.copy(0, 0, 80, 20) == LoadSkinBitmap(id).toImage().convertToFormat(QImage::Format_RGB32) &&
                   shot.pixel(80, 5) == kMagenta && shot.pixel(5, 20) == kMagenta;
        };
        QVERIFY(shows(185));
        ok->setFocus();
        QVERIFY(shows(187));
        // Pressed and focused: the selected face; let go over it: focus again.
        QTest::mousePress(ok, Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(shows(186));
        QTest::mouseRelease(ok, Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(shows(187));
    }

    void rowColours() {
        QWidget window;
        window.resize(200, 120);
        CSkinListCtrl* two = MakeList(CSkinListCtrl::Use::TwoColumn, &window, 6);
        two->SetSelectedRow(3);
        QImage img = Shot(two);
        for (int row = 0; row < 6; ++row) {
            const QRgb ground = row == 3 ? qRgb(151, 151, 202) : row % 2 ? qRgb(101, 101, 202) : qRgb(101, 101, 152);
            QCOMPARE(img.pixel(1, row * 14 + 7), ground);
            QCOMPARE(img.pixel(195, row * 14 + 7), qRgb(51, 51, 112));  // right of the columns
            QVERIFY2(TextPixels(img, QRect(0, row * 14, 200, 14)) > 10, qPrintable(QString::number(row)));
        }
        QCOMPARE(img.pixel(100, 6 * 14 + 5), qRgb(51, 51, 112));  // below the rows
        // Moving the selection from row 3 to row 4 repaints both.
        two->setFocus();
        QTest::keyClick(two, Qt::Key_Down);
        QCOMPARE(two->GetSelectedRow(), 4);
        img = Shot(two);
        QCOMPARE(img.pixel(1, 3 * 14 + 7), qRgb(101, 101, 202));
        QCOMPARE(img.pixel(1, 4 * 14 + 7), qRgb(151, 151, 202));

        CSkinListCtrl* six = MakeList(CSkinListCtrl::Use::SixColumn, &window, 6);
        six->SetSelectedRow(2);
        img = Shot(six);
        QCOMPARE(img.pixel(1, 2 * 14 + 7), qRgb(51, 51, 102));
        QVERIFY(TextPixels(img, QRect(0, 2 * 14, 200, 14)) > 10);
    }

    // Full blocks with a gap show exactly where the text starts and where
    // it is cut.
    void textOffsetsAndClipping() {
        const QString text = QString(QChar(0x2588)) + ' ' + QString(8, QChar(0x2588));
        const int w = QFontMetrics(SkinFont()).horizontalAdvance(QChar(0x2588));
        QImage probe(100, 14, QImage::Format_RGB32);
        probe.fill(Qt::black);
        {
            QPainter p(&probe);
            p.setFont(SkinFont());
            p.setPen(Qt::yellow);
            p.drawText(4, 1 + QFontMetrics(SkinFont()).ascent(), text);
        }
        if (IsText(probe.pixel(3, 7)) || !IsText(probe.pixel(4, 7)) || !IsText(probe.pixel(3 + w, 7)) ||
            IsText(probe.pixel(4 + w, 7)))
            QSKIP("the font's full block does not fill its advance");

        QWidget window;
        CSkinListCtrl six(CSkinListCtrl::Use::SixColumn, &window);
        CSkinListCtrl two(CSkinListCtrl::Use::TwoColumn, &window);
        for (CSkinListCtrl* l : {&six, &two}) {
            for (int width : {30, 4, 50}) l->InsertColumn(9, "", LVCFMT_LEFT, width);
            l->InsertItem(0, text);
            l->SetItemText(0, 1, text);
        }
        // The packet list writes at offset 4 and clips from 5: its first
        // pixel column falls outside. The two-column list writes at 5. Both
        // cut at the column's right edge; the 4-pixel column shows nothing.
        for (auto [list, offset] : {std::pair{&six, 4}, {&two, 5}}) {
            const QImage r = FirstRow(*list);
            QVERIFY(!IsText(r.pixel(4, 7)) && IsText(r.pixel(5, 7)) && IsText(r.pixel(29, 7)));
            QVERIFY2(IsText(r.pixel(offset + w - 1, 7)) && !IsText(r.pixel(offset + w, 7)),
                     qPrintable(QString::number(offset)));  // the gap
            QCOMPARE(TextPixels(r, QRect(30, 0, 70, 14)), 0);
        }
    }

    void listOperations() {
        QWidget window;
        CSkinListCtrl list(CSkinListCtrl::Use::TwoColumn, &window);
        list.resize(239, 120);
        list.SetBorder(true);  // 118 pixels inside: 8 rows

        QCOMPARE(list.InsertColumn(5, "Address", LVCFMT_LEFT, 119), 0);  // appended
        QCOMPARE(list.InsertItem(0, "b"), 0);
        QCOMPARE(list.InsertItem(99, "c"), 1);
        QCOMPARE(list.InsertItem(-1, "x"), -1);
        QVERIFY(!list.SetItemText(1, 1, "no such column"));
        // The selection follows its row.
        list.SetSelectedRow(1);
        list.InsertItem(0, "a");
        QCOMPARE(list.GetNextItem(-1, LVNI_SELECTED), 2);
        list.DeleteItem(2);
        QCOMPARE(list.GetSelectedCount(), 0);

        // Rows beyond a page are reached with the keyboard.
        list.DeleteAllItems();
        for (int i = 0; i < 12; ++i) list.InsertItem(i, QString::number(i));
        list.SetSelectedRow(7);
        QTest::keyClick(&list, Qt::Key_Down);
        QCOMPARE(list.GetSelectedRow(), 8);
        QCOMPARE(list.GetTopIndex(), 1);
        QCOMPARE(list.RowAt(QPoint(10, 1 + 14 * 2 + 3)), 3);
        QTest::keyClick(&list, Qt::Key_Home);
        QCOMPARE(list.GetTopIndex(), 0);

        // A press beside the rows clears the selection; a double click there tells row -1.
        CSkinListCtrl* mouse = MakeList(CSkinListCtrl::Use::TwoColumn, &window, 3);
        QSignalSpy doubles(mouse, &CSkinListCtrl::doubleClicked);
        mouse->SetSelectedRow(1);
        QTest::mouseClick(mouse, Qt::LeftButton, {}, QPoint(20, 14 * 5));
        QCOMPARE(mouse->GetSelectedRow(), -1);
        QTest::mouseDClick(mouse, Qt::LeftButton, {}, QPoint(20, 14 * 6));
        QCOMPARE(doubles.size(), 1);
        QCOMPARE(doubles[0][0].toInt(), -1);
    }

    void comboItems() {
        QWidget window;
        CSkinComboBox combo(&window);
        combo.setGeometry(0, 0, 81, 20);
        for (const char* s : {"HTTP", "FTP", "Other..."}) combo.AddString(s);
        QImage img(81, 14, QImage::Format_RGB32);
        QPainter p(&img);
        combo.DrawItem(p, img.rect(), 1, false);
        QCOMPARE(img.pixel(1, 1), qRgb(101, 101, 152));
        // The text is yellow and centred.
        int left = 81, right = -1;
        for (int x = 0; x < 81; ++x)
            for (int y = 0; y < 14; ++y)
                if (IsText(img.pixel(x, y))) left = std::min(left, x), right = std::max(right, x);
        QVERIFY(right > left && std::abs((left + right) / 2 - 40) <= 2);
        combo.DrawItem(p, img.rect(), 0, true);
        QCOMPARE(QColor(img.pixel(1, 1)), QGuiApplication::palette().color(QPalette::Active, QPalette::Highlight));
    }

    void upDownStepsWithinItsRange() {
        QWidget window;
        auto* buddy = new CSkinEdit(0, &window);
        auto* spin = new CSkinUpDown(kSetBuddyInt | kArrowKeys, &window);
        spin->setGeometry(80, 0, 17, 20);
        spin->SetBuddy(buddy);
        spin->SetRange32(0, 65535);
        // Text that isn't a number steps from the last position; no wrapping at either end.
        spin->SetPos32(41);
        for (auto [text, step, after] : {std::tuple{"abc", +1, "42"}, {"65535", +1, "65535"}, {"0", -1, "0"}}) {
            buddy->setText(text);
            spin->Step(step);
            QCOMPARE(buddy->text(), QString(after));
        }
        // The buddy's arrow keys and the arrows themselves.
        QTest::keyClick(buddy, Qt::Key_Up);
        QCOMPARE(buddy->text(), QString("1"));
        QTest::mouseClick(spin, Qt::LeftButton, {}, QPoint(8, 17));
        QCOMPARE(buddy->text(), QString("0"));
    }
};

QTEST_MAIN(TestSkinControls)
#include "test_skin_controls.moc"
