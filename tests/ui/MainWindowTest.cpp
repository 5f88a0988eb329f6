// The main window over capture files replayed through real capture runs,
// with sounds, help and message boxes recorded.

#include <QMenu>
#include <QSystemTrayIcon>
#include <QtTest>
#include <memory>
#include <thread>

#include "filters/CFiltersDlg.h"
#include "platform/capture/PcapSource.h"
#include "platform/help/HelpRecorder.h"
#include "platform/msgbox/MessageBox.h"
#include "platform/registry/Registry.h"
#include "platform/sound/SoundRecorder.h"
#include "tests/ModalDriver.h"
#include "tests/capture/CaptureTestSupport.h"
#include "ui/CAboutDlg.h"
#include "ui/CMainDlg.h"
#include "ui/CPacketDetailsDlg.h"
#include "ui/skin/CSkinControls.h"
#include "ui/skin/CSkinListCtrl.h"

namespace {

using Cues = std::vector<int>;
using Texts = std::vector<std::string>;

// Record i of a numbered capture comes from 10.x.y.z with x.y.z = 1.0.0 + i.
std::string SourceOf(int i) {
    return "10." + std::to_string(1 + i / 65536) + "." + std::to_string(i / 256 % 256) + "." + std::to_string(i % 256);
}

std::vector<Frame> Numbered(int first, int count) {
    std::vector<Frame> frames;
    for (int i = first; i < first + count; ++i) frames.push_back({Udp(SourceOf(i).c_str(), "10.9.0.1", 5000, 53, "q")});
    return frames;
}

// A capture file that, with stayOpen, stays open like a quiet interface
// once read, until stopped.
class CReplaySource final : public ICaptureSource {
public:
    CReplaySource(std::string path, bool stayOpen) : file(std::move(path)), stayOpen(stayOpen) {}
    CaptureFailure Startup() override { return file.Startup(); }
    CaptureFailure FindInterface() override { return file.FindInterface(); }
    CaptureFailure Activate() override { return file.Activate(); }
    ReceiveResult Receive(CapturedDatagram& datagram, int timeoutMs) override {
        const ReceiveResult result = atEnd ? ReceiveResult::EndOfFile : file.Receive(datagram, timeoutMs);
        if (result != ReceiveResult::EndOfFile || !stayOpen) return result;
        atEnd = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
        return ReceiveResult::NothingYet;
    }
    void Stop() override { file.Stop(); }
    CaptureStatistics Statistics() override { return file.Statistics(); }
    const std::string& ErrorText() const override { return file.ErrorText(); }

private:
    CFileCaptureSource file;
    bool stayOpen, atEnd = false;
};

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

    CMainDlgOptions Options() {
        CMainDlgOptions options;
        options.source = [this] { return std::unique_ptr<ICaptureSource>(new CReplaySource(capture, quiet)); };
        options.kernelRelease = [] { return std::string("6.1.0-18-amd64"); };
        return options;
    }

    void Open() {
        dlg = std::make_unique<CMainDlg>(Options());
        dlg->Log().SetDirectory(dir.path + "/Log");
        dlg->show();
        QVERIFY(QTest::qWaitForWindowExposed(dlg.get()));
        QApplication::setActiveWindow(dlg.get());
    }

    void File(const std::vector<Frame>& frames) {
        static int files = 0;
        capture = dir.path + "/c" + std::to_string(++files) + ".pcap";
        WriteCapture(capture, frames);
    }

    QWidget* Item(int id) { return dlg->Item(id); }
    CSkinListCtrl* List() { return dlg->Control<CSkinListCtrl>(1023); }
    void Click(int id) { QTest::mouseClick(Item(id), Qt::LeftButton); }
    QString Row(int row) { return List()->GetItemText(row, 0); }

    // "FIRST at THUMB" of the list, with its rows when not 20 and the first
    // row that does not show record FIRST + row.
    QString Page() {
        const int first = dlg->FirstVisible(), rows = List()->GetItemCount();
        QString page = QString("%1 at %2").arg(first).arg(dlg->Control<CSkinScrollBar>(1034)->GetScrollPos());
        if (rows != 20) page += QString(" (%1 rows)").arg(rows);
        for (int r = 0; r < rows; ++r)
            if (Row(r) != QString::fromStdString(SourceOf(first + r))) return page + ", row " + Row(r);
        return page;
    }
    QString Scroll(int code, int thumb = 0) {
        emit dlg->Control<CSkinScrollBar>(1034)->scrolled(code, thumb);
        return Page();
    }

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

