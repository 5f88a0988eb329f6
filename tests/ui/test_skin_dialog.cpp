// The skinned dialog base: window regions, templates turned into controls,
// modal runs and their results, notifications and scroll codes, the control
// colours and the dialog item texts.

#include <QRandomGenerator>
#include <QScrollBar>
#include <QTimer>
#include <QtTest>

#include "skin/qt/CSkinButton.h"
#include "skin/qt/CSkinComboBox.h"
#include "skin/qt/CSkinControls.h"
#include "skin/qt/CSkinDialog.h"
#include "skin/qt/CSkinListCtrl.h"
#include "skin/qt/SkinLook.h"
#include "skin/qt/WindowRegion.h"

namespace {

bool IsText(QRgb c) { return qRed(c) > 180 && qGreen(c) > 180 && qBlue(c) < 100; }
int TextPixels(const QImage& img) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) n += IsText(img.pixel(x, y));
    return n;
}
bool IsBrush(QRgb c) { return (c & 0xffffff) == (kControlBrushRgb & 0xffffff); }

// A window that records what reaches its handlers.
class CProbeDlg : public CSkinDialog {
public:
    CProbeDlg(int t, int background, int mask) : CSkinDialog(t, background, mask) {}

    QStringList log;
    int inits = 0;
    bool shownAtInit = true;

    using CSkinDialog::MapClicked;
    using CSkinDialog::MapCommand;

protected:
    bool OnInitDialog() override {
        shownAtInit = isVisible();
        ++inits;
        return true;
    }
    void OnHScroll(int code, int pos, CSkinScrollBar* bar) override { Note('H', code, pos, bar); }
    void OnVScroll(int code, int pos, CSkinScrollBar* bar) override { Note('V', code, pos, bar); }
    void Note(char way, int code, int pos, CSkinScrollBar* bar) {
        log << QString("%1 %2 %3 %4").arg(way).arg(bar->objectName()).arg(code).arg(pos);
    }
};

// Runs the dialog modally and lets act() drive it once it is up.
int RunModal(CSkinDialog& dlg, std::function<void()> act) {
    QTimer::singleShot(0, &dlg, [&dlg, act] {
        QApplication::setActiveWindow(&dlg);
        act();
    });
    return dlg.DoModal();
}

}  // namespace

class TestSkinDialog : public QObject {
    Q_OBJECT
private slots:
    // Pixel for pixel: any pattern (rows equal to the one above included),
    // nothing outside the window where the mask is larger, as the dialogs' masks are.
    void regionFromMask() {
        QImage noise(37, 23, QImage::Format_RGB32);
        noise.fill(Qt::white);
        QRandomGenerator rng(4);
        for (int y = 0; y < 23; ++y)
            for (int x = 0; x < 37; ++x)
                if (y % 5 != 4 && rng.bounded(3) == 0) noise.setPixel(x, y, 0);
        for (int x = 0; x < 37; ++x) noise.setPixel(x, 4, noise.pixel(x, 3));
        const QRegion region = BuildWindowRegion(noise, QSize(35, 22));
        for (int y = -1; y <= 23; ++y)
            for (int x = -1; x <= 37; ++x) {
                const bool kept = x >= 0 && y >= 0 && x < 35 && y < 22 && (noise.pixel(x, y) & 0xffffff) != 0;
                QVERIFY2(region.contains(QPoint(x, y)) == kept, qPrintable(QString("%1,%2").arg(x).arg(y)));
            }
    }

    void regionIsCutOncePerOpening() {
        CProbeDlg dlg(102, 131, 133);
        QCOMPARE(RunModal(dlg, [&] { dlg.EndDialog(IDOK); }), IDOK);
        QVERIFY(!dlg.shownAtInit);
        QCOMPARE(dlg.mask(), BuildWindowRegion(LoadSkinBitmapImage(133), QSize(480, 358)));
        QCOMPARE(RunModal(dlg, [&] { dlg.EndDialog(IDCANCEL); }), IDCANCEL);
        QCOMPARE(dlg.inits, 2);
    }

    // Kinds, texts and styles from the template; the up-down sits inside
    // its buddy's right edge (the buddy gives way), a combo box closes to 20.
    void templateBecomesControls() {
        CProbeDlg main(102, 131, 133);
        QVERIFY(main.Control<CSkinButton>(1000) && !main.Control<CSkinButton>(1023) && !main.Item(4242));
        QCOMPARE(main.Control<CSkinListCtrl>(1023)->ListUse(), CSkinListCtrl::Use::SixColumn);
        QCOMPARE(main.GetDlgItemText(1026), QString("Dest. addr."));
        CProbeDlg filters(129, 190, 191);
        QVERIFY(filters.Control<CSkinListCtrl>(1002)->HeaderVisible() && filters.Control<CSkinCheckBox>(1017));
        CProbeDlg about(100, 188, 189);
        QCOMPARE(about.findChild<CSkinIconStatic*>()->pixmap().size(), QSize(32, 32));
        CProbeDlg entry(130, 188, 189);
        QCOMPARE(entry.Item(1008)->geometry(), QRect(87, 124, 75, 20));
        QCOMPARE(entry.Item(1032)->geometry(), QRect(162, 124, 17, 20));
        QCOMPARE(entry.Item(1041)->geometry(), QRect(198, 124, 81, 20));
    }

