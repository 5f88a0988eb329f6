// The main window over capture files replayed through real capture runs,
// with sounds, help and message boxes recorded: start and stop with their
// cues, start failures, the packet list and its scrolling, the details
// dialog and its help, transparency, the tray, the end of the program and
// the version check.

#include <QApplication>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QtTest>
#include <memory>
#include <thread>

#include "platform/capture/PcapSource.h"
#include "platform/help/HelpRecorder.h"
#include "platform/msgbox/MessageBox.h"
#include "platform/registry/Registry.h"
#include "platform/sound/SoundRecorder.h"
#include "tests/capture/CaptureTestSupport.h"
#include "filters/CFiltersDlg.h"
#include "ui/CAboutDlg.h"
#include "ui/CMainDlg.h"
#include "ui/CPacketDetailsDlg.h"
#include "ui/skin/CSkinControls.h"
#include "ui/skin/CSkinListCtrl.h"

namespace {

using Cues = std::vector<int>;

// Record i of a numbered capture comes from 10.1.x.y with x.y = i.
std::string SourceOf(int i) {
    return "10." + std::to_string(1 + i / 65536) + "." + std::to_string(i / 256 % 256) + "." + std::to_string(i % 256);
}

std::vector<Frame> Numbered(int first, int count) {
    std::vector<Frame> frames;
    frames.reserve(std::size_t(count));
    for (int i = first; i < first + count; ++i) frames.push_back({Udp(SourceOf(i).c_str(), "10.9.0.1", 5000, 53, "q")});
    return frames;
}

// A file that, once read, stays open like a quiet interface until stopped.
class CQuietAfterFile final : public ICaptureSource {
public:
    explicit CQuietAfterFile(std::string path) : file(std::move(path)) {}
    CaptureFailure Startup() override { return file.Startup(); }
    CaptureFailure FindInterface() override { return file.FindInterface(); }
    CaptureFailure Activate() override { return file.Activate(); }
    ReceiveResult Receive(CapturedDatagram& datagram, int timeoutMs) override {
        if (!atEnd) {
            const ReceiveResult result = file.Receive(datagram, timeoutMs);
            if (result != ReceiveResult::EndOfFile) return result;
            atEnd = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
        return ReceiveResult::NothingYet;
    }
    void Stop() override { file.Stop(); }
    CaptureStatistics Statistics() override { return file.Statistics(); }
    const std::string& ErrorText() const override { return file.ErrorText(); }

private:
    CFileCaptureSource file;
    bool atEnd = false;
};

// Runs act once the next modal dialog is up, then ends that dialog.
void OnNextModal(std::function<void(QWidget*)> act) {
    QTimer::singleShot(0, [act] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal) QApplication::setActiveWindow(modal);
        act(modal);
        if (auto* dlg = qobject_cast<CSkinDialog*>(modal); dlg && dlg->isVisible()) dlg->EndDialog(IDOK);
    });
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

    CTempDir dir;
    std::string capture;  // what the next run replays
    bool quiet = false;   // ... and whether it then stays open
    std::unique_ptr<CSoundRecorder> sounds;
    std::unique_ptr<CHelpRecorder> help;
    std::unique_ptr<CMessageBoxRecorder> boxes;
    std::unique_ptr<CMainDlg> dlg;
    int files = 0;

    CMainDlgOptions Options() {
        CMainDlgOptions options;
        options.source = [this]() -> std::unique_ptr<ICaptureSource> {
            if (quiet) return std::make_unique<CQuietAfterFile>(capture);
            return std::make_unique<CFileCaptureSource>(capture);
        };
        options.kernelRelease = [] { return std::string("6.1.0-18-amd64"); };
        return options;
    }

    void Open(CMainDlgOptions options) {
        dlg = std::make_unique<CMainDlg>(std::move(options));
        dlg->Log().SetDirectory(dir.path + "/Log");
        dlg->show();
        QVERIFY(QTest::qWaitForWindowExposed(dlg.get()));
        QApplication::setActiveWindow(dlg.get());
    }
    void Open() { Open(Options()); }

