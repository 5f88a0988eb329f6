// The skinned dialog base: window regions, templates turned into controls,
// modal runs and their results, notifications and scroll codes, moving by a
// press on the surface, and the control colours.

#include <QLabel>
#include <QRandomGenerator>
#include <QTimer>
#include <QtTest>
#include <thread>

#include "ui/skin/CSkinButton.h"
#include "ui/skin/CSkinComboBox.h"
#include "ui/skin/CSkinControls.h"
#include "ui/skin/CSkinDialog.h"
#include "ui/skin/CSkinListCtrl.h"
#include "ui/skin/SkinLook.h"
#include "ui/skin/WindowRegion.h"

namespace {

QImage Mask(int w, int h, QRgb fill) {
    QImage m(w, h, QImage::Format_RGB32);
    m.fill(fill);
    return m;
}

// Pixel-exact comparison of a region with a predicate.
template <class Keep>
bool RegionIs(const QRegion& r, QSize window, Keep keep, QString* where) {
    for (int y = -1; y <= window.height(); ++y)
        for (int x = -1; x <= window.width(); ++x)
            if (r.contains(QPoint(x, y)) != keep(x, y)) {
                *where = QString("%1,%2").arg(x).arg(y);
                return false;
            }
    return true;
}

bool Near(QRgb a, QRgb b) { return (a & 0xffffff) == (b & 0xffffff); }

// A window that records what reaches its handlers.
class CProbeDlg : public CSkinDialog {
public:
    CProbeDlg(int t, int background, int mask) : CSkinDialog(t, background, mask) {}

    std::function<void(CProbeDlg*)> onInit;
    QStringList log;
    bool shownAtInit = true;

    using CSkinDialog::MapClicked;
    using CSkinDialog::MapCommand;
    using CSkinDialog::MapNotify;

protected:
    bool OnInitDialog() override {
        shownAtInit = isVisible();
        if (onInit) onInit(this);
        return true;
    }
    void OnHScroll(int code, int pos, CSkinScrollBar* bar) override {
        log << QString("H %1 %2 %3").arg(bar->objectName()).arg(code).arg(pos);
    }
    void OnVScroll(int code, int pos, CSkinScrollBar* bar) override {
        log << QString("V %1 %2 %3").arg(bar->objectName()).arg(code).arg(pos);
    }
};

// Runs the dialog modally and lets act() drive it once it is up.
int RunModal(CSkinDialog& dlg, std::function<void()> act) {
    QTimer::singleShot(0, &dlg, [&dlg, act] {
        dlg.activateWindow();
        QApplication::setActiveWindow(&dlg);
        act();
    });
    return dlg.DoModal();
}

}  // namespace

class TestSkinDialog : public QObject {
    Q_OBJECT
private slots:
    void regionFromMask() {
        QString where;
        // All white: the whole window.
        QCOMPARE(BuildWindowRegion(Mask(20, 10, qRgb(255, 255, 255)), QSize(20, 10)), QRegion(0, 0, 20, 10));

        // A black border one pixel wide: exactly the inside.
        QImage border = Mask(20, 10, qRgb(255, 255, 255));
        for (int x = 0; x < 20; ++x) border.setPixel(x, 0, 0), border.setPixel(x, 9, 0);
        for (int y = 0; y < 10; ++y) border.setPixel(0, y, 0), border.setPixel(19, y, 0);
        QCOMPARE(BuildWindowRegion(border, QSize(20, 10)), QRegion(1, 1, 18, 8));

        // A window larger than its mask keeps the margin the mask doesn't cover.
        QVERIFY2(RegionIs(BuildWindowRegion(Mask(6, 4, 0), QSize(10, 8)), QSize(10, 8),
                          [](int x, int y) { return x >= 0 && y >= 0 && x < 10 && y < 8 && (x >= 6 || y >= 4); },
                          &where),
                 qPrintable(where));
        // A mask larger than the window adds nothing outside it.
        QCOMPARE(BuildWindowRegion(Mask(30, 30, qRgb(255, 255, 255)), QSize(20, 10)), QRegion(0, 0, 20, 10));

        // Any pattern, pixel for pixel, including rows equal to the one above.
        QImage noise = Mask(37, 23, qRgb(255, 255, 255));
        QRandomGenerator rng(4);
        for (int y = 0; y < 23; ++y)
            for (int x = 0; x < 37; ++x)
                if (y % 5 != 4 && rng.bounded(3) == 0) noise.setPixel(x, y, 0);
        for (int x = 0; x < 37; ++x) noise.setPixel(x, 4, noise.pixel(x, 3));
        QVERIFY2(RegionIs(BuildWindowRegion(noise, QSize(40, 25)), QSize(40, 25),
                          [&](int x, int y) {
                              if (x < 0 || y < 0 || x >= 40 || y >= 25) return false;
                              return x >= 37 || y >= 23 || (noise.pixel(x, y) & 0xffffff) != 0;
                          },
                          &where),
                 qPrintable(where));
    }