    void aRunFromTheIdleWindowToItsStop() {
        Open();
        QCOMPARE(dlg->windowTitle() + dlg->TrayIcon()->SystemTrayIcon()->toolTip(), QStringLiteral(">:-)>:-)"));
        QVERIFY(!Item(1001)->isVisible() && !Item(1023)->isVisible() && !Item(1031)->isVisible());
        QVERIFY(dlg->Control<CSkinScrollBar>(1030)->GetScrollPos() == 100 && dlg->Alpha() == 255);
        // No stored filter set: empty lists, full info off, messages on.
        const CFilterSet initial = dlg->FilterSet();
        QVERIFY(initial.srcAddrs.empty() && initial.destAddrs.empty());
        QVERIFY(initial.fullInfo == 0 && initial.messages == 1);

        quiet = true;
        File(Numbered(0, 3));
        Click(1000);
        QCOMPARE(sounds->CueIds(), (Cues{201, 198}));
        QVERIFY(!Item(1000)->isVisible() && Item(1001)->isVisible());
        for (int id : {1023, 1034, 1031, 1033, 1024, 1035}) QVERIFY(Item(id)->isVisible());
        QTRY_COMPARE(List()->GetItemCount(), 3);

        // The Filters window changes the live set, also during a run.
        WhenModal<CFiltersDlg>([](CFiltersDlg& filters) {
            filters.srcAddrs.push_back(inet_addr("10.1.0.1"));
            filters.srcPorts.push_back(0);
            QTest::mouseClick(filters.Item(IDOK), Qt::LeftButton);
        });
        Click(1003);
        QCOMPARE(dlg->FilterSet().srcAddrs, std::vector<std::uint32_t>{inet_addr("10.1.0.1")});

        Click(1001);
        QVERIFY(!dlg->Run().IsCaptureThreadRunning());
        QCOMPARE(sounds->CueIds(), (Cues{201, 198, 197}));
        QVERIFY(Item(1000)->isVisible() && !Item(1001)->isVisible());
        // The run's own stop command: Stop listening once more, and only once.
        QTRY_COMPARE(sounds->CueIds(), (Cues{201, 198, 197, 197}));
        QTest::qWait(50);
        QCOMPARE(sounds->CueIds().size(), 4u);
        QVERIFY(Item(1000)->isVisible() && Item(1023)->isVisible());
        QVERIFY(boxes->Texts().empty());

        // The next run adds to the rows kept, and keeps only what the set lets through.
        quiet = false;
        Replay(Numbered(0, 5));
        QCOMPARE(dlg->Store().Count(), 4u);
        QCOMPARE(Row(3), QString::fromStdString(SourceOf(1)));
        CFilterSet stored;
        LoadFilterSet(stored);
        QCOMPARE(stored.srcAddrs, dlg->FilterSet().srcAddrs);
    }

    void startFailureShowsItsMessageAndReturnsToIdle() {
        Open();
        capture = dir.path + "/not-a-capture";
        std::ofstream(capture) << "nothing captured here";
        Click(1000);
        QTRY_COMPARE(boxes->Texts(), Texts{kInitializationMessage});
        QCOMPARE(boxes->Boxes()[0].icon, MessageIcon::Exclamation);
        QVERIFY(Item(1000)->isVisible() && !Item(1001)->isVisible());
        QCOMPARE(dlg->Run().Listening(), 0);
        QTest::qWait(50);  // no stop command follows a failed start
        QCOMPARE(sounds->CueIds(), (Cues{201, 198, 197}));
    }