    std::string File(const std::vector<Frame>& frames) {
        capture = dir.path + "/c" + std::to_string(++files) + ".pcap";
        WriteCapture(capture, frames);
        return capture;
    }

    QWidget* Item(int id) { return dlg->Item(id); }
    CSkinListCtrl* List() { return dlg->Control<CSkinListCtrl>(1023); }
    CSkinScrollBar* ListScroll() { return dlg->Control<CSkinScrollBar>(1034); }
    void Click(int id) { QTest::mouseClick(Item(id), Qt::LeftButton); }
    void Scroll(int code, int thumb = 0) { emit ListScroll()->scrolled(code, thumb); }
    QString Row(int row) { return List()->GetItemText(row, 0); }

    // Start, and wait until the run has read the whole file and the window
    // has taken its stop command.
    void Replay(const std::vector<Frame>& frames) {
        File(frames);
        Click(1000);
        QTRY_VERIFY_WITH_TIMEOUT(!dlg->Run().IsCaptureThreadRunning() && Item(1000)->isVisible(), 60000);
        QCoreApplication::processEvents();
    }

private slots:
    void initTestCase() { SetRegistryStorePath(dir.path + "/registry.reg"); }

    void init() {
        sounds = std::make_unique<CSoundRecorder>();
        help = std::make_unique<CHelpRecorder>();
        boxes = std::make_unique<CMessageBoxRecorder>();
        quiet = false;
        CTrayIcon::SetTrayAvailableOverride(true);
    }

    void cleanup() {
        dlg.reset();
        boxes.reset();
        help.reset();
        sounds.reset();
        CTrayIcon::SetTrayAvailableOverride(std::nullopt);
        std::remove((dir.path + "/registry.reg").c_str());
    }

    void opensIdleWithTheListHidden() {
        Open();
        QCOMPARE(sounds->CueIds(), Cues{201});
        QCOMPARE(dlg->windowTitle(), QStringLiteral(">:-)"));
        QVERIFY(Item(1000)->isVisible() && !Item(1001)->isVisible());
        for (int id : {1023, 1034, 1031, 1033, 1024, 1035}) QVERIFY(!Item(id)->isVisible());
        QCOMPARE(dlg->Alpha(), 255);
        QCOMPARE(dlg->Control<CSkinScrollBar>(1030)->GetScrollPos(), 100);
        QCOMPARE(dlg->TrayIcon()->SystemTrayIcon()->toolTip(), QStringLiteral(">:-)"));
        // No stored filter set: empty lists, full info off, messages on.
        QVERIFY(dlg->FilterSet().srcAddrs.empty() && dlg->FilterSet().destAddrs.empty());
        QCOMPARE(dlg->FilterSet().fullInfo, 0);
        QCOMPARE(dlg->FilterSet().messages, 1);
        const int w = List()->width();
        QCOMPARE(List()->GetColumnCount(), 6);
        QCOMPARE(List()->GetColumnWidth(0), 2 * w / 8 + 11);
        QCOMPARE(List()->GetColumnWidth(4), w / 8 - 7);
        QCOMPARE(List()->GetCountPerPage(), 20);
    }

    void startAndStopWithTheirCuesAndThePostedStop() {
        Open();
        quiet = true;
        File(Numbered(0, 3));
        Click(1000);
        QCOMPARE(sounds->CueIds(), (Cues{201, 198}));
        QVERIFY(!Item(1000)->isVisible() && Item(1001)->isVisible());
        for (int id : {1023, 1034, 1031, 1033, 1024, 1025, 1026, 1027, 1028, 1035}) QVERIFY(Item(id)->isVisible());
        QTRY_COMPARE(List()->GetItemCount(), 3);
        QVERIFY(dlg->Run().IsCaptureThreadRunning());

        Click(1001);
        QVERIFY(!dlg->Run().IsCaptureThreadRunning());
        QCOMPARE(sounds->CueIds(), (Cues{201, 198, 197}));
        QVERIFY(Item(1000)->isVisible() && !Item(1001)->isVisible());
        // The run's own stop command: Stop listening once more.
        QTRY_COMPARE(sounds->CueIds(), (Cues{201, 198, 197, 197}));
        QVERIFY(Item(1000)->isVisible() && !Item(1001)->isVisible());
        QTest::qWait(50);
        QCOMPARE(sounds->CueIds().size(), 4u);
        // Stop keeps the rows and the list; the next run adds to them.
        QCOMPARE(List()->GetItemCount(), 3);
        QVERIFY(Item(1023)->isVisible());
        QVERIFY(boxes->Texts().empty());
        QCOMPARE(FilesIn(dir.path + "/Log").empty(), false);
    }

