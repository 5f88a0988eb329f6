// The Filters window run as the Filters button runs it, its nested entry
// windows driven as a user would, and the entry window's own checks. Every
// test saves into a private registry store; no test sweeps a network.

#include <arpa/inet.h>

#include <QTemporaryDir>
#include <QtTest>
#include <fstream>
#include <sstream>

#include "dialogs/CHostBrowserDlg.h"
#include "discovery/InterfaceMasks.h"
#include "dialogs/CFilterEntryDlg.h"
#include "dialogs/CFiltersDlg.h"
#include "filters/FilterSetHolder.h"
#include "platform/help/HelpRecorder.h"
#include "platform/msgbox/MessageBox.h"
#include "platform/registry/Registry.h"
#include "tests/ModalDriver.h"
#include "skin/qt/CSkinButton.h"
#include "skin/qt/CSkinComboBox.h"
#include "skin/qt/CSkinControls.h"
#include "skin/qt/CSkinListCtrl.h"

namespace {

std::uint32_t Ip(const char* dotted) { return inet_addr(dotted); }
void Click(CSkinDialog& dlg, int id) { dlg.Control<CSkinButton>(id)->click(); }

// Presses button id of the Filters window and fills the entry window it
// opens (nullptr: the field as the window shows it).
void Enter(CFiltersDlg& filters, int id, const char* address, const char* port) {
    WhenModal<CFilterEntryDlg>([=](CFilterEntryDlg& entry) {
        if (address) entry.SetDlgItemText(1006, address);
        if (port) entry.SetDlgItemText(1008, port);
        Click(entry, IDOK);
    });
    Click(filters, id);
}

QString Side(const std::vector<std::uint32_t>& addrs, const std::vector<std::uint16_t>& ports) {
    QStringList s;
    for (size_t i = 0; i < addrs.size(); ++i)
        s << QString("%1:%2").arg(inet_ntoa(in_addr{addrs[i]})).arg(i < ports.size() ? ports[i] : -1);
    return s.join(' ');
}
QString Rows(CFiltersDlg& dlg, int listId) {
    QStringList s;
    auto* list = dlg.Control<CSkinListCtrl>(listId);
    for (int r = 0; r < list->GetItemCount(); ++r) s << list->GetItemText(r, 0) + ":" + list->GetItemText(r, 1);
    return s.join(' ');
}
QString Text(const CFilterSet& s) {
    return QString("full %1 messages %2 | %3 | %4")
        .arg(s.fullInfo).arg(s.messages).arg(Side(s.srcAddrs, s.srcPorts), Side(s.destAddrs, s.destPorts));
}

std::string StoreBytes() {
    std::ostringstream s;
    s << std::ifstream(RegistryStorePath(), std::ios::binary).rdbuf();
    return s.str();
}

}  // namespace

class TestFilterDialogs : public QObject {
    Q_OBJECT
    QTemporaryDir store;

private slots:
    void init() { SetRegistryStorePath(store.filePath("registry.reg").toStdString()); }
    void cleanupTestCase() { SetRegistryStorePath(""); }

    void cancelDropsEveryChange() {
        CFilterSet start;
        start.srcAddrs = {Ip("10.0.0.5"), Ip("10.0.0.7")}, start.srcPorts = {80, 0};
        start.destAddrs = {Ip("192.168.1.9")}, start.destPorts = {53};
        CFilterSetHolder live;
        live.Publish(start);
        SaveFilterSet(start);
        const std::string stored = StoreBytes();
        const auto generation = live.Generation();

        QString edited;
        WhenModal<CFiltersDlg>([&](CFiltersDlg& d) {
            Enter(d, 1005, "10.0.0.8", "25");
            d.Control<CSkinListCtrl>(1002)->SetSelectedRow(0);
            Enter(d, 1007, "10.0.0.6", "81");
            d.Control<CSkinListCtrl>(1004)->SetSelectedRow(0);
            Click(d, 1012);
            d.Control<CSkinRadioButton>(1013)->click();
            d.Control<CSkinCheckBox>(1017)->click();
            edited = Side(d.srcAddrs, d.srcPorts) + " | " + Side(d.destAddrs, d.destPorts);
            Click(d, IDCANCEL);
        });
        QCOMPARE(RunFiltersDialog(live), int(IDCANCEL));
        QCOMPARE(edited, QString("10.0.0.6:81 10.0.0.7:0 10.0.0.8:25 | "));  // the working copy was edited
        QCOMPARE(Text(*live.Snapshot()), Text(start));
        QCOMPARE(live.Generation(), generation);
        QCOMPARE(StoreBytes(), stored);
    }

