// The main window over capture files replayed through real capture runs,
// with sounds, help and message boxes recorded.

#include <QClipboard>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QShortcut>
#include <QSystemTrayIcon>
#include <QtTest>
#include <memory>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>

#include "capture/DecodeCommand.h"
#include "capture/PcapngWriter.h"
#include "dialogs/CFiltersDlg.h"
#include "platform/capture/HelperCaptureSource.h"
#include "platform/capture/PcapSource.h"
#include "platform/help/HelpRecorder.h"
#include "platform/msgbox/MessageBox.h"
#include "platform/registry/Registry.h"
#include "platform/sound/SoundRecorder.h"
#include "tests/ModalDriver.h"
#include "tests/capture/CaptureTestSupport.h"
#include "tests/platform/net/NetnsLab.h"
#include "dialogs/CAboutDlg.h"
#include "dialogs/CConversationsDlg.h"
#include "dialogs/CTextLineDlg.h"
#include "dialogs/CMainDlg.h"
#include "dialogs/CPacketDetailsDlg.h"
#include "skin/qt/CSkinControls.h"
#include "skin/qt/CSkinListCtrl.h"

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
// once read, until stopped; its kernel lost the given count.
class CReplaySource final : public ICaptureSource {
public:
    CReplaySource(std::string path, bool stayOpen, std::uint64_t lost)
        : file(std::move(path)), stayOpen(stayOpen), lost(lost) {}
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
    CaptureStatistics Statistics() override {
        CaptureStatistics counts = file.Statistics();
        counts.kernelDropped = lost;
        return counts;
    }
    const std::string& ErrorText() const override { return file.ErrorText(); }

private:
    CFileCaptureSource file;
    bool stayOpen, atEnd = false;
    std::uint64_t lost;
};