    // Pages of 20 rows; the thumb is FIRST * 100 / (COUNT - 20), SB_TOP is
    // the newest page and SB_BOTTOM the oldest.
    void listPagesAndScrollCodes() {
        Open();
        // Replays of more records (code 0), and scroll codes, each with the page after it.
        const struct {
            int more, code, thumb;
            const char* page;
        } steps[] = {
            {10, 0, 0, "0 at 0 (10 rows)"}, {0, SB_LINEDOWN, 0, "0 at 0 (10 rows)"},  // the store fits: nothing moves
            {15, 0, 0, "0 at 0"},            {0, SB_TOP, 0, "5 at 100"},
            {75, 0, 0, "5 at 5"},  // the page stays, the thumb drifts to 5 * 100 / 100
            {0, SB_PAGEUP, 0, "0 at 0"},     {0, SB_LINEUP, 0, "0 at 0"},       {0, SB_LINEDOWN, 0, "1 at 1"},
            {0, SB_TOP, 0, "80 at 100"},     {0, SB_LINEDOWN, 0, "80 at 100"},  {0, SB_PAGEDOWN, 0, "80 at 100"},
            {0, SB_LINEUP, 0, "79 at 98"},   {0, SB_PAGEDOWN, 0, "80 at 100"},  {0, SB_PAGEUP, 0, "60 at 75"},
            {900, 0, 0, "60 at 6"},          {0, SB_THUMBTRACK, 50, "500 at 50"}, {0, SB_ENDSCROLL, 0, "500 at 50"},
            {0, SB_PAGEDOWN, 0, "520 at 53"},
            {0, SB_THUMBPOSITION, 99, "980 at 99"},  // past the newest page: held there, the thumb where let go
            {0, SB_BOTTOM, 0, "0 at 0"},     {0, SB_TOP, 0, "980 at 100"},      {0, SB_PAGEUP, 0, "960 at 97"}};
        int count = 0;
        for (const auto& step : steps) {
            if (step.more) Replay(Numbered(count, step.more)), count += step.more;
            QCOMPARE(step.more ? Page() : Scroll(step.code, step.thumb), QString(step.page));
        }
        QStringList cells;
        for (int c = 0; c < 6; ++c) cells << List()->GetItemText(0, c);
        QCOMPARE(cells.join(' '), "10.1.3.192 5000 10.9.0.1 53 UDP 29");
    }

    void doubleClickOpensTheRecordItsRowShowsAfterDrops() {
        CFilterSet set;
        set.messages = 0;  // a lighter store and log for a full store
        SaveFilterSet(set);
        Open();
        Replay(Numbered(0, int(CPacketStore::kLimit)));
        Scroll(SB_BOTTOM);
        Replay(Numbered(int(CPacketStore::kLimit), 5));  // drops records 0 to 4
        QCOMPARE(dlg->Store().Dropped(), 5u);
        QCOMPARE(Row(2), QString::fromStdString(SourceOf(2)));

        QString shown;
        WhenModal<CPacketDetailsDlg>([&](CPacketDetailsDlg& d) { shown = d.GetDlgItemText(1024); });
        const QPoint row2 = List()->ItemRect(2).center();
        QTest::mouseClick(List(), Qt::LeftButton, {}, row2);  // a double click's first press selects
        QTest::mouseDClick(List(), Qt::LeftButton, {}, row2);
        QCOMPARE(shown, QString::fromStdString(SourceOf(2)));
    }

    // A help file that cannot be opened is reported, as in the main window.
    void detailsShowTheRecordAndOpenItsProtocolsHelp() {
        Open();
        const Bytes tcp = {0x9c, 0x40, 0x00, 0x50, 0, 0, 0, 1, 0, 0, 0, 0, 0x50, 0x18, 0x10, 0x00, 0, 0, 0, 0,
                           'G', 'E', 'T', ' ', '/'};
        Replay({{Ipv4("10.7.0.1", "10.7.0.2", 6, tcp)}});
        List()->SetSelectedRow(0);
        QStringList texts;
        help->result = false;
        WhenModal<CPacketDetailsDlg>([&](CPacketDetailsDlg& d) {
            for (int id : {1024, 1025, 1026, 1027, 1029, 1036, 1037}) texts << d.GetDlgItemText(id);
            QTest::mouseClick(d.Item(ID_HELP), Qt::LeftButton);
            QTest::keyClick(&d, Qt::Key_F1);
        });
        emit List()->doubleClicked(0);
        QCOMPARE(texts.join('|'),
                 "10.7.0.1|40000|10.7.0.2|80|TCP|TCP PACKET\tSource Port: 40000\tDest Port: 80   \t|GET /");
        QCOMPARE(help->calls, (std::vector<long>{10028, 10028}));
        QCOMPARE(boxes->Texts(), (Texts{kHelpLaunchFailedText, kHelpLaunchFailedText}));

        // The whole name as the list shows it against the table; some have no topic.
        const std::pair<const char*, unsigned> cases[] = {{"ICMPv6", 10009}, {"ICMP", 10008}, {"VRRP", 10032},
                                                          {"IDPR", 0},       {"SCTP", 0},     {"<unknown>", 0}};
        for (auto [name, context] : cases) QCOMPARE(PacketHelpContext(name).value_or(0), context);

        // A record whose bytes the store released: our note where its message was.
        CPacketStore noRoom(0);
        auto record = std::make_unique<CPacketRecord>();
        record->KeepDatagram(tcp, 0, true);
        CPacketDetailsDlg released(dlg.get());
        released.SetRecord(noRoom.Append(std::move(record)));
        WhenModal<CPacketDetailsDlg>([&](CPacketDetailsDlg& d) { texts = QStringList{d.GetDlgItemText(1037)}; });
        released.DoModal();
        QCOMPARE(texts, QStringList{kReleasedMessageText});
    }