    void startFailureShowsItsMessageAndReturnsToIdle() {
        Open();
        capture = dir.path + "/not-a-capture";
        std::ofstream(capture) << "nothing captured here";
        Click(1000);
        QTRY_COMPARE(boxes->Texts(), std::vector<std::string>{kInitializationMessage});
        QCOMPARE(boxes->Boxes()[0].icon, MessageIcon::Exclamation);
        QCOMPARE(sounds->CueIds(), (Cues{201, 198, 197}));
        QVERIFY(Item(1000)->isVisible() && !Item(1001)->isVisible());
        QCOMPARE(dlg->Run().Listening(), 0);
        QTest::qWait(50);  // no stop command follows a failed start
        QCOMPARE(sounds->CueIds().size(), 3u);
    }

    void listTakesRowsWhileTheStoreFitsAPageThenOnlyTheScrollBarMoves() {
        Open();
        Replay(Numbered(0, 10));
        QCOMPARE(List()->GetItemCount(), 10);
        QCOMPARE(Row(0), QString::fromStdString(SourceOf(0)));  // oldest at the top
        QCOMPARE(List()->GetItemText(9, 4), QStringLiteral("UDP"));
        Scroll(SB_LINEDOWN);  // the whole store fits: nothing moves
        QCOMPARE(dlg->FirstVisible(), 0);

        Replay(Numbered(10, 15));  // 25: rows for the first 20 only
        QCOMPARE(List()->GetItemCount(), 20);
        QCOMPARE(Row(19), QString::fromStdString(SourceOf(19)));
        QCOMPARE(ListScroll()->GetScrollPos(), 0);

        Scroll(SB_TOP);
        QCOMPARE(dlg->FirstVisible(), 5);
        QCOMPARE(Row(0), QString::fromStdString(SourceOf(5)));
        QCOMPARE(ListScroll()->GetScrollPos(), 100);
        Replay(Numbered(25, 75));  // 100 records: the page stays, the thumb drifts to 5 * 100 / 100
        QCOMPARE(List()->GetItemCount(), 20);
        QCOMPARE(Row(0), QString::fromStdString(SourceOf(5)));
        QCOMPARE(Row(19), QString::fromStdString(SourceOf(24)));
        QCOMPARE(ListScroll()->GetScrollPos(), 5);
    }