    void maskedWindowShowsWhatIsBehindItsCutPixels() {
        // A masked child stands in for the window: the offscreen platform
        // does not apply a top-level window's mask to its own picture.
        QWidget back;
        back.resize(480, 358);
        back.setAutoFillBackground(true);
        QPalette p = back.palette();
        p.setColor(QPalette::Window, Qt::green);
        back.setPalette(p);
        QLabel face(&back);
        face.setPixmap(LoadSkinBitmap(131));
        face.setGeometry(0, 0, 480, 358);
        face.setMask(BuildWindowRegion(LoadSkinBitmapImage(133), QSize(480, 358)));
        QImage shot = back.grab().toImage();
        QCOMPARE(shot.pixel(0, 0), QColor(Qt::green).rgb());
        QCOMPARE(shot.pixel(479, 357), QColor(Qt::green).rgb());
        QCOMPARE(shot.pixel(240, 179), LoadSkinBitmapImage(131).pixel(240, 179));
    }

    void regionIsCutOncePerOpening() {
        CProbeDlg dlg(102, 131, 133);
        int opened = 0;
        dlg.onInit = [&](CProbeDlg*) { ++opened; };
        QCOMPARE(RunModal(dlg, [&] { dlg.EndDialog(IDOK); }), IDOK);
        QVERIFY(!dlg.shownAtInit);
        QCOMPARE(dlg.mask(), BuildWindowRegion(LoadSkinBitmapImage(133), QSize(480, 358)));
        QVERIFY(!dlg.mask().contains(QPoint(0, 0)));
        QVERIFY(dlg.mask().contains(QPoint(240, 179)));
        QCOMPARE(RunModal(dlg, [&] { dlg.EndDialog(IDCANCEL); }), IDCANCEL);
        QCOMPARE(opened, 2);

        // A mask that doesn't exist leaves the window whole and says nothing.
        CProbeDlg missing(130, 188, 4242);
        RunModal(missing, [&] { missing.EndDialog(IDOK); });
        QVERIFY(missing.mask().isEmpty());
    }

    void templateBecomesControls() {
        CProbeDlg main(102, 131, 133);
        QCOMPARE(main.size(), QSize(480, 358));
        QCOMPARE(main.Item(1023)->geometry(), QRect(132, 54, 309, 286));
        QVERIFY(main.Control<CSkinButton>(1000));
        QCOMPARE(main.Control<CSkinButton>(1023), nullptr);
        QCOMPARE(main.Item(4242), nullptr);
        auto* packets = main.Control<CSkinListCtrl>(1023);
        QCOMPARE(packets->ListUse(), CSkinListCtrl::Use::SixColumn);
        QCOMPARE(packets->GetCountPerPage(), 20);
        QCOMPARE(main.Control<CSkinScrollBar>(1034)->orientation(), Qt::Vertical);
        QVERIFY(main.Item(1023)->isHidden());
        QVERIFY(!main.Item(1030)->isHidden());
        QCOMPARE(main.GetDlgItemText(1026), QString("Dest. addr."));

        CProbeDlg filters(129, 190, 191);
        QVERIFY(filters.Control<CSkinListCtrl>(1002)->HeaderVisible());
        QVERIFY(filters.Control<CSkinCheckBox>(1017));
        CProbeDlg hosts(134, 188, 189);
        QCOMPARE(hosts.Control<CSkinListCtrl>(1038)->GetCountPerPage(), 8);

        CProbeDlg entry(130, 188, 189);
        QCOMPARE(entry.size(), QSize(297, 221));
        // The up-down sits inside its buddy's right edge; the buddy gives way.
        QCOMPARE(entry.Item(1008)->geometry(), QRect(87, 124, 75, 20));
        QCOMPARE(entry.Item(1032)->geometry(), QRect(162, 124, 17, 20));
        QCOMPARE(entry.Control<CSkinUpDown>(1032)->Buddy(), entry.Item(1008));
        auto* services = entry.Control<CSkinComboBox>(1041);
        QCOMPARE(services->geometry(), QRect(198, 124, 81, 20));
        QCOMPARE(services->GetLBText(7), QString("Other..."));
        QCOMPARE(services->GetCurSel(), -1);

        CProbeDlg about(100, 188, 189);
        QCOMPARE(about.findChild<CSkinIconStatic*>()->pixmap().size(), QSize(32, 32));
    }