// The file's link type, then "SECONDS.NANOSECONDS HEX" for each packet, as libpcap reads them.
QStringList Packets(const std::string& path) {
    pcap_t* file = pcap_open_offline_with_tstamp_precision(path.c_str(), PCAP_TSTAMP_PRECISION_NANO, nullptr);
    QStringList packets{QString::number(file ? pcap_datalink(file) : -1)};
    pcap_pkthdr* h;
    for (const u_char* b; file && pcap_next_ex(file, &h, &b) == 1;)
        packets << QString("%1.%2 %3").arg(h->ts.tv_sec).arg(h->ts.tv_usec, 9, 10, QChar('0')).arg(QByteArray((const char*)b, int(h->caplen)).toHex());
    if (file) pcap_close(file);
    return packets;
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

    CTempDir dir;
    std::string capture;  // what the next run replays
    bool quiet = false;   // ... and whether it then stays open
    std::uint64_t lost = 0;
    std::unique_ptr<CSoundRecorder> sounds;
    std::unique_ptr<CHelpRecorder> help;
    std::unique_ptr<CMessageBoxRecorder> boxes;
    std::unique_ptr<CMainDlg> dlg;

    CMainDlgOptions Options() {
        CMainDlgOptions options;
        options.source = [this](const std::string&) {
            return std::unique_ptr<ICaptureSource>(new CReplaySource(capture, quiet, lost));
        };
        options.kernelRelease = [] { return std::string("6.1.0-18-amd64"); };
        return options;
    }

    void Open(CMainDlgOptions options = {}) {
        if (!options.source) options.source = Options().source;
        options.kernelRelease = Options().kernelRelease;
        dlg = std::make_unique<CMainDlg>(options);
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
    // row that does not show the record at FIRST + row (the store's records
    // are numbered from the first ever appended).
    QString Page() {
        const int first = dlg->FirstVisible(), rows = List()->GetItemCount();
        QString page = QString("%1 at %2").arg(first).arg(dlg->Control<CSkinScrollBar>(1034)->GetScrollPos());
        if (rows != 20) page += QString(" (%1 rows)").arg(rows);
        if (List()->GetSelectedRow() >= 0) page += QString(" row %1 selected").arg(List()->GetSelectedRow());
        const int shift = int(dlg->Store().Dropped());
        for (int r = 0; r < rows; ++r)
            if (Row(r) != QString::fromStdString(SourceOf(shift + first + r))) return page + ", row " + Row(r);
        return page;
    }
    // A scroll code (SB_...), a key (Qt::Key_...), a turn of the wheel over
    // the list, a row selected, or a context menu entry; then the page.
    enum Input { kWheel = 100, kSelect, kFollow, kClear };
    QString Scroll(int input, int arg = 0) {
        if (input == kSelect) {
            List()->SetSelectedRow(arg);
        } else if (input == kWheel) {
            QWheelEvent wheel(QPointF(5, 5), List()->mapToGlobal(QPointF(5, 5)), {}, QPoint(0, arg), Qt::NoButton,
                              {}, Qt::NoScrollPhase, false);
            QApplication::sendEvent(List(), &wheel);
        } else if (input == kFollow || input == kClear) {
            MenuEntry(input == kFollow ? "&Follow newest" : "C&lear")->trigger();
        } else if (input > SB_ENDSCROLL) {
            QTest::keyClick(dlg.get(), Qt::Key(input));
        } else {
            emit dlg->Control<CSkinScrollBar>(1034)->scrolled(input, arg);
        }
        return Page();
    }
    QAction* MenuEntry(const char* text) {
        for (QAction* a : dlg->ContextMenu()->actions())
            if (a->text() == QString(text)) return a;
        return nullptr;
    }

    // Start, and wait until the run has read the whole file and the window
    // has taken its stop command.
    void Replay(const std::vector<Frame>& frames) {
        File(frames);
        Click(1000);
        Idle();
    }
    void Idle() {
        QTRY_VERIFY_WITH_TIMEOUT(!dlg->Run().IsCaptureThreadRunning() && Item(1000)->isVisible(), 60000);
        QCoreApplication::processEvents();
    }
    QStringList InterfaceEntries() {
        emit dlg->PopupMenu(kInterfaceMenu)->aboutToShow();
        QStringList entries;
        for (QAction* a : dlg->PopupMenu(kInterfaceMenu)->actions())
            entries << a->text() + (a->isChecked() ? " ticked" : "") + (a->isEnabled() ? "" : " disabled");
        return entries;
    }

private slots:
    void initTestCase() { SetRegistryStorePath(dir.path + "/registry.reg"); }

    void init() {
        sounds = std::make_unique<CSoundRecorder>();
        help = std::make_unique<CHelpRecorder>();
        boxes = std::make_unique<CMessageBoxRecorder>();
        quiet = false;
        lost = 0;
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
        // The link went quiet: a quiet second later the rates say so.
        const auto rates = [&] { return dlg->GetDlgItemText(1031) + "|" + dlg->GetDlgItemText(1033); };
        QTRY_COMPARE_WITH_TIMEOUT(rates(), QString("     0.000 KB/sec|0 packets/sec"), 4000);

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
        QCOMPARE(rates(), QString("|"));  // no run, no rates
        QVERIFY(Item(1000)->isVisible() && Item(1023)->isVisible());
        QVERIFY(boxes->Texts().empty());

        // The next run adds to the rows kept, and keeps only what the set
        // lets through; what its kernel lost shows above the rates.
        QVERIFY(Item(kLostLabel)->isHidden());
        quiet = false;
        lost = 12;
        Replay(Numbered(0, 5));
        QCOMPARE(dlg->Store().Count(), 4u);
        QCOMPARE(Row(3), QString::fromStdString(SourceOf(1)));
        QVERIFY(Item(kLostLabel)->isVisible());
        QCOMPARE(dlg->GetDlgItemText(kLostLabel), QString("12 lost"));
        // Records shown without their log entries (no usable directory) are
        // counted beside the losses, with the log's reason.
        QVERIFY(Item(kUnloggedLabel)->isHidden());
        const std::string notDirectory = capture + "/Log";
        dlg->Log().SetDirectory(notDirectory);
        Replay(Numbered(0, 5));
        QCOMPARE(dlg->GetDlgItemText(kUnloggedLabel) + Item(kUnloggedLabel)->toolTip(),
                 QString::fromStdString("1 not logged" "Capture log: " + notDirectory + ": Not a directory"));
        QVERIFY(Item(kUnloggedLabel)->isVisible());
        dlg->Log().SetDirectory(dir.path + "/Log");

        // Long rates on one line, whole: the ink spans one line's height and
        // the label's width but for a few pixels, clear of its left edge.
        for (auto [id, text] : {std::pair{1033, "100000 packets/sec"}, {1031, "1048576.000 KB/sec"}}) {
            dlg->SetDlgItemText(id, text);
            const QImage label = Item(id)->grab().toImage();
            QRect ink;
            for (int y = 0; y < label.height(); ++y)
                for (int x = 0; x < label.width(); ++x)
                    if (qRed(label.pixel(x, y)) > 180 && qBlue(label.pixel(x, y)) < 100) ink |= QRect(x, y, 1, 1);
            QVERIFY2(ink.height() <= Item(id)->fontMetrics().height() && ink.left() > 0 &&
                         ink.width() >= label.width() - 4,
                     qPrintable(QString("%1: %2,%3 %4x%5").arg(text).arg(ink.x()).arg(ink.y()).arg(ink.width()).arg(ink.height())));
        }
        CFilterSet stored;
        LoadFilterSet(stored);
        QCOMPARE(stored.srcAddrs, dlg->FilterSet().srcAddrs);
    }

    // A live run that fails to start returns to idle with its message, and
    // no stop command follows. A capture file opened from the menu (a live
    // run stops first), given at start or dropped is replayed through a run:
    // its log is what orn-decode writes for the file (capture times, the
    // stored filter set); one that cannot be read is reported as such. Save
    // writes the stored datagrams as pcapng, read back by libpcap and tshark
    // byte for byte, as orn-decode -w does; released records are left out.
    void startFailuresAndCaptureFilesInAndOut() {
        SaveFilterSet({1, 0, {inet_addr("10.1.0.1"), inet_addr("10.1.0.4")}, {}, {0, 0}, {}});
        const std::string in = dir.path + "/in.pcapng", saved = dir.path + "/saved.pcapng";
        CPcapngWriter writer;
        writer.Open(in);
        for (int i = 0; i < 6; ++i)
            writer.Write(Udp(SourceOf(i).c_str(), "10.9.0.1", 5000, 53, std::string(i, 'x')), 1796508985 + i,
                         123456789u * i);
        QVERIFY(writer.Commit());
        const auto decode = [&](std::vector<std::string> arguments) {
            std::FILE* out = std::fopen((dir.path + "/decoded").c_str(), "w+");
            RunDecodeCommand(arguments, fileno(out), -1);
            return std::fclose(out), ReadFile(dir.path + "/decoded");
        };
        const auto open = [&](const QString& file, bool save) {
            WhenModal<QFileDialog>([file](QFileDialog& d) {
                d.findChild<QLineEdit*>("fileNameEdit")->setText(file), static_cast<QDialog&>(d).accept();
            });
            MenuEntry(save ? "&Save as pcapng..." : "&Open capture...")->trigger();
            Idle();
        };

        Open();
        capture = dir.path + "/none";
        Click(1000);
        Idle();
        quiet = true;
        File(Numbered(1, 1));
        Click(1000);
        QTRY_COMPARE(dlg->Store().Count(), 1u);
        open(QString::fromStdString(in), false);
        QCOMPARE(sounds->CueIds(), (Cues{201, 198, 197, 198, 197, 197, 198, 197}));
        QCOMPARE(Row(2), QString::fromStdString(SourceOf(4)));
        QCOMPARE(ReadFile(dlg->Log().FilePath()), decode({"--filters", in}));
        const QStringList packets = Packets(in);
        const QStringList expected{"228", Packets(capture)[1], packets[2], packets[5]};
        QVERIFY(dlg->SaveCapture(saved));
        QCOMPARE(Packets(saved), expected);
        const QString tshark = QString::fromStdString(dir.path + "/tshark.pcap");
        QCOMPARE(QProcess::execute("tshark", {"-r", QString::fromStdString(saved), "-Y", "ip", "-F", "nsecpcap", "-w", tshark}), 0);
        QCOMPARE(Packets(tshark.toStdString()), expected);
        QCOMPARE(decode({"--filters", "-w", dir.path + "/w.pcapng", capture, in}), "");
        QCOMPARE(ReadFile(dir.path + "/w.pcapng"), ReadFile(saved));

        // No capture; one cut short, whose datagrams before the cut are kept;
        // a drop; Stop during a replay; a save that cannot be made.
        const std::string cut = dir.path + "/cut.pcapng";
        std::ofstream(cut) << ReadFile(in).substr(0, ReadFile(in).size() - 9);
        // A FIFO is refused: its reads could wait for ever (here, till its writer closes).
        const std::string fifo = dir.path + "/fifo";
        mkfifo(fifo.c_str(), 0600);
        const int fifoWriter = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);
        // Read whole, yet without IPv4: said, not passed over in silence.
        const std::string ipv6 = dir.path + "/ipv6.pcap";
        WriteCapture(ipv6, {{Bytes{0x60, 0, 0, 0, 0, 0, 59, 64}}});
        for (const std::string& file : {dir.path + "/none", fifo, cut, ipv6}) {
            dlg->OpenCapture(file);
            if (file == fifo) {
                const bool refused = QTest::qWaitFor([&] { return !dlg->Run().IsCaptureThreadRunning(); }, 2000);
                close(fifoWriter);
                QVERIFY(refused);
            }
            Idle();
        }
        QCOMPARE(dlg->Store().Count(), 5u);
        QMimeData drop;
        drop.setUrls({QUrl::fromLocalFile(QString::fromStdString(in))});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &drop, Qt::LeftButton, {});
        QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &drop, Qt::LeftButton, {});
        QVERIFY(QApplication::sendEvent(dlg.get(), &enter) && enter.isAccepted());
        QApplication::sendEvent(dlg.get(), &dropped);
        QTRY_COMPARE(dlg->Store().Count(), 7u);
        Idle();
        File(Numbered(0, 20000));
        dlg->OpenCapture(capture);
        Click(1001);
        QVERIFY(Item(1000)->isVisible() && !dlg->Run().IsCaptureThreadRunning());
        QVERIFY(!dlg->SaveCapture(dir.path + "/none/x.pcapng"));
        QCOMPARE(boxes->Boxes()[0].icon, MessageIcon::Exclamation);
        QCOMPARE(boxes->Texts(), (Texts{kInitializationMessage, kCaptureFileFailedText + ("\n" + dir.path) + "/none: No such file or directory",
                                        kCaptureFileFailedText + ("\n" + dir.path) + "/fifo: not a regular file",
                                        kCaptureFileFailedText + ("\n" + cut) + ": truncated capture file (tried to read 60 bytes, only got 51)",
                                        kCaptureFileEmptyText + ("\n" + ipv6) + ": no IPv4 datagram in its one packet "
                                            "(other traffic such as IPv6 or ARP, or IPv4 in a framing that is not read here)",
                                        kCaptureSaveFailedText + ("\n" + dir.path) +
                                            "/none/x.pcapng: cannot create a file there: No such file or directory"}));

        // Given at start, with a budget that keeps one datagram's bytes of two.
        boxes->Clear();
        CMainDlgOptions options;
        options.captureFile = in;
        options.storeBytes = 40;
        Open(options);
        QTRY_COMPARE(dlg->Store().Count(), 2u);
        Idle();
        open(QString::fromStdString(dir.path + "/less"), true);
        QCOMPARE(Packets(dir.path + "/less.pcapng"), (QStringList{"228", packets[5]}));
        QCOMPARE(boxes->Texts(), Texts{"Records left out: 1 (their datagrams were released to stay within the "
                                       "memory budget). Datagrams saved: 1."});

        // orn --start: listening at once, as after Start (the stored set
        // passes one of the three).
        File(Numbered(0, 3));
        quiet = true;
        CMainDlgOptions started;
        started.startListening = true;
        Open(started);
        QTRY_COMPARE(dlg->Store().Count(), 1u);
        QVERIFY(dlg->Run().Listening() && !Item(1000)->isVisible() && Item(1001)->isVisible());
    }

    // In a namespace of the test's own with two interfaces: the first is
    // ticked until one is chosen; the choice is kept across a restart and
    // the helper captures on it (once it is gone, Start cannot find it); it
    // stays ticked until another is chosen.
    void interfaceChoiceKeptAcrossARestart() {
        if (const std::string why = NetnsUnavailableReason(); !why.empty()) QSKIP(why.c_str());
        CNetnsLab lab;
        const std::string ns = lab.AddNamespace("if");
        lab.Run(ns, {"sh", "-c",
                     "ip link add d0 type veth peer name p0 && ip link add d1 type veth peer name p1 && ip link set d0 up "
                     "&& ip link set d1 up && ip addr add 10.70.0.1/24 dev d0 && ip addr add 10.71.0.1/24 dev d1"});
        CEnterNamespace inside(ns);
        QVERIFY(inside.Ok());
        CMainDlgOptions options;
        options.source = [](const std::string& name) {
            return std::make_unique<CHelperCaptureSource>(HelperCaptureOptions{ORN_CAPTURE_HELPER, name});
        };
        const auto startAndStop = [&] {
            Click(1000);
            Click(1001);
            Idle();
            return dlg->Run().LastEnd() == CaptureRunEnd::Stopped;
        };
        Open(options);
        QCOMPARE(InterfaceEntries(), (QStringList{"d0\t10.70.0.1 ticked", "d1\t10.71.0.1"}));
        dlg->PopupMenu(kInterfaceMenu)->actions()[1]->trigger();
        Open(options);
        QCOMPARE(InterfaceEntries(), (QStringList{"d0\t10.70.0.1", "d1\t10.71.0.1 ticked"}));
        QVERIFY(startAndStop());
        lab.Run(ns, {"ip", "link", "del", "d1"});
        QVERIFY(!startAndStop());
        QCOMPARE(boxes->Texts(), Texts{kNoInterfaceMessage});
        QCOMPARE(InterfaceEntries(), (QStringList{"d1\t(not available) ticked disabled", "d0\t10.70.0.1"}));
        dlg->PopupMenu(kInterfaceMenu)->actions()[1]->trigger();
        QVERIFY(startAndStop());
        QCOMPARE(LoadCaptureInterface(), "d0");
    }

    // Pages of 20 rows; the thumb is FIRST * 100 / (COUNT - 20), SB_TOP is
    // the newest page and SB_BOTTOM the oldest. Keys and the wheel (three
    // lines a notch) send the same codes; a selected record stays selected
    // while on the page; Follow newest, off at first, keeps the newest page
    // in view until a scroll; Clear empties the list.
    void listPagesAndScrollCodes() {
        Open();
        QVERIFY(!dlg->FollowNewest() && !MenuEntry("&Follow newest")->isChecked());
        QStringList widths;
        for (int c = 0; c < 6; ++c) widths << QString::number(List()->GetColumnWidth(c));
        QCOMPARE(widths.join(' '), "88 33 88 33 31 33");  // from the list's 309 pixels
        // Replays of more records (input 0), and inputs, each with the page after it.
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
            {0, SB_BOTTOM, 0, "0 at 0"},     {0, SB_TOP, 0, "980 at 100"},      {0, SB_PAGEUP, 0, "960 at 97"},
            {0, Qt::Key_Down, 0, "961 at 98"},   {0, Qt::Key_PageDown, 0, "980 at 100"},
            {0, Qt::Key_Home, 0, "0 at 0"},      {0, Qt::Key_End, 0, "980 at 100"},
            {0, Qt::Key_PageUp, 0, "960 at 97"}, {0, Qt::Key_Up, 0, "959 at 97"},
            {0, kSelect, 3, "959 at 97 row 3 selected"},  {0, kWheel, -120, "962 at 98 row 0 selected"},
            {0, kWheel, 60, "962 at 98 row 0 selected"},  {0, kWheel, 60, "959 at 97 row 3 selected"},
            {0, kFollow, 0, "980 at 100"},       {500, 0, 0, "1480 at 100"},  // follows the stream
            {0, Qt::Key_Up, 0, "1479 at 99"},    {100, 0, 0, "1479 at 92"},   // a scroll ended it
            {0, kClear, 0, "0 at 0 (0 rows)"},   {5, 0, 0, "0 at 0 (5 rows)"}};
        int count = 0;
        for (const auto& step : steps) {
            if (step.more) {
                Replay(Numbered(count, step.more)), count += step.more;
                QTRY_COMPARE(Page(), QString(step.page));
            } else {
                QCOMPARE(Scroll(step.code, step.thumb), QString(step.page));
            }
        }
        QStringList cells;
        for (int c = 0; c < 6; ++c) cells << List()->GetItemText(0, c);
        QCOMPARE(cells.join(' '), "10.1.6.64 5000 10.9.0.1 53 UDP 29");
    }

    // Ctrl+L's filter: one that does not compile is refused with libpcap's
    // message; one that does narrows the list, its pages, Follow newest and
    // Save to the matching records, counted "M of N", and is kept for the
    // next window; its Clear restores the whole list. Records whose bytes
    // were released before the filter saw them are left out and counted.
    void displayFilterNarrowsTheList() {
        Open();
        Replay(Numbered(0, 100));
        const auto filter = [&](const char* text, bool key) {
            WhenModal<CTextLineDlg>([text](CTextLineDlg& d) {
                d.SetDlgItemText(kTextLineEdit, text);
                QTest::mouseClick(d.Item(IDOK), Qt::LeftButton);
                if (d.isVisible()) QTest::mouseClick(d.Item(IDCANCEL), Qt::LeftButton);
            });
            if (key) QTest::keyClick(dlg.get(), Qt::Key_L, Qt::ControlModifier);
            else MenuEntry("&Display filter...\tCtrl+L")->trigger();
            QApplication::setActiveWindow(dlg.get());  // as the desktop would after the dialog
        };
        const auto shown = [&] {
            return QString("%1..%2 %3 %4").arg(Row(0), Row(List()->GetItemCount() - 1),
                                               dlg->GetDlgItemText(kDisplayFilterLabel), dlg->GetDlgItemText(kDisplayFilterCount));
        };
        filter("udp port fifty", true);
        QCOMPARE(boxes->Texts().size(), 1u);
        QVERIFY(QString::fromStdString(boxes->Texts()[0]).startsWith(QString(kDisplayFilterRefusedText) + "\nunknown port"));
        QVERIFY(!dlg->DisplayFilterView().Active() && Item(kDisplayFilterLabel)->isHidden());

        filter("src net 10.1.0.64/26", false);
        QCOMPARE(shown(), "10.1.0.64..10.1.0.83 src net 10.1.0.64/26 36 of 100");
        QVERIFY(Item(kDisplayFilterCount)->isVisible());
        QCOMPARE(Scroll(Qt::Key_End), "16 at 100, row 10.1.0.80");
        MenuEntry("&Follow newest")->trigger();
        Replay(Numbered(100, 100));
        QTRY_COMPARE(shown(), "10.1.0.108..10.1.0.127 src net 10.1.0.64/26 64 of 200");
        QVERIFY(dlg->SaveCapture(dir.path + "/shown.pcapng"));
        QCOMPARE(Packets(dir.path + "/shown.pcapng").size(), 65);
        QVERIFY(Packets(dir.path + "/shown.pcapng")[1].contains("0a0100400a090001"));
        QCOMPARE(boxes->Texts()[1], "Display filter src net 10.1.0.64/26: datagrams saved: 64 of 200 records.");
        QCOMPARE(LoadDisplayFilter(), "src net 10.1.0.64/26");

        MenuEntry("Clear display filte&r")->trigger();
        QCOMPARE(Page(), "180 at 100");
        QVERIFY(Item(kDisplayFilterLabel)->isHidden() && LoadDisplayFilter().empty());

        SaveDisplayFilter("src net 10.1.0.64/26");
        CMainDlgOptions options;
        options.storeBytes = 70;  // the bytes of two datagrams of 29
        Open(options);
        QCOMPARE(dlg->GetDlgItemText(kDisplayFilterLabel), "src net 10.1.0.64/26");
        Replay(Numbered(60, 10));
        QVERIFY(dlg->SetDisplayFilter("udp"));
        QCOMPARE(shown(), "10.1.0.68..10.1.0.69 udp 2 of 10 (8 not matched)");
        Scroll(kClear);
        QCOMPARE(dlg->GetDlgItemText(kDisplayFilterCount), "0 of 0");
    }

    // Find (Ctrl+F, then F3 and Shift+F3) pages to the next record whose
    // texts hold the text in any case, round past either end; Ctrl+C copies
    // the selected row's columns, and in the details window the whole entry
    // with its message as shown.
    void findAndCopy() {
        Open();
        std::vector<Frame> frames = Numbered(0, 60);
        frames[5] = {Udp(SourceOf(5).c_str(), "10.9.0.1", 5000, 53, "a Needle")};
        frames[25] = frames[45] = {Udp(SourceOf(45).c_str(), "10.9.0.1", 5000, 53, "NEEDLES")};
        Replay(frames);
        WhenModal<CTextLineDlg>([](CTextLineDlg& d) {
            d.SetDlgItemText(kTextLineEdit, "neEdle");
            QTest::mouseClick(d.Item(IDOK), Qt::LeftButton);
        });
        QTest::keyClick(dlg.get(), Qt::Key_F, Qt::ControlModifier);
        QApplication::setActiveWindow(dlg.get());
        QStringList pages{Page()};
        for (auto modifier : {Qt::NoModifier, Qt::NoModifier, Qt::NoModifier, Qt::ShiftModifier, Qt::ShiftModifier, Qt::ShiftModifier})
            QTest::keyClick(dlg.get(), Qt::Key_F3, modifier), pages << Page().section(',', 0, 0);
        QCOMPARE(pages, (QStringList{"0 at 0 row 5 selected", "25 at 62 row 0 selected", "40 at 100 row 5 selected",
                                     "5 at 12 row 0 selected", "40 at 100 row 5 selected", "25 at 62 row 0 selected",
                                     "5 at 12 row 0 selected"}));
        QVERIFY(!dlg->FindRecord("needless", true));
        QCOMPARE(boxes->Texts(), Texts{"Text not found: needless"});

        QTest::keyClick(dlg.get(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), "10.1.0.5\t5000\t10.9.0.1\t53\tUDP\t36\n");
        List()->setFocus();
        WhenModal<CPacketDetailsDlg>([&](CPacketDetailsDlg& d) {
            QTest::keyClick(&d, Qt::Key_H, Qt::ControlModifier);
            QTest::keyClick(&d, Qt::Key_C, Qt::ControlModifier);
            d.ToggleHexView();
        });
        QTest::keyClick(List(), Qt::Key_Return);
        const QString entry = QGuiApplication::clipboard()->text();
        QVERIFY2(entry.startsWith("Source Addr: 10.1.0.5\tSource Port: 5000\nDest. Addr: 10.9.0.1\tDest Port: 53\n"
                                  "Sub-protocol: UDP\nAdditional Info: ") &&
                     entry.endsWith("\nMessage Body:\n0000  13 88 00 35 00 10 00 00  61 20 4e 65 65 64 6c 65  ...5....a Needle\n"),
                 qPrintable(entry));
    }

    // Conversations of a capture with known counts, both ways and with
    // unequal sizes, sorted by a heading (again: the other way); a double
    // click sets the display filter to exactly that conversation.
    void conversationsCountBothWaysAndFilter() {
        Open();
        Replay({{Udp("10.5.0.1", "10.5.0.2", 1000, 53, "ab")}, {Udp("10.5.0.2", "10.5.0.1", 53, 1000, "b")},
                {Udp("10.5.0.1", "10.5.0.2", 1000, 53, "abcd"), 1796508987}, {Ipv4("10.6.0.1", "10.5.0.1", 1, {8, 0, 0, 0, 0, 1, 0, 1})},
                {Udp("10.5.0.1", "10.5.0.2", 1001, 53, "x")}});
        QStringList seen;
        WhenModal<CConversationsDlg>([&](CConversationsDlg& d) {
            auto* list = d.Control<CSkinListCtrl>(kConversationList);
            const auto rows = [&] {
                for (int r = 0; r < list->GetItemCount(); ++r) {
                    QStringList cells;
                    for (int c = 0; c < kConvFirst; ++c) cells << list->GetItemText(r, c);
                    seen << cells.join(' ');
                }
            };
            rows();
            QCOMPARE(d.Conversations()[0].lastSeconds - d.Conversations()[0].firstSeconds, 2);
            int x = 3;
            for (int c = 0; c < kConvBytesAB; ++c) x += list->GetColumnWidth(c);
            QTest::mouseClick(list, Qt::LeftButton, {}, QPoint(x, 3));
            rows();
            QTest::mouseClick(list, Qt::LeftButton, {}, QPoint(x, 3));
            seen << d.GetDlgItemText(kConversationCount);
            QTest::mouseClick(list, Qt::LeftButton, {}, list->ItemRect(0).center());
            QTest::mouseDClick(list, Qt::LeftButton, {}, list->ItemRect(0).center());
        });
        MenuEntry("C&onversations...")->trigger();
        const QString udp = "UDP 10.5.0.1 1000 10.5.0.2 53 2 62 1 29", icmp = "ICMP 10.6.0.1  10.5.0.1  1 28 0 0",
                      udp2 = "UDP 10.5.0.1 1001 10.5.0.2 53 1 29 0 0";
        QCOMPARE(seen, (QStringList{udp, icmp, udp2, icmp, udp2, udp, "Conversations: 3, among 5 records"}));
        QCOMPARE(dlg->GetDlgItemText(kDisplayFilterCount), "3 of 5");
        QCOMPARE(dlg->DisplayFilterView().Expression(),
                 "udp and ((src host 10.5.0.1 and dst host 10.5.0.2 and src port 1000 and dst port 53) or "
                 "(src host 10.5.0.2 and dst host 10.5.0.1 and src port 53 and dst port 1000))");
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

    // Enter on a selected row opens it. A help file that cannot be opened is
    // reported, as in the main window. Ctrl+H and the context menu switch the
    // message between its text (up to a zero byte) and a hex dump, a choice
    // that the next details window keeps.
    void detailsShowTheRecordAndOpenItsProtocolsHelp() {
        Open();
        const Bytes tcp = {0x9c, 0x40, 0x00, 0x50, 0, 0, 0, 1, 0, 0, 0, 0, 0x50, 0x18, 0x10, 0x00, 0, 0, 0, 0,
                           'G', 'E', 'T', ' ', '/'};
        Replay({{Ipv4("10.7.0.1", "10.7.0.2", 6, tcp)},
                {Udp("10.7.0.3", "10.7.0.4", 5000, 53, std::string("hello from b #0\0\x7f\xe9", 18))}});
        List()->setFocus();
        List()->SetSelectedRow(0);
        QStringList texts;
        help->result = false;
        WhenModal<CPacketDetailsDlg>([&](CPacketDetailsDlg& d) {
            for (int id : {1024, 1025, 1026, 1027, 1029, 1036, 1037}) texts << d.GetDlgItemText(id);
            QTest::mouseClick(d.Item(ID_HELP), Qt::LeftButton);
            QTest::keyClick(&d, Qt::Key_F1);
        });
        QTest::keyClick(List(), Qt::Key_Return);
        QCOMPARE(texts.join('|'),
                 "10.7.0.1|40000|10.7.0.2|80|TCP|TCP PACKET\tSource Port: 40000\tDest Port: 80   \t|GET /");
        QCOMPARE(help->calls, (std::vector<long>{10028, 10028}));
        QCOMPARE(boxes->Texts(), (Texts{kHelpLaunchFailedText, kHelpLaunchFailedText}));

        List()->SetSelectedRow(1);
        texts.clear();
        const auto message = [&](CPacketDetailsDlg& d) { texts << d.GetDlgItemText(1037); };
        WhenModal<CPacketDetailsDlg>([&](CPacketDetailsDlg& d) {
            message(d);
            QTest::keyClick(&d, Qt::Key_H, Qt::ControlModifier);
            message(d);
        });
        emit List()->doubleClicked(1);
        WhenModal<CPacketDetailsDlg>([&](CPacketDetailsDlg& d) {
            message(d);
            d.ContextMenu()->actions().first()->trigger();
            message(d);
        });
        emit List()->doubleClicked(1);
        const QString dump = "0000  13 88 00 35 00 1a 00 00  68 65 6c 6c 6f 20 66 72  ...5....hello fr\n"
                             "0010  6f 6d 20 62 20 23 30 00  7f e9                    om b #0...";
        const QString text = QString::fromLatin1("\x13\x88");  // up to the length's zero byte
        QCOMPARE(texts, (QStringList{text, dump, dump, text}));

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
                     {SB_PAGERIGHT, 0, 30, 76},  {SB_LINERIGHT, 0, 31, 79},     {SB_PAGELEFT, 0, 21, 53},
                     {SB_PAGERIGHT, 0, 31, 79},  {SB_THUMBTRACK, 55, 55, 140},
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
        // Minimised, the window is out of sight: the first click restores it.
        dlg->OnSysCommand(SC_MINIMIZE);
        emit tray->activated(QSystemTrayIcon::Trigger);
        QVERIFY(dlg->isVisible() && !dlg->isMinimized() && dlg->HiddenToTray() == 0);

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

    // The context menu opens from a right click on the window's surface or
    // a label and from Alt+Space, not from a control's right click; Clear
    // display filter is offered only while a filter is set.
    void theContextMenuAndWhereItOpens() {
        Open();
        QMenu* menu = dlg->ContextMenu();
        const auto opens = [&](QWidget* target, QPoint at) {
            bool shown = false;
            QTimer::singleShot(0, menu, [&] { shown = QApplication::activePopupWidget() == menu, menu->close(); });
            if (target) {
                QContextMenuEvent click(QContextMenuEvent::Mouse, at, target->mapToGlobal(at));
                QApplication::sendEvent(target, &click);
            } else {  // the window's Alt+Space, whichever control has the focus
                for (QShortcut* key : dlg->findChildren<QShortcut*>())
                    if (key->key() == QKeySequence(Qt::ALT | Qt::Key_Space)) emit key->activated();
            }
            QCoreApplication::processEvents();
            return shown;
        };
        QWidget* label = nullptr;
        for (CSkinLabel* l : dlg->findChildren<CSkinLabel*>())
            if (l->isVisible()) label = l;
        QVERIFY(label && !dlg->childAt(QPoint(1, 1)));
        QCOMPARE((QList<bool>{opens(dlg.get(), {1, 1}), opens(label, {1, 1}), opens(nullptr, {}),
                              opens(Item(1000), {2, 2})}),
                 (QList<bool>{true, true, true, false}));

        QAction* clear = MenuEntry("Clear display filte&r");
        QVERIFY(!clear->isEnabled() && dlg->SetDisplayFilter("udp") && clear->isEnabled());
        clear->trigger();
        QVERIFY(!clear->isEnabled() && !dlg->DisplayFilterView().Active());
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
        QAction* entry = MenuEntry("&About Pelmar...");
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