    void okPublishesAndSavesTheEditedSet() {
        CFilterSet start;
        start.fullInfo = 5;  // as an outside edit of the store may leave it
        CFilterSetHolder live;
        live.Publish(start);
        CMessageBoxRecorder boxes;
        CHelpRecorder help(false);  // help that cannot open says so

        QStringList seen;
        WhenModal<CFiltersDlg>([&](CFiltersDlg& d) {
            seen << QString("%1%2").arg(d.IsDlgButtonChecked(1013)).arg(d.IsDlgButtonChecked(1014));
            QStringList widths;  // two thirds and a third of the 150-pixel source list, less 2
            for (int list : {1002, 1004})
                for (int c = 0; c < 2; ++c) widths << QString::number(d.Control<CSkinListCtrl>(list)->GetColumnWidth(c));
            seen << widths.join(' ');
            Enter(d, 1005, nullptr, nullptr);  // untouched: 0.0.0.0, any port
            Enter(d, 1005, "10.0.0.5", "80");
            Enter(d, 1005, "10.0.0.5", "8080");
            Enter(d, 1005, "10.0.0.5", "80");  // refused
            Enter(d, 1009, "10.0.0.5", "80");  // the other side may hold it
            auto* source = d.Control<CSkinListCtrl>(1002);
            source->SetSelectedRow(1);
            Enter(d, 1007, "10.0.0.5", "80");    // unchanged: kept without a word
            Enter(d, 1007, "10.0.0.5", "8080");  // another entry's: refused
            Enter(d, 1007, "10.0.0.5", "81");
            seen << Rows(d, 1002);
            source->SetSelectedRow(0);
            Click(d, 1016);
            seen << Rows(d, 1002);
            d.Control<CSkinCheckBox>(1017)->click();
            Click(d, ID_HELP);
            Click(d, IDOK);
        });
        QCOMPARE(RunFiltersDialog(live), int(IDOK));
        QCOMPARE(seen, (QStringList{"10", "98 48 98 48", "0.0.0.0:0 10.0.0.5:81 10.0.0.5:8080",
                                    "10.0.0.5:81 10.0.0.5:8080"}));
        QCOMPARE(boxes.Texts(), (std::vector<std::string>{"Item with same address and port already exists!!!",
                                                          "Entry with same address and port already exists!!!",
                                                          "Failed to launch help."}));
        QCOMPARE(help.calls, std::vector<long>{129});
        const QString expected("full 1 messages 0 | 10.0.0.5:81 10.0.0.5:8080 | 10.0.0.5:80");
        QCOMPARE(Text(*live.Snapshot()), expected);
        CFilterSet loaded;
        LoadFilterSet(loaded);
        QCOMPARE(Text(loaded), expected);
    }

    void duplicatesAndLongListsStayReachable() {
        // A side loaded with duplicates: deleting the last row removes the
        // last entry, so every row still shows its own entry.
        std::vector<std::uint32_t> addrs(9, Ip("10.0.0.1")), none;
        std::vector<std::uint16_t> ports = {80, 1, 2, 3, 4, 5, 6, 7, 80}, noPorts;
        CFiltersDlg dlg(addrs, ports, none, noPorts);
        dlg.show();
        auto* list = dlg.Control<CSkinListCtrl>(1002);
        list->SetSelectedRow(8);
        Click(dlg, 1016);
        QCOMPARE(Rows(dlg, 1002), Side(addrs, ports));
        QCOMPARE(ports.back(), std::uint16_t(7));

        // Eight rows do not fit: a bar inside the list reaches the rest.
        auto* bar = list->findChild<CSkinScrollBar*>();
        const int hidden = 8 - list->GetCountPerPage();
        QVERIFY(hidden > 0 && !bar->isHidden());
        emit bar->scrolled(SB_BOTTOM, 0);
        QCOMPARE(list->GetTopIndex(), hidden);
        for (int i = 0; i < hidden; ++i) list->SetSelectedRow(0), Click(dlg, 1016);
        QVERIFY(bar->isHidden());
    }