    void scrollCodesMoveThePageAndTheThumb() {
        Open();
        Replay(Numbered(0, 21));  // one record more than a page
        Scroll(SB_LINEDOWN);
        QCOMPARE(dlg->FirstVisible(), 1);
        QCOMPARE(ListScroll()->GetScrollPos(), 100);
        QCOMPARE(Row(0), QString::fromStdString(SourceOf(1)));
        Scroll(SB_LINEDOWN);
        QCOMPARE(dlg->FirstVisible(), 1);
        Scroll(SB_LINEUP);
        QCOMPARE(dlg->FirstVisible(), 0);
        QCOMPARE(ListScroll()->GetScrollPos(), 0);
        Scroll(SB_PAGEDOWN);  // 20 on, held at the newest page
        QCOMPARE(dlg->FirstVisible(), 1);
        QCOMPARE(ListScroll()->GetScrollPos(), 100);
        Scroll(SB_PAGEUP);
        QCOMPARE(dlg->FirstVisible(), 0);

        Replay(Numbered(21, 979));  // 1000 records, pages of 20
        Scroll(SB_THUMBTRACK, 50);
        QCOMPARE(dlg->FirstVisible(), 500);
        QCOMPARE(ListScroll()->GetScrollPos(), 50);
        QCOMPARE(List()->GetItemCount(), 20);
        QCOMPARE(Row(0), QString::fromStdString(SourceOf(500)));
        QCOMPARE(Row(19), QString::fromStdString(SourceOf(519)));
        Scroll(SB_ENDSCROLL);
        QCOMPARE(dlg->FirstVisible(), 500);
        Scroll(SB_PAGEDOWN);
        QCOMPARE(dlg->FirstVisible(), 520);
        QCOMPARE(ListScroll()->GetScrollPos(), 520 * 100 / 980);
        Scroll(SB_THUMBPOSITION, 99);  // past the newest page: held there, the thumb where it was let go
        QCOMPARE(dlg->FirstVisible(), 980);
        QCOMPARE(ListScroll()->GetScrollPos(), 99);
        Scroll(SB_BOTTOM);  // the oldest page
        QCOMPARE(dlg->FirstVisible(), 0);
        QCOMPARE(ListScroll()->GetScrollPos(), 0);
        QCOMPARE(Row(0), QString::fromStdString(SourceOf(0)));
        Scroll(SB_TOP);  // the newest page
        QCOMPARE(dlg->FirstVisible(), 980);
        QCOMPARE(ListScroll()->GetScrollPos(), 100);
        QCOMPARE(Row(19), QString::fromStdString(SourceOf(999)));
        Scroll(SB_PAGEUP);
        QCOMPARE(dlg->FirstVisible(), 960);
        QCOMPARE(ListScroll()->GetScrollPos(), 960 * 100 / 980);
    }

    void filtersTakeEffectForTheNextDatagrams() {
        Open();
        quiet = true;
        File(Numbered(0, 3));
        Click(1000);
        QTRY_COMPARE(List()->GetItemCount(), 3);
        int shown = 0;
        OnNextModal([&](QWidget* modal) {
            auto* filtersDlg = dynamic_cast<CFiltersDlg*>(modal);
            if (!filtersDlg) return;
            ++shown;
            filtersDlg->srcAddrs.push_back(inet_addr("10.1.0.1"));
            filtersDlg->srcPorts.push_back(0);
            QTest::mouseClick(filtersDlg->Item(IDOK), Qt::LeftButton);
        });
        Click(1003);  // while the run goes on
        QCOMPARE(shown, 1);
        QCOMPARE(dlg->FilterSet().srcAddrs, std::vector<std::uint32_t>{inet_addr("10.1.0.1")});
        Click(1001);
        QCoreApplication::processEvents();  // the run's own stop command
        quiet = false;
        Replay(Numbered(0, 5));  // only the datagram from 10.1.0.1 is kept
        QCOMPARE(dlg->Store().Count(), 4u);
        QCOMPARE(Row(3), QString::fromStdString(SourceOf(1)));
        CFilterSet stored;
        LoadFilterSet(stored);
        QCOMPARE(stored.srcAddrs, dlg->FilterSet().srcAddrs);
    }

    void doubleClickOpensTheRecordItsRowShowsAfterDrops() {
        CFilterSet set;
        set.messages = 0;  // a lighter store and log for a full store
        SaveFilterSet(set);
        Open();
        Replay(Numbered(0, int(CPacketStore::kLimit)));
        QCOMPARE(dlg->Store().Count(), CPacketStore::kLimit);
        Scroll(SB_BOTTOM);
        Replay(Numbered(int(CPacketStore::kLimit), 5));  // drops records 0 to 4
        QCOMPARE(dlg->Store().Dropped(), 5u);
        QCOMPARE(Row(2), QString::fromStdString(SourceOf(2)));

        // A double click without a selection opens nothing.
        List()->SetSelectedRow(-1);
        int opened = 0;
        QTimer::singleShot(0, [&] {
            if (auto* d = qobject_cast<CSkinDialog*>(QApplication::activeModalWidget())) ++opened, d->EndDialog(IDOK);
        });
        emit List()->doubleClicked(-1);
        QCoreApplication::processEvents();
        QCOMPARE(opened, 0);

        QString shown;
        OnNextModal([&](QWidget* modal) {
            auto* details = qobject_cast<CPacketDetailsDlg*>(modal);
            if (details) shown = details->GetDlgItemText(1024);
        });
        const QPoint row2 = List()->ItemRect(2).center();
        QTest::mouseClick(List(), Qt::LeftButton, {}, row2);  // a double click's first press selects
        QCOMPARE(List()->GetSelectedRow(), 2);
        QTest::mouseDClick(List(), Qt::LeftButton, {}, row2);
        QCOMPARE(shown, QString::fromStdString(SourceOf(2)));
    }