    void modalResults() {
        CProbeDlg entry(130, 188, 189);
        auto key = [&](int id, Qt::Key k) {
            return RunModal(entry, [&entry, id, k] {
                entry.Item(id)->setFocus();
                QTest::keyClick(entry.Item(id), k);
            });
        };
        QCOMPARE(key(1006, Qt::Key_Return), IDOK);  // Enter in an edit: the OK command
        QCOMPARE(key(IDCANCEL, Qt::Key_Return), IDCANCEL);  // Enter on a focused button presses it

        // Enter in a multi-line edit is the window's too, Ctrl+Enter a new line.
        CProbeDlg details(132, 190, 191);
        QCOMPARE(RunModal(details, [&] {
                     auto* edit = details.Item(1037);
                     edit->setFocus();
                     QTest::keyClicks(edit, "a");
                     QTest::keyClick(edit, Qt::Key_Return, Qt::ControlModifier);
                     QTest::keyClicks(edit, "b");
                     QTest::keyClick(edit, Qt::Key_Return);
                 }),
                 IDOK);
        QCOMPARE(details.GetDlgItemText(1037), QString("a\nb"));
    }

    void notificationsReachTheirHandlers() {
        CProbeDlg entry(130, 188, 189);
        QStringList seen;
        entry.MapClicked(104, [&] { seen << "BN_CLICKED 104"; });
        entry.MapCommand(1008, EN_CHANGE, [&] { seen << "EN_CHANGE " + entry.GetDlgItemText(1008); });
        entry.MapCommand(1041, CBN_SELCHANGE, [&] {
            seen << "CBN_SELCHANGE " + QString::number(entry.Control<CSkinComboBox>(1041)->GetCurSel());
        });
        entry.MapClicked(ID_HELP, [&] { seen << "help"; });
        RunModal(entry, [&] {
            entry.ShowItem(104, true);
            QTest::mouseClick(entry.Item(104), Qt::LeftButton);
            entry.SetDlgItemText(1008, "80");
            auto* combo = entry.Control<CSkinComboBox>(1041);
            combo->SetCurSel(0);  // selecting from code tells nobody
            combo->setFocus();
            QTest::keyClick(combo, Qt::Key_Down);  // the user: FTP
            QTest::keyClick(entry.Item(1006), Qt::Key_F1);
            QTimer::singleShot(50, &entry, [&] { entry.EndDialog(IDOK); });
        });
        QCOMPARE(seen, (QStringList{"BN_CLICKED 104", "EN_CHANGE 80", "CBN_SELCHANGE 1", "help"}));
    }

    // The bar never moves by itself: only the owner sets the position.
    void scrollBarsReportScrollCodes() {
        CProbeDlg hosts(134, 188, 189);
        auto* bar = hosts.Control<CSkinScrollBar>(1040);
        hosts.show();
        QVERIFY(QTest::qWaitForWindowExposed(&hosts));
        bar->SetScrollRange(1, 100);
        bar->SetScrollPos(5);
        for (auto action : {QAbstractSlider::SliderSingleStepAdd, QAbstractSlider::SliderSingleStepSub,
                            QAbstractSlider::SliderPageStepAdd, QAbstractSlider::SliderPageStepSub,
                            QAbstractSlider::SliderToMinimum, QAbstractSlider::SliderToMaximum})
            bar->triggerAction(action);
        QCOMPARE(hosts.log.join(", "), "V control1040 1 0, V control1040 0 0, V control1040 3 0, "
                                       "V control1040 2 0, V control1040 6 0, V control1040 7 0");
        QCOMPARE(bar->value(), 5);

        // Dragging the thumb: SB_THUMBTRACK with the thumb's position while
        // it moves, SB_THUMBPOSITION where it is let go, then SB_ENDSCROLL;
        // the bar shows the owner's position all along.
        hosts.log.clear();
        QStyleOptionSlider opt;
        opt.initFrom(bar);
        opt.orientation = Qt::Vertical;
        opt.minimum = 1, opt.maximum = 100, opt.sliderPosition = opt.sliderValue = 5, opt.pageStep = 1;
        const QPoint from =
            bar->style()->subControlRect(QStyle::CC_ScrollBar, &opt, QStyle::SC_ScrollBarSlider, bar).center();
        QTest::mousePress(bar, Qt::LeftButton, {}, from);
        QTest::mouseMove(bar, from + QPoint(0, 40));
        QTest::mouseRelease(bar, Qt::LeftButton, {}, from + QPoint(0, 40));
        const QString log = hosts.log.join(", ");
        QVERIFY2(hosts.log.size() >= 3 && hosts.log.first().startsWith("V control1040 5 "), qPrintable(log));
        const int tracked = hosts.log.first().section(' ', 3).toInt();
        QVERIFY(tracked > 5);
        QCOMPARE(hosts.log.mid(hosts.log.size() - 2),
                 (QStringList{QString("V control1040 4 %1").arg(tracked), "V control1040 8 0"}));
        QCOMPARE(bar->value(), 5);
    }

