// The skinned controls: which bitmap a button shows, how list rows are
// coloured and clipped, the list operations the windows use, the drop-down
// list's items, and the up-down arrows.

#include <QPainter>
#include <QtTest>

#include "ui/skin/CSkinButton.h"
#include "ui/skin/CSkinComboBox.h"
#include "ui/skin/CSkinControls.h"
#include "ui/skin/CSkinListCtrl.h"
#include "ui/skin/SkinIds.h"
#include "ui/skin/SkinLook.h"

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

// The face a button shows, cut to the button's size.
QImage Face(int id, QSize size) { return LoadSkinBitmap(id).toImage().convertToFormat(QImage::Format_RGB32).copy(QRect(QPoint(0, 0), size)); }

QImage Shot(QWidget* w) { return w->grab().toImage().convertToFormat(QImage::Format_RGB32); }

// Renders one row with DrawItem onto a magenta image.
QImage Row(const CSkinListCtrl& list, int row, DrawAction action, bool selected, int width = 200) {
    QImage img(width, CSkinListCtrl::kRowHeight, QImage::Format_RGB32);
    img.fill(kMagenta);
    QPainter p(&img);
    list.DrawItem(p, img.rect(), row, action, selected);
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
    void buttonShowsTheRightBitmap() {
        QWidget window;
        auto* ok = new CSkinButton(&window);
        ok->setGeometry(10, 10, 78, 20);
        auto* other = new CSkinButton(&window);
        QVERIFY(ok->LoadBitmaps(185, 186, 187, 0));
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        const QSize size(78, 20);
        other->setFocus();
        QCOMPARE(Shot(ok), Face(185, size));
        ok->setFocus();
        QCOMPARE(Shot(ok), Face(187, size));
        // Pressed and focused: the selected face; let go over it: focus again.
        QTest::mousePress(ok, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(Shot(ok), Face(186, size));
        QTest::mouseRelease(ok, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(Shot(ok), Face(187, size));
        // Disabled without a disabled bitmap looks exactly like normal; with
        // one it shows that.
        ok->setEnabled(false);
        QCOMPARE(Shot(ok), Face(185, size));
        QVERIFY(ok->LoadBitmaps(185, 186, 187, 170));
        QCOMPARE(Shot(ok), Face(170, size));
        ok->setEnabled(true);
        // Pressed without a selected bitmap, while focused: the focus face.
        QVERIFY(ok->LoadBitmaps(185, 0, 187, 0));
        ok->setFocus();
        ok->setDown(true);
        QCOMPARE(ok->ChosenSlot(), int(CSkinButton::kFocus));
        ok->setDown(false);
        // Loading again drops what was loaded before.
        QVERIFY(ok->LoadBitmaps(176));
        QCOMPARE(ok->ChosenSlot(), int(CSkinButton::kNormal));
        // A missing normal bitmap: false, and nothing is drawn; a missing
        // optional one: false, the rest still works.
        QVERIFY(!ok->LoadBitmaps(4242, 186, 187));
        QCOMPARE(ok->ChosenSlot(), -1);
        QVERIFY(!ok->LoadBitmaps(185, 4242, 187));
        QCOMPARE(ok->ChosenSlot(), int(CSkinButton::kFocus));
    }

    void buttonDrawsNothingBeyondItsBitmap() {
        // A button wider and taller than its face (81 x 21 with an 80 x 20
        // face) leaves the window showing through.
        QWidget window;
        window.resize(100, 40);
        window.setAutoFillBackground(true);
        QPalette p = window.palette();
        p.setColor(QPalette::Window, QColor(kMagenta));
        window.setPalette(p);
        auto* b = new CSkinButton(&window);
        b->setGeometry(0, 0, 81, 21);
        b->LoadBitmaps(185, 186, 187);
        b->setText("OK");
        QImage shot = Shot(&window);
        QCOMPARE(shot.pixel(80, 5), kMagenta);
        QCOMPARE(shot.pixel(5, 20), kMagenta);
        QCOMPARE(shot.copy(0, 0, 80, 20), Face(185, QSize(80, 20)));
    }

    void rowColours() {
        QWidget window;
        window.resize(200, 120);
        CSkinListCtrl* two = MakeList(CSkinListCtrl::Use::TwoColumn, &window, 6);
        QImage img = Shot(two);
        for (int row = 0; row < 6; ++row) {
            QRgb expected = row % 2 ? qRgb(101, 101, 202) : qRgb(101, 101, 152);
            QCOMPARE(img.pixel(1, row * 14 + 7), expected);
            QCOMPARE(img.pixel(195, row * 14 + 7), qRgb(51, 51, 112));  // right of the columns
            QVERIFY2(TextPixels(img, QRect(0, row * 14, 200, 14)) > 10, qPrintable(QString::number(row)));
        }
        QCOMPARE(img.pixel(100, 6 * 14 + 5), qRgb(51, 51, 112));  // below the rows

        // Selected rows, per use; the text stays yellow.
        two->SetSelectedRow(3);
        img = Shot(two);
        QCOMPARE(img.pixel(1, 3 * 14 + 7), qRgb(151, 151, 202));
        QVERIFY(TextPixels(img, QRect(0, 3 * 14, 200, 14)) > 10);
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

    void drawActions() {
        QWidget window;
        CSkinListCtrl* two = MakeList(CSkinListCtrl::Use::TwoColumn, &window, 6);
        CSkinListCtrl* six = MakeList(CSkinListCtrl::Use::SixColumn, &window, 6);
        // A selection change repaints the ground as a full draw does.
        QCOMPARE(Row(*two, 3, DrawAction::SelectionChange, false).pixel(1, 7), qRgb(101, 101, 202));
        QCOMPARE(Row(*two, 4, DrawAction::SelectionChange, true).pixel(1, 7), qRgb(151, 151, 202));
        QCOMPARE(Row(*six, 0, DrawAction::DrawEntire, true).pixel(1, 7), qRgb(51, 51, 102));
        // A focus change alone paints no ground: the two-column list writes
        // yellow text, the packet list its selected-row colour.
        QImage focusTwo = Row(*two, 1, DrawAction::FocusChange, true);
        QCOMPARE(focusTwo.pixel(1, 7), kMagenta);
        QVERIFY(TextPixels(focusTwo, focusTwo.rect()) > 10);
        QImage focusSix = Row(*six, 1, DrawAction::FocusChange, true);
        QCOMPARE(focusSix.pixel(1, 7), kMagenta);
        QCOMPARE(TextPixels(focusSix, focusSix.rect()), 0);
        // Its ink is there all the same, in the dark blue: blends of it and
        // the magenta ground only.
        int ink = 0;
        for (int x = 0; x < focusSix.width(); ++x)
            for (int y = 0; y < focusSix.height(); ++y) {
                QRgb c = focusSix.pixel(x, y);
                if (c == kMagenta) continue;
                ++ink;
                QVERIFY(qGreen(c) <= 51 && qRed(c) >= 51);
            }
        QVERIFY(ink > 10);
    }

    void textOffsetsAndClipping() {
        QWidget window;
        // A full block shows exactly where the text starts and where it is cut.
        const QString block(8, QChar(0x2588));
        QImage probe(100, 14, QImage::Format_RGB32);
        probe.fill(Qt::black);
        {
            QPainter p(&probe);
            p.setFont(SkinFont());
            p.setPen(Qt::yellow);
            p.drawText(4, 1 + QFontMetrics(SkinFont()).ascent(), block);
        }
        if (!IsText(probe.pixel(4, 7)) || IsText(probe.pixel(3, 7)))
            QSKIP("the font's full block does not start at its origin");

        CSkinListCtrl six(CSkinListCtrl::Use::SixColumn, &window);
        CSkinListCtrl two(CSkinListCtrl::Use::TwoColumn, &window);
        for (CSkinListCtrl* l : {&six, &two}) {
            l->InsertColumn(0, "", LVCFMT_LEFT, 30);
            l->InsertColumn(1, "", LVCFMT_LEFT, 4);
            l->InsertColumn(2, "", LVCFMT_LEFT, 50);
            l->InsertItem(0, block);
            l->SetItemText(0, 1, block);
            l->SetItemText(0, 2, "");
        }
        // The packet list writes at offset 4 and clips from 5: its first
        // pixel column falls outside.
        QImage r = Row(six, 0, DrawAction::DrawEntire, false, 100);
        QVERIFY(!IsText(r.pixel(4, 7)));
        QVERIFY(IsText(r.pixel(5, 7)));
        // Cut at the column's right edge.
        QVERIFY(IsText(r.pixel(29, 7)));
        QCOMPARE(TextPixels(r, QRect(30, 0, 70, 14)), 0);  // the 4-pixel column shows nothing either
        // The two-column list writes at 5.
        r = Row(two, 0, DrawAction::DrawEntire, false, 100);
        QVERIFY(IsText(r.pixel(5, 7)));
        QVERIFY(!IsText(r.pixel(4, 7)));
        QCOMPARE(TextPixels(r, QRect(30, 0, 70, 14)), 0);
    }

    void listOperations() {
        QWidget window;
        CSkinListCtrl list(CSkinListCtrl::Use::TwoColumn, &window);
        list.resize(239, 120);
        list.SetBorder(true);
        QCOMPARE(list.GetCountPerPage(), 8);  // 118 pixels inside the border
        list.SetHeaderVisible(true);
        QCOMPARE(list.GetCountPerPage(), (118 - (QFontMetrics(list.font()).height() + 5)) / 14);
        list.SetHeaderVisible(false);

        QCOMPARE(list.InsertColumn(5, "Address", LVCFMT_LEFT, 119), 0);  // appended
        QCOMPARE(list.InsertItem(0, "b"), 0);
        QCOMPARE(list.InsertItem(99, "c"), 1);
        QCOMPARE(list.InsertItem(-1, "x"), -1);
        QVERIFY(!list.SetItemText(1, 1, "no such column"));
        // The selection follows its row.
        list.SetSelectedRow(1);
        QCOMPARE(list.GetNextItem(-1, LVNI_SELECTED), 1);
        list.InsertItem(0, "a");
        QCOMPARE(list.GetSelectedRow(), 2);
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
    }

    void mouseSelectsAndDoubleClicks() {
        QWidget window;
        CSkinListCtrl* list = MakeList(CSkinListCtrl::Use::TwoColumn, &window, 3);
        QSignalSpy doubles(list, &CSkinListCtrl::doubleClicked);
        QTest::mouseClick(list, Qt::LeftButton, {}, QPoint(20, 14 + 5));
        QCOMPARE(list->GetSelectedRow(), 1);
        // A press beside the rows clears the selection.
        QTest::mouseClick(list, Qt::LeftButton, {}, QPoint(20, 14 * 5));
        QCOMPARE(list->GetSelectedRow(), -1);
        QTest::mouseDClick(list, Qt::LeftButton, {}, QPoint(20, 14 * 2 + 5));
        QTest::mouseDClick(list, Qt::LeftButton, {}, QPoint(20, 14 * 6));
        QCOMPARE(doubles.size(), 2);
        QCOMPARE(doubles[0][0].toInt(), 2);
        QCOMPARE(doubles[1][0].toInt(), -1);
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

        // Choosing from code raises no selection change; the user's choice does.
        QSignalSpy changes(&combo, &CSkinComboBox::selectionChanged);
        combo.SetCurSel(9);
        QCOMPARE(combo.GetCurSel(), -1);
        combo.SetCurSel(0);
        QTest::keyClick(&combo, Qt::Key_Down);
        QCOMPARE(changes.size(), 1);
        QCOMPARE(combo.GetCurSel(), 1);
    }

    void upDownStepsWithinItsRange() {
        QWidget window;
        auto* buddy = new CSkinEdit(0, &window);
        auto* spin = new CSkinUpDown(kSetBuddyInt | kArrowKeys, &window);
        spin->setGeometry(80, 0, 17, 20);
        spin->SetBuddy(buddy);
        spin->SetRange32(0, 65535);
        buddy->setText("65534");
        spin->Step(+1);
        spin->Step(+1);  // no wrapping
        QCOMPARE(buddy->text(), QString("65535"));
        buddy->setText("0");
        spin->Step(-1);
        QCOMPARE(buddy->text(), QString("0"));
        // Text that isn't a number steps from the last position.
        spin->SetPos32(41);
        buddy->setText("abc");
        spin->Step(+1);
        QCOMPARE(buddy->text(), QString("42"));
        // The buddy's arrow keys and the arrows themselves.
        QTest::keyClick(buddy, Qt::Key_Up);
        QCOMPARE(buddy->text(), QString("43"));
        QTest::mouseClick(spin, Qt::LeftButton, {}, QPoint(8, 17));
        QCOMPARE(buddy->text(), QString("42"));
    }

};

QTEST_MAIN(TestSkinControls)
#include "test_skin_controls.moc"