    void entryKeepsPortAndServiceInStep() {
        CFilterEntryDlg dlg;
        dlg.address = 0, dlg.port = 23;
        dlg.interfaceCheck = [] { return false; };
        dlg.show();
        auto* services = dlg.Control<CSkinComboBox>(1041);
        QCOMPARE(dlg.GetDlgItemText(1006), QString("0.0.0.0"));
        QCOMPARE(services->GetCurSel(), 6);  // Telnet
        for (auto [text, index] : {std::pair{"110", 3}, {"1100", 7}, {"080", 7}, {" 80", 7}, {"", 7}, {"43", 4}}) {
            dlg.SetDlgItemText(1008, text);
            QCOMPARE(services->GetCurSel(), index);
        }
        for (auto [index, port] : {std::pair{5, "79"}, {7, "0"}, {0, "80"}}) {
            services->setCurrentIndex(index);
            emit services->activated(index);
            QCOMPARE(dlg.GetDlgItemText(1008), QString(port));
            QCOMPARE(services->GetCurSel(), index);
        }
        // The spin arrows stop at the bounds.
        dlg.SetDlgItemText(1008, "65535");
        dlg.Control<CSkinUpDown>(1032)->Step(+1);
        QCOMPARE(dlg.GetDlgItemText(1008), QString("65535"));
    }

    // Refused: the window stays open with a box. The address reads as
    // inet_aton reads it (short forms, octal, hex; blanks around it), and
    // text it refuses is refused, where inet_addr would make it
    // 255.255.255.255. A port that is no number is any port.
    void entryChecksThePortAndTheAddress() {
        CMessageBoxRecorder boxes;
        const auto enter = [](const char* address, const char* port) -> std::optional<std::pair<std::uint32_t, int>> {
            CFilterEntryDlg dlg;
            dlg.interfaceCheck = [] { return false; };
            dlg.show();
            dlg.SetDlgItemText(1006, address);
            dlg.SetDlgItemText(1008, port);
            Click(dlg, IDOK);
            if (dlg.isVisible()) return std::nullopt;
            return std::pair(dlg.address, int(dlg.port));
        };
        for (const char* port : {"65536", "-1", "99999999999"}) QVERIFY(!enter("1.2.3.4", port));  // the last past 32 bits
        QVERIFY(enter(" 255.255.255.255 ", "65535") == std::pair(0xFFFFFFFFu, 65535));
        QVERIFY(enter("10.1", "x") == std::pair(Ip("10.0.0.1"), 0));
        QCOMPARE(boxes.Texts(), (std::vector<std::string>{"Port number can not be bigger than 65535!!!",
                                                          "Port number can not be negative!!!",
                                                          "Port number can not be bigger than 65535!!!"}));
        boxes.Clear();
        std::size_t refused = 0;
        for (const char* text : {"10.79.0.300", "10.65535", "10.65536", "1.2.16777215", "1.2.3.4.5", "4294967295",
                                 "4294967296", "010.0x1F.0XfF.7", "08.1.1.1", "0x.1.1.1", "1..2.3", "1.2.3.", "", "host",
                                 "1.2.3.-4", "256.1.1.1", "192.168.100.2009"}) {
            in_addr reference{};
            const bool ok = inet_aton(text, &reference) != 0;
            refused += !ok;
            const auto taken = enter(text, "80");
            QVERIFY2(taken.has_value() == ok, text);
            QVERIFY2(!ok || taken->first == reference.s_addr, text);
        }
        QCOMPARE(boxes.Texts(), std::vector<std::string>(refused, "Address is not a valid IPv4 address!!!"));
    }

    void browseFollowsTheMasksAndFillsTheAddress() {
        const auto masks = [](std::vector<std::uint32_t> m) {
            return [m] { return HasBrowsableInterface(std::span<const std::uint32_t>(m)); };
        };
        CFilterEntryDlg wide;  // no interface narrow enough to sweep: no Browse
        wide.interfaceCheck = masks({Ip("255.0.0.0"), Ip("255.255.0.0")});
        wide.show();
        QVERIFY(wide.Item(104)->isHidden());

        CFilterEntryDlg dlg;
        dlg.interfaceCheck = masks({Ip("255.0.0.0"), Ip("255.255.255.0")});
        dlg.hostScan = [](InterfaceMaskList&, HostList& hosts, const CScanCursor&) {
            hosts.push_back(std::make_unique<CHostEntry>("10.3.3.7", ""));
        };
        dlg.show();
        QVERIFY(!dlg.Item(104)->isHidden());
        WhenModal<CHostBrowserDlg>([](CHostBrowserDlg& b) {
            b.Control<CSkinListCtrl>(1038)->SetSelectedRow(0);
            Click(b, IDOK);
        });
        Click(dlg, 104);
        QCOMPARE(dlg.GetDlgItemText(1006), QString("10.3.3.7"));
    }
};

QTEST_MAIN(TestFilterDialogs)
#include "FilterDialogsTest.moc"