    void transparencyStaysWithinItsBounds() {
        Open();
        auto* slider = dlg->Control<CSkinScrollBar>(1030);
        const struct {
            int code, thumb, pos, alpha;
        } steps[] = {{SB_LEFT, 0, 20, 51},       {SB_LINELEFT, 0, 20, 51},      {SB_PAGELEFT, 0, 20, 51},
                     {SB_PAGERIGHT, 0, 30, 76},  {SB_LINERIGHT, 0, 31, 79},     {SB_THUMBTRACK, 55, 55, 140},
                     {SB_ENDSCROLL, 0, 55, 140}, {SB_RIGHT, 0, 100, 255},       {SB_LINERIGHT, 0, 100, 255}};
        for (const auto& s : steps) {
            emit slider->scrolled(s.code, s.thumb);
            QCOMPARE(slider->GetScrollPos(), s.pos);
            QCOMPARE(dlg->Alpha(), s.alpha);
            QCOMPARE(qRound(dlg->windowOpacity() * 255), s.alpha);
        }
    }

    // A left click on the icon shows a hidden window and hides a shown one;
    // hiding does not end the window.
    void trayTogglesAndMinimisesWhereThereIsNoTray() {
        Open();
        QSystemTrayIcon* tray = dlg->TrayIcon()->SystemTrayIcon();
        auto state = [&] { return QString("%1 %2 %3").arg(dlg->isVisible()).arg(dlg->HiddenToTray()).arg(dlg->result()); };
        QStringList seen;
        Click(1018);
        seen << state();
        for (auto other : {QSystemTrayIcon::Context, QSystemTrayIcon::DoubleClick, QSystemTrayIcon::MiddleClick})
            emit tray->activated(other);
        seen << state();
        for (int i = 0; i < 3; ++i) emit tray->activated(QSystemTrayIcon::Trigger), seen << state();
        QCOMPARE(seen, (QStringList{"0 1 0", "0 1 0", "1 0 0", "0 1 0", "1 0 0"}));

        CTrayIcon::SetTrayAvailableOverride(false);
        Click(1018);
        QVERIFY(dlg->isVisible() && dlg->isMinimized());
        QCOMPARE(dlg->HiddenToTray(), 0);
    }

    // Close, Cancel, the small End button, and End during a run, whose cue
    // plays to its end and whose run's late stop command finds an ended window.
    void theWaysToEnd() {
        for (int how = 0; how < 4; ++how) {
            Open();
            if (how == 3) {
                quiet = true;
                File(Numbered(0, 2));
                Click(1000);
                QTRY_COMPARE(List()->GetItemCount(), 2);
            }
            sounds->played.clear();
            if (how == 0) dlg->close();
            if (how == 1) QTest::keyClick(dlg.get(), Qt::Key_Escape);
            if (how >= 2) Click(how == 2 ? 1019 : IDOK);
            QCOMPARE(dlg->result(), how >= 2 ? int(IDOK) : int(IDCANCEL));
            QCOMPARE(sounds->CueIds(), how >= 2 ? Cues{200} : Cues{});
            if (how >= 2) QVERIFY(sounds->played.back().wait);
            QCOMPARE(dlg->TrayIcon(), nullptr);
            QCOMPARE(dlg->Run().Listening(), 0);
            QVERIFY(!dlg->isVisible());
        }
        QVERIFY(dlg->Run().WaitCaptureRun(2000));
        QTest::qWait(30);
        QCOMPARE(sounds->CueIds(), Cues{200});
    }