    void modalResults() {
        // Enter in an edit: the OK command.
        CProbeDlg entry(130, 188, 189);
        QCOMPARE(RunModal(entry, [&] {
                     entry.Item(1006)->setFocus();
                     QTest::keyClick(entry.Item(1006), Qt::Key_Return);
                 }),
                 IDOK);
        // Enter on a focused button presses that button.
        QCOMPARE(RunModal(entry, [&] {
                     entry.Item(IDCANCEL)->setFocus();
                     QTest::keyClick(entry.Item(IDCANCEL), Qt::Key_Return);
                 }),
                 IDCANCEL);
        // Escape anywhere: the Cancel command.
        QCOMPARE(RunModal(entry, [&] { QTest::keyClick(entry.Item(1008), Qt::Key_Escape); }), IDCANCEL);
        // Closing the window: the Cancel command.
        QCOMPARE(RunModal(entry, [&] { entry.close(); }), IDCANCEL);
        // The buttons.
        QCOMPARE(RunModal(entry, [&] { QTest::mouseClick(entry.Item(IDOK), Qt::LeftButton); }), IDOK);
        QCOMPARE(RunModal(entry, [&] { entry.EndDialog(7); }), 7);

        // Enter in a multi-line edit is the window's too, Ctrl+Enter a new line.
        CProbeDlg details(132, 190, 191);
        QCOMPARE(RunModal(details, [&] {
                     auto* edit = details.Item(1037);
                     edit->setFocus();
                     QTest::keyClick(edit, Qt::Key_A);
                     QTest::keyClick(edit, Qt::Key_Return, Qt::ControlModifier);
                     QTest::keyClick(edit, Qt::Key_B);
                     QTest::keyClick(edit, Qt::Key_Return);
                 }),
                 IDOK);
        QCOMPARE(details.GetDlgItemText(1037), QString("a\nb"));

        // A window that ends while it initialises never shows.
        CProbeDlg early(100, 188, 189);
        early.onInit = [](CProbeDlg* d) { d->EndDialog(5); };
        QCOMPARE(early.DoModal(), 5);
        QVERIFY(!early.isVisible());

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
        entry.MapClicked(4000, [&] { seen << QString("posted %1").arg(QThread::currentThread() == qApp->thread()); });
        RunModal(entry, [&] {
            entry.ShowItem(104, true);
            QTest::mouseClick(entry.Item(104), Qt::LeftButton);
            entry.SetDlgItemText(1008, "80");
            auto* combo = entry.Control<CSkinComboBox>(1041);
            combo->SetCurSel(0);  // selecting from code tells nobody
            combo->setFocus();
            QTest::keyClick(combo, Qt::Key_Down);  // the user: FTP
            QTest::keyClick(entry.Item(1006), Qt::Key_F1);
            std::thread([&] { entry.PostCommand(4000); }).join();
            QTimer::singleShot(50, &entry, [&] { entry.EndDialog(IDOK); });
        });
        QCOMPARE(seen, (QStringList{"BN_CLICKED 104", "EN_CHANGE 80", "CBN_SELCHANGE 1", "help", "posted 1"}));

        // A double click in a list is NM_DBLCLK.
        CProbeDlg hosts(134, 188, 189);
        int doubleClicks = 0;
        hosts.MapNotify(1038, NM_DBLCLK, [&] { ++doubleClicks; });
        RunModal(hosts, [&] {
            auto* list = hosts.Control<CSkinListCtrl>(1038);
            list->InsertColumn(0, "Address", LVCFMT_LEFT, 100);
            list->InsertItem(0, "10.0.0.1");
            QTest::mouseDClick(list, Qt::LeftButton, {}, QPoint(20, 5));
            hosts.EndDialog(IDOK);
        });
        QCOMPARE(doubleClicks, 1);
    }