    void detailsShowTheRecordAndOpenItsProtocolsHelp() {
        Open();
        Bytes tcp = {0x9c, 0x40, 0x00, 0x50, 0, 0, 0, 1, 0, 0, 0, 0, 0x50, 0x18, 0x10, 0x00, 0, 0, 0, 0};
        for (char c : std::string("GET /")) tcp.push_back(std::uint8_t(c));
        Replay({{Ipv4("10.7.0.1", "10.7.0.2", 6, tcp)}});
        List()->SetSelectedRow(0);
        std::map<int, QString> texts;
        OnNextModal([&](QWidget* modal) {
            auto* details = qobject_cast<CPacketDetailsDlg*>(modal);
            if (!details) return;
            for (int id : {1024, 1025, 1026, 1027, 1029, 1036, 1037}) texts[id] = details->GetDlgItemText(id);
            QTest::mouseClick(details->Item(ID_HELP), Qt::LeftButton);
            QTest::keyClick(details, Qt::Key_F1);
        });
        emit List()->doubleClicked(0);
        QCOMPARE(texts[1024], QStringLiteral("10.7.0.1"));
        QCOMPARE(texts[1025], QStringLiteral("40000"));
        QCOMPARE(texts[1026], QStringLiteral("10.7.0.2"));
        QCOMPARE(texts[1027], QStringLiteral("80"));
        QCOMPARE(texts[1029], QStringLiteral("TCP"));
        QCOMPARE(texts[1036], QStringLiteral("TCP PACKET\tSource Port: 40000\tDest Port: 80   \t"));
        QCOMPARE(texts[1037], QStringLiteral("GET /"));
        QCOMPARE(help->calls, (std::vector<long>{10028, 10028}));

        // The whole name, case and all, against the table.
        struct {
            const char* name;
            long context;
        } cases[] = {{"ICMPv6", 10009}, {"ICMP", 10008}, {"VRRP", 10032}, {"IDPR", 0}, {"SCTP", 0}, {"<unknown>", 0}, {"tcp", 0}};
        for (const auto& c : cases) {
            help->calls.clear();
            auto record = std::make_shared<CPacketRecord>();
            std::strcpy(record->protocolName, c.name);
            CPacketDetailsDlg details;
            details.SetRecord(record);
            OnNextModal([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_F1); });
            details.DoModal();
            QCOMPARE(details.GetDlgItemText(1037), QString());
            QCOMPARE(help->calls, c.context ? std::vector<long>{c.context} : std::vector<long>{});
        }
        QVERIFY(boxes->Texts().empty());