    // Yellow text on the (51, 51, 102) brush inside the controls' frames;
    // check and radio indicators stand out from it, checked or not; the
    // details boxes scroll what is longer than they are.
    void controlColours() {
        CProbeDlg entry(130, 188, 189);
        entry.SetDlgItemText(1006, "888.888.888.888");
        entry.show();
        QVERIFY(QTest::qWaitForWindowExposed(&entry));
        auto* edit = qobject_cast<QLineEdit*>(entry.Item(1006));
        edit->deselect();  // the first tab stop came up selected
        const QImage e = edit->grab().toImage();
        QVERIFY(IsBrush(e.pixel(e.width() - 6, e.height() / 2)) && IsBrush(e.pixel(5, 4)));
        QVERIFY(TextPixels(e) > 20);
        QCOMPARE(edit->palette().color(QPalette::Text).rgb(), kControlTextRgb);

        CProbeDlg details(132, 190, 191);
        details.SetDlgItemText(1036, "TCP\tport 80");
        details.show();
        QVERIFY(QTest::qWaitForWindowExposed(&details));
        auto* info = details.Control<CSkinMultiEdit>(1036);
        const QImage m = info->grab().toImage();
        QVERIFY(IsBrush(m.pixel(m.width() - 4, m.height() - 4)));
        QCOMPARE(m.pixel(0, 0), qRgb(0, 0, 0));  // its border
        QVERIFY(TextPixels(m) > 10);
        // The fourth line shows whole (its eight has the ink of the first's),
        // the fifth is reached with the scroll bar.
        for (const char* text : {"8\r\n2\r\n3", "8\r\n2\r\n3\r\n8\r\n5"}) {
            details.SetDlgItemText(1036, text);
            QTest::qWait(1);
            QCOMPARE(info->verticalScrollBar()->isVisible(), std::strlen(text) > 10);
        }
        const QImage lines = info->grab().toImage();
        const int line = lines.height() / 4 + 1;
        QCOMPARE(TextPixels(lines.copy(0, 3 * line, 40, line)), TextPixels(lines.copy(0, 0, 40, line)));

        CProbeDlg filters(129, 190, 191);
        filters.CheckDlgButton(1014, true);
        filters.show();
        QVERIFY(QTest::qWaitForWindowExposed(&filters));
        for (int id : {1013, 1014, 1017}) {
            const QImage box = filters.Item(id)->grab(QRect(0, 0, 14, filters.Item(id)->height())).toImage();
            int rim = 0, ink = 0;
            for (int y = 0; y < box.height(); ++y)
                for (int x = 0; x < box.width(); ++x) {
                    const QRgb c = box.pixel(x, y);
                    rim += qBlue(c) > 180 && qRed(c) > 120;  // far lighter than the brush
                    ink += IsText(c);
                }
            QVERIFY2(rim > 10 && (ink > 0) == (id == 1014), qPrintable(QString("%1: %2 %3").arg(id).arg(rim).arg(ink)));
        }
    }

    void dialogItemTextsAndNumbers() {
        CProbeDlg entry(130, 188, 189);
        // Signed numbers as the entry window reads its port: what translates, and what not (0).
        const std::pair<const char*, long long> cases[] = {{"  -1 ", -1}, {"65536", 65536}, {"", 0}, {"12ab", 0},
                                                           {"2147483648", 0}, {"-2147483648", -2147483648LL}};
        for (auto [text, value] : cases) {
            bool ok = false;
            entry.SetDlgItemText(1008, text);
            QCOMPARE(entry.GetDlgItemInt(1008, &ok, true), value);
            QCOMPARE(ok, value != 0);
        }
        // 8-bit texts keep every byte as one character; edits break lines at "\r\n".
        entry.SetDlgItemText(1006, "caf\xe9");
        QCOMPARE(entry.GetDlgItemText(1006), QString::fromLatin1("caf\xe9"));
        CProbeDlg details(132, 190, 191);
        details.SetDlgItemText(1037, "line 1\r\nline 2");
        QCOMPARE(details.GetDlgItemText(1037), QString("line 1\nline 2"));
    }
};

QTEST_MAIN(TestSkinDialog)
#include "test_skin_dialog.moc"