    void scrollBarsReportScrollCodes() {
        CProbeDlg hosts(134, 188, 189);
        auto* bar = hosts.Control<CSkinScrollBar>(1040);
        hosts.show();
        QVERIFY(QTest::qWaitForWindowExposed(&hosts));
        bar->SetScrollRange(1, 100);
        bar->SetScrollPos(5);

        // The bar doesn't move by itself: only the owner sets the position.
        bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
        bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
        bar->triggerAction(QAbstractSlider::SliderPageStepSub);
        bar->triggerAction(QAbstractSlider::SliderToMinimum);
        bar->triggerAction(QAbstractSlider::SliderToMaximum);
        QCOMPARE(hosts.log, (QStringList{"V control1040 1 0", "V control1040 0 0", "V control1040 3 0",
                                          "V control1040 2 0", "V control1040 6 0", "V control1040 7 0"}));
        QCOMPARE(bar->GetScrollPos(), 5);
        QCOMPARE(bar->value(), 5);

        // Arrow clicks end with SB_ENDSCROLL; the owner's position is shown.
        hosts.log.clear();
        connect(bar, &CSkinScrollBar::scrolled, &hosts, [bar](int code, int) {
            if (code == SB_LINEDOWN) bar->SetScrollPos(bar->GetScrollPos() + 8);
        });
        QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() / 2, bar->height() - 3));
        QCOMPARE(hosts.log, (QStringList{"V control1040 1 0", "V control1040 8 0"}));
        QCOMPARE(bar->GetScrollPos(), 13);
        QCOMPARE(bar->value(), 13);

        // Dragging the thumb: SB_THUMBTRACK with the thumb's position while
        // it moves, SB_THUMBPOSITION where it is let go, then SB_ENDSCROLL;
        // the position is still the owner's.
        hosts.log.clear();
        QStyleOptionSlider opt;
        opt.initFrom(bar);
        opt.orientation = Qt::Vertical;
        opt.minimum = 1, opt.maximum = 100, opt.sliderPosition = opt.sliderValue = 13, opt.pageStep = 1;
        QRect thumb = bar->style()->subControlRect(QStyle::CC_ScrollBar, &opt, QStyle::SC_ScrollBarSlider, bar);
        QPoint from = thumb.center();
        QTest::mousePress(bar, Qt::LeftButton, {}, from);
        QTest::mouseMove(bar, from + QPoint(0, 40));
        QTest::mouseRelease(bar, Qt::LeftButton, {}, from + QPoint(0, 40));
        QVERIFY2(hosts.log.size() >= 3, qPrintable(hosts.log.join(", ")));
        QVERIFY(hosts.log.first().startsWith("V control1040 5 "));
        int tracked = hosts.log.first().section(' ', 3).toInt();
        QVERIFY(tracked > 13);
        QCOMPARE(hosts.log[hosts.log.size() - 2], QString("V control1040 4 %1").arg(tracked));
        QCOMPARE(hosts.log.last(), QString("V control1040 8 0"));
        QCOMPARE(bar->GetScrollPos(), 13);
        QCOMPARE(bar->value(), 13);

        // Horizontal bars come as WM_HSCROLL.
        CProbeDlg main(102, 131, 133);
        main.Control<CSkinScrollBar>(1030)->triggerAction(QAbstractSlider::SliderPageStepSub);
        QCOMPARE(main.log, (QStringList{"H control1030 2 0"}));
    }

    void pressOnSurfaceOrLabelMovesButtonsDont() {
        CProbeDlg hosts(134, 188, 189);
        hosts.move(100, 100);
        hosts.show();
        QVERIFY(QTest::qWaitForWindowExposed(&hosts));
        auto drag = [&](QWidget* target, QPoint at, QPoint by) {
            QPoint start = hosts.pos();
            QTest::mousePress(target, Qt::LeftButton, {}, at);
            QTest::mouseMove(target, at + by);
            QTest::mouseRelease(target, Qt::LeftButton, {}, at + by);
            return hosts.pos() - start;
        };
        QLabel* label = nullptr;
        for (QLabel* l : hosts.findChildren<CSkinLabel*>())
            if (l->text() == "IP Address:") label = l;
        QVERIFY(label);
        QCOMPARE(drag(&hosts, QPoint(150, 15), QPoint(30, 12)), QPoint(30, 12));
        QCOMPARE(drag(label, QPoint(5, 5), QPoint(-20, 7)), QPoint(-20, 7));
        int clicks = 0;
        hosts.MapClicked(ID_HELP, [&] { ++clicks; });
        // The button takes the press (and is clicked when let go over it).
        QCOMPARE(drag(hosts.Item(ID_HELP), QPoint(5, 5), QPoint(10, 0)), QPoint(0, 0));
        QCOMPARE(clicks, 1);
    }

    void controlColours() {
        const QRgb brush = kControlBrushRgb;
        auto yellow = [](const QImage& img, QRect in) {
            int n = 0;
            for (int y = in.top(); y <= in.bottom(); ++y)
                for (int x = in.left(); x <= in.right(); ++x) {
                    QRgb c = img.pixel(x, y);
                    n += qRed(c) > 180 && qGreen(c) > 180 && qBlue(c) < 100;
                }
            return n;
        };
        CProbeDlg entry(130, 188, 189);
        entry.SetDlgItemText(1006, "888.888.888.888");
        entry.show();
        QVERIFY(QTest::qWaitForWindowExposed(&entry));
        // The edit: yellow text on the (51, 51, 102) ground inside its frames.
        QWidget* edit = entry.Item(1006);
        qobject_cast<QLineEdit*>(edit)->deselect();  // the first tab stop came up selected
        QImage e = edit->grab().toImage();
        QVERIFY(Near(e.pixel(e.width() - 6, e.height() / 2), brush));
        QVERIFY(Near(e.pixel(5, 4), brush));
        QVERIFY(yellow(e, e.rect()) > 20);
        QCOMPARE(edit->palette().color(QPalette::Text).rgb(), kControlTextRgb);

        // A scroll bar's shaft.
        CProbeDlg hosts(134, 188, 189);
        hosts.Control<CSkinScrollBar>(1040)->SetScrollRange(1, 100);
        hosts.show();
        QVERIFY(QTest::qWaitForWindowExposed(&hosts));
        QImage s = hosts.Item(1040)->grab().toImage();
        QVERIFY(Near(s.pixel(s.width() / 2, s.height() * 2 / 3), brush));

        // The multi-line edits of the details window, and a check box.
        CProbeDlg details(132, 190, 191);
        details.SetDlgItemText(1036, "TCP\tport 80");
        details.show();
        QVERIFY(QTest::qWaitForWindowExposed(&details));
        QImage m = details.Item(1036)->grab().toImage();
        QVERIFY(Near(m.pixel(m.width() - 4, m.height() - 4), brush));
        QCOMPARE(m.pixel(0, 0), qRgb(0, 0, 0));  // its border
        QVERIFY(yellow(m, m.rect()) > 10);
    }

    void dialogItemTextsAndNumbers() {
        CProbeDlg entry(130, 188, 189);
        bool ok = false;
        struct Case {
            const char* text;
            bool isSigned;
            long long value;
            bool translated;
        };
        for (Case c : {Case{"  -1 ", true, -1, true}, Case{"65536", true, 65536, true}, Case{"", true, 0, false},
                       Case{"12ab", true, 0, false}, Case{"-5", false, 0, false}, Case{"2147483648", true, 0, false},
                       Case{"4294967295", false, 4294967295LL, true}}) {
            entry.SetDlgItemText(1008, c.text);
            QCOMPARE(entry.GetDlgItemInt(1008, &ok, c.isSigned), c.value);
            QCOMPARE(ok, c.translated);
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