        // A help file that cannot be opened is reported, as in the main window.
        help->result = false;
        auto record = std::make_shared<CPacketRecord>();
        std::strcpy(record->protocolName, "UDP");
        CPacketDetailsDlg details;
        details.SetRecord(record);
        OnNextModal([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_F1); });
        details.DoModal();
        QCOMPARE(boxes->Texts(), std::vector<std::string>{kHelpLaunchFailedText});
    }

    void transparencyStaysWithinItsBounds() {
        Open();
        auto* slider = dlg->Control<CSkinScrollBar>(1030);
        auto scroll = [&](int code, int pos = 0) { emit slider->scrolled(code, pos); };
        scroll(SB_LEFT);
        QCOMPARE(slider->GetScrollPos(), 20);
        QCOMPARE(dlg->Alpha(), 51);
        scroll(SB_LINELEFT);
        scroll(SB_PAGELEFT);
        QCOMPARE(slider->GetScrollPos(), 20);
        QCOMPARE(dlg->Alpha(), 51);
        QCOMPARE(qRound(dlg->windowOpacity() * 255), 51);
        scroll(SB_PAGERIGHT);
        QCOMPARE(slider->GetScrollPos(), 30);
        QCOMPARE(dlg->Alpha(), 76);
        scroll(SB_THUMBTRACK, 55);
        QCOMPARE(dlg->Alpha(), 140);
        scroll(SB_ENDSCROLL);
        QCOMPARE(slider->GetScrollPos(), 55);
        scroll(SB_RIGHT);
        QCOMPARE(slider->GetScrollPos(), 100);
        QCOMPARE(dlg->Alpha(), 255);
        scroll(SB_LINERIGHT);
        QCOMPARE(slider->GetScrollPos(), 100);
        QCOMPARE(dlg->Alpha(), 255);
    }

    void trayTogglesAndMinimisesWhereThereIsNoTray() {
        Open();
        QSystemTrayIcon* tray = dlg->TrayIcon()->SystemTrayIcon();
        Click(1018);
        QVERIFY(!dlg->isVisible());
        QCOMPARE(dlg->HiddenToTray(), 1);
        emit tray->activated(QSystemTrayIcon::Context);
        emit tray->activated(QSystemTrayIcon::DoubleClick);
        emit tray->activated(QSystemTrayIcon::MiddleClick);
        QVERIFY(!dlg->isVisible());
        emit tray->activated(QSystemTrayIcon::Trigger);
        QVERIFY(dlg->isVisible());
        QCOMPARE(dlg->HiddenToTray(), 0);
        QCOMPARE(dlg->result(), 0);  // hiding did not end the window
        emit tray->activated(QSystemTrayIcon::Trigger);  // shown: the click hides it
        QVERIFY(!dlg->isVisible());
        emit tray->activated(QSystemTrayIcon::Trigger);
        QVERIFY(dlg->isVisible());

        CTrayIcon::SetTrayAvailableOverride(false);
        Click(1018);
        QVERIFY(dlg->isVisible());
        QVERIFY(dlg->isMinimized());
        QCOMPARE(dlg->HiddenToTray(), 0);
    }

    void endDuringARunPlaysItsCueToTheEnd() {
        Open();
        quiet = true;
        File(Numbered(0, 2));
        Click(1000);
        QTRY_COMPARE(List()->GetItemCount(), 2);
        Click(IDOK);
        QCOMPARE(sounds->CueIds(), (Cues{201, 198, 200}));
        QVERIFY(sounds->played.back().wait);
        QCOMPARE(dlg->TrayIcon(), nullptr);
        QCOMPARE(dlg->Run().Listening(), 0);
        QCOMPARE(dlg->result(), int(IDOK));
        QVERIFY(!dlg->isVisible());
        // The run's late stop command reaches an ended window: no Stop listening.
        QVERIFY(dlg->Run().WaitCaptureRun(2000));
        QTest::qWait(30);
        QCOMPARE(sounds->CueIds(), (Cues{201, 198, 200}));
    }

    void closeCancelAndTheSmallEndButton() {
        for (int how = 0; how < 3; ++how) {
            Open();
            sounds->played.clear();
            if (how == 0) dlg->close();                          // WM_CLOSE
            if (how == 1) QTest::keyClick(dlg.get(), Qt::Key_Escape);  // Cancel
            if (how == 2) Click(1019);                          // End
            QCOMPARE(dlg->result(), how == 2 ? int(IDOK) : int(IDCANCEL));
            QCOMPARE(sounds->CueIds(), how == 2 ? Cues{200} : Cues{});
            QCOMPARE(dlg->TrayIcon(), nullptr);
            QVERIFY(!dlg->isVisible());
        }
    }

    void helpAndTheAboutBox() {
        Open();
        Click(ID_HELP);
        QTest::keyClick(dlg.get(), Qt::Key_F1);
        QCOMPARE(help->calls, (std::vector<long>{CHelpRecorder::kContents, CHelpRecorder::kContents}));
        QVERIFY(boxes->Texts().empty());
        help->result = false;
        Click(ID_HELP);
        QCOMPARE(boxes->Texts(), std::vector<std::string>{kHelpLaunchFailedText});

        // The About button and the system menu's entry open the same box.
        QAction* entry = nullptr;
        for (QAction* a : dlg->SystemMenu()->actions())
            if (a->text() == QStringLiteral("&About Pelmar...")) entry = a;
        QVERIFY(entry);
        QCOMPARE(entry->data().toUInt(), 16u);
        int abouts = 0;
        for (int how = 0; how < 2; ++how) {
            OnNextModal([&](QWidget* modal) { abouts += qobject_cast<CAboutDlg*>(modal) != nullptr; });
            if (how == 0)
                Click(1043);
            else
                entry->trigger();
        }
        QCOMPARE(abouts, 2);
        OnNextModal([&](QWidget* modal) { abouts += qobject_cast<CAboutDlg*>(modal) != nullptr; });
        dlg->OnSysCommand(0x0013);  // the low four bits are the system's own
        QCOMPARE(abouts, 3);
    }

    // The capture thread's requests while the window thread is busy: one
    // call per kind, rows only for the records that fitted the page, the
    // last rate text, and every stop after the records accepted before it.
    void aFloodOfRequestsReachesTheWindowCoalesced() {
        CPacketStore store;
        std::vector<std::string> seen;
        CCaptureRequests requests(store, {
            [&](AcceptedRows rows) {
                seen.push_back("rows " + std::to_string(rows.size()));
                for (const auto& r : rows) seen.push_back(r->sourceAddress);
            },
            [&](const std::string& text) { seen.push_back("bytes " + text); },
            [&](const std::string& text) { seen.push_back("packets " + text); },
            [&] { seen.push_back("reset"); },
            [&](const std::string& text) { seen.push_back("failure " + text); },
            [&] { seen.push_back("stop"); },
        });
        requests.SetPageSize(3);
        auto accept = [&](int i) {
            auto record = std::make_unique<CPacketRecord>();
            std::strcpy(record->sourceAddress, SourceOf(i).c_str());
            requests.ShowAcceptedPacket(store.Append(std::move(record)));
        };
        std::thread capture([&] {
            for (int i = 0; i < 20000; ++i) {
                accept(i);
                if (i % 1000 == 0) requests.SetByteRateText(std::to_string(i));
            }
            requests.PostStopCommand();
            requests.PostStopCommand();
        });
        capture.join();
        QCoreApplication::processEvents();
        QCOMPARE(seen, (std::vector<std::string>{"rows 3", SourceOf(0), SourceOf(1), SourceOf(2), "bytes 19000",
                                                 "stop", "stop"}));

        // Within the interval records wait for a timer, but a stop command
        // still comes after them.
        seen.clear();
        accept(20000);
        requests.PostStopCommand();
        QCoreApplication::processEvents();
        QCOMPARE(seen, (std::vector<std::string>{"rows 0", "stop"}));
    }

    void versionCheckRefusesKernelsBefore3_2() {
        for (const char* release : {"3.1.10", "2.6.32-5-amd64", "3.2.0"}) {
            sounds->played.clear();
            boxes->Clear();
            std::vector<int> exits;
            CMainDlgOptions options = Options();
            options.kernelRelease = [release] { return std::string(release); };
            options.exitProcess = [&](int code) { exits.push_back(code); };
            CMainDlg window(options);
            const bool supported = std::string(release) == "3.2.0";
            if (supported) QTimer::singleShot(0, &window, [&] { window.EndDialog(IDCANCEL); });
            window.DoModal();
            if (supported) {
                QVERIFY(exits.empty());
                QVERIFY(boxes->Texts().empty());
                QCOMPARE(sounds->CueIds(), Cues{201});
            } else {
                QCOMPARE(exits, std::vector<int>{0});
                QCOMPARE(boxes->Texts(), std::vector<std::string>{"This program requires Linux 3.2!!!"});
                QCOMPARE(boxes->Boxes()[0].icon, MessageIcon::Exclamation);
                QVERIFY(sounds->played.empty());  // ended before the sound and the tray icon
                QCOMPARE(window.TrayIcon(), nullptr);
            }
        }
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
