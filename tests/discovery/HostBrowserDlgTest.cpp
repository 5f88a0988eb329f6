// The host browser over a stand-in scan: the paging arithmetic, the scroll
// codes, short lists, and what OK and a double click hand back.

#include <QtTest>

#include "discovery/CHostBrowserDlg.h"
#include "platform/help/HelpRecorder.h"
#include "ui/skin/CSkinControls.h"
#include "ui/skin/CSkinListCtrl.h"

namespace {

// A browser whose scan lists n made-up hosts, opened without a modal loop.
struct Browser {
    explicit Browser(int n) {
        dlg.hostScan = [this, n](InterfaceMaskList& masks, HostList& hosts, const CScanCursor& cursor) {
            ++scans;
            cursor.begin();
            masks.push_back(0x00FFFFFF);
            for (int i = 0; i < n; ++i)
                hosts.push_back(std::make_unique<CHostEntry>("10.9.0." + std::to_string(i), "h" + std::to_string(i)));
            cursor.end();
        };
        dlg.show();
    }
    CSkinScrollBar* Bar() { return dlg.Control<CSkinScrollBar>(1040); }
    CSkinListCtrl* List() { return dlg.Control<CSkinListCtrl>(1038); }
    // Sends a scroll code; returns "position: first..last" of the page shown.
    QString Scroll(int code, int pos = 0) {
        emit Bar()->scrolled(code, pos);
        return Page();
    }
    QString Page() {
        auto* list = List();
        if (list->GetItemCount() == 0) return QString("%1: none").arg(Bar()->GetScrollPos());
        return QString("%1: %2..%3")
            .arg(Bar()->GetScrollPos())
            .arg(list->GetItemText(0, 0).section('.', 3))
            .arg(list->GetItemText(list->GetItemCount() - 1, 0).section('.', 3));
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
        QCOMPARE(b.dlg.interfaceMasks.size(), size_t(1));
        QCOMPARE(b.List()->GetColumnWidth(0), b.List()->width() / 2);
        QCOMPARE(b.List()->GetItemText(0, 1), QString("h0"));
        QCOMPARE(b.Page(), QString("1: 0..7"));
        // One line is 100 / 12 = 8 percent; (20 - 8) * 9 / 100 = 1.
        QCOMPARE(b.Scroll(SB_LINEDOWN), QString("9: 1..8"));
        QCOMPARE(b.Scroll(SB_PAGEDOWN), QString("49: 5..12"));  // 800 / 20 = 40
        QCOMPARE(b.Scroll(SB_THUMBTRACK, 75), QString("75: 9..16"));
        QCOMPARE(b.Scroll(SB_ENDSCROLL), QString("75: 9..16"));
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
        QCOMPARE(eight.Page(), QString("1: 0..7"));
        QCOMPARE(eight.Scroll(SB_TOP), QString("1: 0..7"));
        Browser three(3);
        QCOMPARE(three.List()->GetItemCount(), 3);
        QCOMPARE(three.Scroll(SB_THUMBPOSITION, 60), QString("1: 0..2"));
        Browser none(0);
        QCOMPARE(none.Page(), QString("1: none"));

        // OK without a selection hands back the empty text.
        three.dlg.SendCommand(IDOK);
        QCOMPARE(three.dlg.result(), int(IDOK));
        QCOMPARE(three.dlg.selectedAddress, std::string());
        // A double click takes the selected row's address.
        Browser picked(20);
        picked.Scroll(SB_TOP);
        picked.List()->SetSelectedRow(2);
        emit picked.List()->doubleClicked(2);
        QCOMPARE(picked.dlg.result(), int(IDOK));
        QCOMPARE(picked.dlg.selectedAddress, std::string("10.9.0.14"));

        CHelpRecorder help;
        eight.dlg.SendCommand(ID_HELP);
        QCOMPARE(help.calls, std::vector<long>{134});
    }
};

QTEST_MAIN(TestHostBrowser)
#include "HostBrowserDlgTest.moc"
