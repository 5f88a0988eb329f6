// The host browser over a stand-in scan: the paging arithmetic, the scroll
// codes, short lists, and what OK hands back.

#include <QtTest>

#include "dialogs/CHostBrowserDlg.h"
#include "skin/qt/CSkinControls.h"
#include "skin/qt/CSkinListCtrl.h"

namespace {

// A browser whose scan lists n made-up hosts 10.9.0.0, 10.9.0.1, ...
struct Browser {
    explicit Browser(int n) {
        dlg.hostScan = [this, n](InterfaceMaskList&, HostList& hosts, const CScanCursor& cursor) {
            ++scans;
            cursor.begin();
            for (int i = 0; i < n; ++i)
                hosts.push_back(std::make_unique<CHostEntry>("10.9.0." + std::to_string(i), ""));
            cursor.end();
        };
        dlg.show();
    }
    // Sends a scroll code; returns "position: first..last" of the page shown.
    QString Scroll(int code, int pos = 0) {
        auto* bar = dlg.Control<CSkinScrollBar>(1040);
        emit bar->scrolled(code, pos);
        auto* list = dlg.Control<CSkinListCtrl>(1038);
        const int rows = list->GetItemCount();
        return QString("%1: %2..%3").arg(bar->GetScrollPos()).arg(list->GetItemText(0, 0).section('.', 3))
            .arg(list->GetItemText(rows - 1, 0).section('.', 3)) + (rows == 8 ? "" : QString(" (%1)").arg(rows));
    }
    CHostBrowserDlg dlg;
    int scans = 0;
};

}  // namespace

class TestHostBrowser : public QObject {
    Q_OBJECT
private slots:
    void pagesByTheScrollCodes() {
        Browser b(20);
        QCOMPARE(b.scans, 1);
        auto* list = b.dlg.Control<CSkinListCtrl>(1038);  // half the 239-pixel list each
        QCOMPARE(QString("%1 %2").arg(list->GetColumnWidth(0)).arg(list->GetColumnWidth(1)), QString("119 119"));
        QCOMPARE(b.Scroll(SB_ENDSCROLL), QString("1: 0..7"));
        // One line is 100 / 12 = 8 percent; (20 - 8) * 9 / 100 = 1.
        QCOMPARE(b.Scroll(SB_LINEDOWN), QString("9: 1..8"));
        QCOMPARE(b.Scroll(SB_PAGEDOWN), QString("49: 5..12"));  // 800 / 20 = 40
        QCOMPARE(b.Scroll(SB_THUMBTRACK, 75), QString("75: 9..16"));
        // SB_TOP goes to the last page and SB_BOTTOM to the first.
        QCOMPARE(b.Scroll(SB_TOP), QString("100: 12..19"));
        QCOMPARE(b.Scroll(SB_PAGEDOWN), QString("100: 12..19"));
        QCOMPARE(b.Scroll(SB_BOTTOM), QString("1: 0..7"));
        QCOMPARE(b.Scroll(SB_LINEUP), QString("1: 0..7"));

        // 200 hosts: the arrows no longer move (100 / 192 = 0), a page is 4;
        // position 1 still starts at the first host, not at 192 / 100 = 1.
        Browser many(200);
        QCOMPARE(many.Scroll(SB_LINEDOWN), QString("1: 0..7"));
        QCOMPARE(many.Scroll(SB_PAGEDOWN), QString("5: 9..16"));
        QCOMPARE(many.Scroll(SB_TOP), QString("100: 192..199"));
    }

    void shortListsAndTheResult() {
        Browser eight(8);
        QCOMPARE(eight.Scroll(SB_TOP), QString("1: 0..7"));
        Browser three(3);
        QCOMPARE(three.Scroll(SB_THUMBPOSITION, 60), QString("1: 0..2 (3)"));
        // OK without a selection hands back the empty text, with one its address.
        three.dlg.SendCommand(IDOK);
        QCOMPARE(three.dlg.result(), int(IDOK));
        QCOMPARE(three.dlg.selectedAddress, std::string());
        Browser picked(20);
        picked.Scroll(SB_TOP);
        picked.dlg.Control<CSkinListCtrl>(1038)->SetSelectedRow(2);
        emit picked.dlg.Control<CSkinListCtrl>(1038)->doubleClicked(2);
        QCOMPARE(picked.dlg.selectedAddress, std::string("10.9.0.14"));
    }
};

QTEST_MAIN(TestHostBrowser)
#include "HostBrowserDlgTest.moc"