    void helpAndTheAboutBox() {
        Open();
        Click(ID_HELP);
        QCOMPARE(help->calls, std::vector<long>{CHelpRecorder::kContents});
        QVERIFY(boxes->Texts().empty());
        help->result = false;
        Click(ID_HELP);
        QCOMPARE(boxes->Texts(), Texts{kHelpLaunchFailedText});

        // The About button, the system menu's entry and its command with the
        // system's own low four bits set all open the box.
        QAction* entry = nullptr;
        for (QAction* a : dlg->SystemMenu()->actions())
            if (a->text() == QStringLiteral("&About Pelmar...")) entry = a;
        QVERIFY(entry && entry->data().toUInt() == 16u);
        int abouts = 0;
        for (const std::function<void()>& open : std::initializer_list<std::function<void()>>{
                 [&] { Click(1043); }, [&] { entry->trigger(); }, [&] { dlg->OnSysCommand(0x0013); }}) {
            WhenModal<CAboutDlg>([&](CAboutDlg&) { ++abouts; });
            open();
        }
        QCOMPARE(abouts, 3);
    }

    // The capture thread's requests while the window thread is busy: one
    // call per kind, rows only for the records that fitted the page, the
    // last rate text, and every stop after the records accepted before it.
    void aFloodOfRequestsReachesTheWindowCoalesced() {
        CPacketStore store;
        std::vector<std::string> seen;
        const auto note = [&](std::string what) {
            return [&seen, what](const std::string& text) { seen.push_back(what + text); };
        };
        CCaptureRequests requests(store, {[&](AcceptedRows rows) {
                                              seen.push_back("rows " + std::to_string(rows.size()));
                                              for (const auto& r : rows) seen.push_back(r->sourceAddress);
                                          },
                                          note("bytes "), note("packets "), [&] { seen.push_back("reset"); },
                                          note("failure "), [&] { seen.push_back("stop"); }});
        requests.SetPageSize(3);
        auto accept = [&](int i) {
            auto record = std::make_unique<CPacketRecord>();
            std::strcpy(record->sourceAddress, SourceOf(i).c_str());
            requests.ShowAcceptedPacket(store.Append(std::move(record)));
        };
        std::thread([&] {
            for (int i = 0; i < 20000; ++i) {
                accept(i);
                if (i % 1000 == 0) requests.SetByteRateText(std::to_string(i));
            }
            requests.PostStopCommand();
            requests.PostStopCommand();
        }).join();
        QCoreApplication::processEvents();
        QCOMPARE(seen, (Texts{"rows 3", SourceOf(0), SourceOf(1), SourceOf(2), "bytes 19000", "stop", "stop"}));

        // Within the interval records wait for a timer, but a stop command
        // still comes after them.
        seen.clear();
        accept(20000);
        requests.PostStopCommand();
        QCoreApplication::processEvents();
        QCOMPARE(seen, (Texts{"rows 0", "stop"}));
    }

    // Every other case opens on a 6.1 kernel.
    void versionCheckRefusesKernelsBefore3_2() {
        std::vector<int> exits;
        CMainDlgOptions options = Options();
        options.kernelRelease = [] { return std::string("3.1.10"); };
        options.exitProcess = [&](int code) { exits.push_back(code); };
        CMainDlg window(options);
        QTimer::singleShot(1000, &window, [&] { window.EndDialog(IDCANCEL); });  // should it open after all
        window.DoModal();
        QCOMPARE(exits, std::vector<int>{0});
        QCOMPARE(boxes->Texts(), Texts{"This program requires Linux 3.2!!!"});
        QCOMPARE(boxes->Boxes()[0].icon, MessageIcon::Exclamation);
        // Ended before the sound and the tray icon, and never shown.
        QVERIFY(sounds->played.empty() && !window.isVisible());
        QCOMPARE(window.TrayIcon(), nullptr);
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
