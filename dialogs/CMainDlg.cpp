#include "dialogs/CMainDlg.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QShortcut>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <arpa/inet.h>
#include <cstdlib>
#include <utility>

#include "capture/PcapngWriter.h"
#include "dialogs/CFiltersDlg.h"
#include "platform/capture/PcapSource.h"
#include "platform/helper/HelperProtocol.h"
#include "platform/help/Help.h"
#include "platform/msgbox/MessageBox.h"
#include "platform/sysinfo/SystemVersion.h"
#include "dialogs/CAboutDlg.h"
#include "dialogs/SoundCue.h"
#include "skin/qt/CSkinButton.h"
#include "skin/qt/CSkinControls.h"
#include "skin/qt/CSkinListCtrl.h"
#include "skin/qt/SkinLook.h"

namespace {

constexpr int kStartButton = 1000;
constexpr int kStopButton = 1001;
constexpr int kFiltersButton = 1003;
constexpr int kTrayButton = 1018;
constexpr int kCloseButton = 1019;
constexpr int kPacketList = 1023;
constexpr int kTransparency = 1030;
constexpr int kByteRateLabel = 1031;
constexpr int kPacketRateLabel = 1033;
constexpr int kListScroll = 1034;
constexpr int kAboutButton = 1043;

constexpr int kMainBackground = 131;
constexpr int kMainMask = 133;
constexpr int kIcon = 128;

constexpr int kMinAlphaPos = 20;
constexpr int kMaxAlphaPos = 100;

// Hidden by the template, shown by the first Start listening and never hidden again.
constexpr int kListControls[] = {kByteRateLabel, kPacketRateLabel, kListScroll, kPacketList,
                                 1024, 1025, 1026, 1027, 1028, 1035};

struct ButtonFaces {
    int id, normal, selected, focus;
};
// In the order they are loaded.
constexpr ButtonFaces kFaces[] = {
    {kTrayButton, 137, 193, 194}, {kCloseButton, 139, 195, 196}, {kStartButton, 140, 143, 159},
    {kStopButton, 145, 146, 160}, {kFiltersButton, 147, 149, 158}, {kAboutButton, 208, 209, 210},
    {IDOK, 155, 156, 157},        {ID_HELP, 202, 203, 204},
};

// The box for a capture file: our first line, then the file and why. Libpcap
// may begin its reason with the file's name; it is said once.
std::string CaptureFileText(const char* first, const std::string& path, std::string why) {
    if (why.rfind(path + ": ", 0) == 0) why.erase(0, path.size() + 2);
    return std::string(first) + "\n" + path + ": " + why;
}

// The one local file that a drop brings; empty for anything else.
QString DroppedFile(const QMimeData* data) {
    if (!data || !data->hasUrls() || data->urls().size() != 1 || !data->urls()[0].isLocalFile()) return {};
    return data->urls()[0].toLocalFile();
}

}  // namespace

CMainDlg::CMainDlg(CMainDlgOptions o)
    : CSkinDialog(102, kMainBackground, kMainMask),
      options(std::move(o)),
      store(options.storeBytes),
      requests(store,
               {
                   [this](AcceptedRows rows) { ShowAcceptedPackets(std::move(rows)); },
                   [this](const std::string& text) { SetRateText(kByteRateLabel, text); },
                   [this](const std::string& text) { SetRateText(kPacketRateLabel, text); },
                   [this] { if (!ended) ResetToIdle(); },
                   [this](const std::string& text) { if (!ended) ShowRunFailure(text); },
                   [this] { if (!ended) SendCommand(kStopButton); },
               }),
      run(store, logFile, filters, &requests) {
    // An application window of its own, with a taskbar entry, not a dialog
    // of another window.
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    windowIcon = LoadSkinIcon(kIcon);

    aboutButton = Control<CSkinButton>(kAboutButton);
    listScroll = Control<CSkinScrollBar>(kListScroll);
    packetList = Control<CSkinListCtrl>(kPacketList);
    transparency = Control<CSkinScrollBar>(kTransparency);
    helpButton = Control<CSkinButton>(ID_HELP);
    endButton = Control<CSkinButton>(IDOK);
    stopButton = Control<CSkinButton>(kStopButton);
    startButton = Control<CSkinButton>(kStartButton);
    filtersButton = Control<CSkinButton>(kFiltersButton);
    closeButton = Control<CSkinButton>(kCloseButton);
    trayButton = Control<CSkinButton>(kTrayButton);

    MapClicked(kStartButton, &CMainDlg::OnStartListening);
    MapClicked(kStopButton, &CMainDlg::OnStopListening);
    MapClicked(kFiltersButton, &CMainDlg::OnFilters);
    MapClicked(kTrayButton, &CMainDlg::OnHideToTray);
    MapClicked(kCloseButton, [this] { OnOK(); });
    MapClicked(ID_HELP, &CMainDlg::OnHelp);
    MapClicked(kAboutButton, &CMainDlg::OnAbout);
    MapNotify(kPacketList, NM_DBLCLK, &CMainDlg::OnPacketDoubleClick);

    // Keys anywhere on the window page through the list as the scroll bar's
    // own codes do: Home shows the oldest page, End the newest.
    const std::pair<Qt::Key, int> keys[] = {{Qt::Key_Up, SB_LINEUP},     {Qt::Key_Down, SB_LINEDOWN},
                                            {Qt::Key_PageUp, SB_PAGEUP}, {Qt::Key_PageDown, SB_PAGEDOWN},
                                            {Qt::Key_Home, SB_BOTTOM},   {Qt::Key_End, SB_TOP}};
    for (auto [key, code] : keys) {
        auto* shortcut = new QShortcut(QKeySequence(key), this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, code = code] { listScroll->SendScrollCode(code); });
    }
    listScroll->SetWheelLines(QApplication::wheelScrollLines());
    packetList->installEventFilter(this);

    setAcceptDrops(true);
    fileDirectory = QDir::currentPath();

    followTimer.setSingleShot(true);
    connect(&followTimer, &QTimer::timeout, this, [this] { ShowNewestPage(); });
}

CMainDlg::~CMainDlg() {
    run.EndCaptureRun();
    trayIcon.reset();
}

int CMainDlg::exec() {
    // Like a modal run, except that hiding the window (to the tray) does not
    // end it, as it would end QDialog's own.
    QPointer<CMainDlg> alive(this);
    show();
    if (!ended) {
        QEventLoop loop;
        connect(this, &QDialog::finished, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::DialogExec);
    }
    return alive ? result() : IDCANCEL;
}

void CMainDlg::done(int result) {
    ended = true;
    CSkinDialog::done(result);
}

// ---- opening -----------------------------------------------------------------

bool CMainDlg::OnInitDialog() {
    CSkinDialog::OnInitDialog();
    ended = false;

    if (!systemMenu) BuildContextMenu();
    SetFollowNewest(false);

    setWindowIcon(windowIcon);

    if (!CheckSystemVersion()) {
        EndDialog(IDCANCEL);
        return false;
    }

    alpha = 255;
    setWindowOpacity(1.0);

    PlaySoundCue(kWelcomeCue, 0);

    transparency->SetScrollRange(kMinAlphaPos, kMaxAlphaPos);
    transparency->SetScrollPos(kMaxAlphaPos);
    listScroll->SetScrollRange(0, 100);
    listScroll->SetScrollPos(0);

    firstVisible = 0;
    hiddenToTray = 0;

    trayIcon = std::make_unique<CTrayIcon>(this, WM_USER, kTrayTip, std::vector<int>{kIcon});
    trayIcon->SetIcon(0);

    CutWindowRegion(kMainMask);
    setWindowTitle(QString::fromLatin1(kTrayTip));
    LoadButtonBitmaps();
    ShowItem(kStopButton, false);

    run.ClearListening();
    CFilterSet set;  // what holds where the store has no value
    set.fullInfo = 0;
    set.messages = 1;

    MakePacketListColumns();

    LoadFilterSet(set);
    filters.Publish(std::move(set));
    chosenInterface = LoadCaptureInterface();
    if (!IsValidInterfaceName(chosenInterface)) chosenInterface.clear();
    // A stored display filter that this libpcap no longer compiles is dropped.
    if (const std::string stored = LoadDisplayFilter(); !stored.empty()) {
        auto filter = std::make_shared<CDisplayFilter>();
        std::string ignored;
        if (filter->Compile(stored, ignored)) displayView.Set(std::move(filter));
    }
    UpdateDisplayFilterLabel();
    if (!options.captureFile.empty())
        QTimer::singleShot(0, this, [this, file = std::exchange(options.captureFile, {})] { OpenCapture(file); });
    return true;
}

bool CMainDlg::CheckSystemVersion() {
    const std::string release = options.kernelRelease ? options.kernelRelease() : CurrentKernelRelease();
    if (IsSupportedKernelRelease(release)) return true;
    ShowMessageBox(kUnsupportedSystemText, MessageIcon::Exclamation);
    // At once, without the program's exit handlers: nothing else exists yet.
    if (options.exitProcess)
        options.exitProcess(kUnsupportedSystemExitCode);
    else
        std::_Exit(kUnsupportedSystemExitCode);
    return false;
}

void CMainDlg::LoadButtonBitmaps() {
    for (const ButtonFaces& f : kFaces)
        if (auto* b = Control<CSkinButton>(f.id)) b->LoadBitmaps(f.normal, f.selected, f.focus, 0);
}

void CMainDlg::MakePacketListColumns() {
    packetList->SetBkColor(QColor::fromRgb(kListBackgroundRgb));
    const int w = packetList->width();
    const struct {
        const char* text;
        int width;
    } columns[] = {
        {"Src address", 2 * w / 8 + 11}, {"Src port", w / 8 - 5}, {"Dest address", 2 * w / 8 + 11},
        {"Dest port", w / 8 - 5},        {"Protocol", w / 8 - 7}, {"Length", w / 8 - 5},
    };
    for (int k = 0; k < 6 && packetList->GetColumnCount() < 6; ++k)
        packetList->InsertColumn(k, QString::fromLatin1(columns[k].text), LVCFMT_LEFT, columns[k].width);
    requests.SetPageSize(std::size_t(std::max(0, packetList->GetCountPerPage())));
}

// ---- capture --------------------------------------------------------------------

void CMainDlg::OnStartListening() {
    replayFile.clear();
    run.SetStampCaptureTime(false);
    run.SetSourceFactory([make = options.source, name = chosenInterface]() -> std::unique_ptr<ICaptureSource> {
        return make ? make(name) : MakeLiveCaptureSource(name);
    });
    BeginRun();
}

void CMainDlg::OpenCapture(const std::string& path) {
    // As if Stop listening came first; the stopped run's own stop command is
    // taken now, so that it cannot end the replay.
    if (run.Listening()) OnStopListening();
    requests.DeliverPending();
    if (ended) return;
    replayFile = path;
    run.SetStampCaptureTime(true);
    run.SetSourceFactory([path] { return std::make_unique<CFileCaptureSource>(path, true); });
    BeginRun();
}

void CMainDlg::BeginRun() {
    PlaySoundCue(kStartCue, 0);
    for (int id : kListControls) ShowItem(id, true);
    BlankRates();
    ShowItem(kStartButton, false);
    ShowItem(kStopButton, true);
    if (run.StartCaptureRun() != 0 && !run.Listening()) {
        // No capture thread could be made: say so and stay idle rather than
        // show a run that is not there.
        ResetToIdle();
        ShowMessageBox(kInitializationMessage, MessageIcon::Exclamation);
    }
}

void CMainDlg::OnStopListening() {
    PlaySoundCue(kStopCue, 0);
    ShowItem(kStartButton, true);
    ShowItem(kStopButton, false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    run.StopCaptureRun();
    QApplication::restoreOverrideCursor();
    BlankRates();
    UpdateDropTip();
    // A replay that ended in a damaged part of its file: what came before it
    // is kept, and the user is told why the rest is missing.
    const std::string file = std::exchange(replayFile, {});
    if (!file.empty() && run.LastEnd() == CaptureRunEnd::ReceiveFailed)
        ShowMessageBox(CaptureFileText(kCaptureFileFailedText, file, run.ErrorText()), MessageIcon::Exclamation);
    else if (!file.empty() && run.LastEnd() == CaptureRunEnd::EndOfFile && run.Statistics().datagrams == 0)
        ShowMessageBox(CaptureFileText(kCaptureFileEmptyText, file, NoIpv4Text(run.Statistics())),
                       MessageIcon::Exclamation);
}

void CMainDlg::ShowRunFailure(const std::string& text) {
    // A file that cannot be replayed is no fault of the network card.
    const std::string file = std::exchange(replayFile, {});
    ShowMessageBox(file.empty() ? text : CaptureFileText(kCaptureFileFailedText, file, run.ErrorText()),
                   MessageIcon::Exclamation);
}

QString CMainDlg::AskCaptureFile(bool save) {
    QFileDialog dialog(this, save ? QStringLiteral("Save as pcapng") : QStringLiteral("Open capture"), fileDirectory,
                       save ? QStringLiteral("pcapng files (*.pcapng);;All files (*)")
                            : QStringLiteral("Capture files (*.pcapng *.pcap *.cap *.dmp);;All files (*)"));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (save) dialog.setDefaultSuffix(QStringLiteral("pcapng"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    const QString file = dialog.selectedFiles().first();
    fileDirectory = QFileInfo(file).absolutePath();
    return file;
}

void CMainDlg::OnOpenCapture() {
    const QString file = AskCaptureFile(false);
    if (!file.isEmpty()) OpenCapture(file.toStdString());
}

void CMainDlg::OnSaveCapture() {
    const QString file = AskCaptureFile(true);
    if (!file.isEmpty()) SaveCapture(file.toStdString());
}

bool CMainDlg::SaveCapture(const std::string& path) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // With a display filter set, what the list shows.
    const AcceptedRows records = ShownRange(0, ShownCount());
    CPcapngWriter writer;
    std::uint64_t leftOut = 0;
    bool ok = writer.Open(path);
    for (std::size_t i = 0; ok && i < records.size(); ++i) {
        const CHeldBytes held = records[i]->Datagram();
        if (held.released)
            ++leftOut;
        else
            ok = writer.Write(held.bytes, records[i]->captureSeconds, records[i]->captureNanoseconds);
    }
    ok = ok && writer.Commit();
    QApplication::restoreOverrideCursor();
    if (!ok) {
        ShowMessageBox(CaptureFileText(kCaptureSaveFailedText, path, writer.Error()), MessageIcon::Exclamation);
        return false;
    }
    std::string report;
    if (leftOut > 0)
        report = "Records left out: " + std::to_string(leftOut) +
                 " (their datagrams were released to stay within the memory budget). Datagrams saved: " +
                 std::to_string(writer.Written()) + ".";
    if (displayView.Active()) report += (report.empty() ? "" : "\n") + FilteredSaveText(writer.Written());
    if (!report.empty()) ShowMessageBox(report, MessageIcon::None);
    return true;
}

void CMainDlg::FillInterfaceMenu() {
    interfaceMenu->clear();
    std::vector<CaptureInterface> found;
    ListCaptureInterfaces(found);
    const auto add = [this](const std::string& name, const QString& note, bool ticked) {
        QAction* entry = interfaceMenu->addAction(QString::fromStdString(name).replace('&', "&&") + '\t' + note);
        entry->setCheckable(true);
        entry->setChecked(ticked);
        connect(entry, &QAction::triggered, this, [this, name] {
            chosenInterface = name;
            SaveCaptureInterface(name);
        });
        return entry;
    };
    // A choice that is not up, or has lost its address, stays the choice
    // (it may come back); Start then says that it cannot be found.
    bool listed = chosenInterface.empty();
    for (const CaptureInterface& i : found) listed = listed || i.name == chosenInterface;
    if (!listed) add(chosenInterface, QStringLiteral("(not available)"), true)->setEnabled(false);
    for (std::size_t k = 0; k < found.size(); ++k) {
        in_addr address{found[k].address};
        add(found[k].name, QString::fromLatin1(inet_ntoa(address)),
            chosenInterface.empty() ? k == 0 : found[k].name == chosenInterface);
    }
    if (found.empty()) interfaceMenu->addAction(QStringLiteral("No network interface"))->setEnabled(false);
}

void CMainDlg::OnFilters() {
    // Also while a run is active: the next datagram is matched against the
    // set that OK publishes.
    RunFiltersDialog(filters);
}

void CMainDlg::ResetToIdle() {
    PlaySoundCue(kStopCue, 0);
    ShowItem(kStartButton, true);
    ShowItem(kStopButton, false);
    run.ClearListening();
    BlankRates();
}

void CMainDlg::SetRateText(int id, const std::string& text) {
    // A figure still on its way when the run stopped would stand for
    // traffic that is no longer measured.
    if (run.Listening()) SetDlgItemText(id, text.c_str());
    UpdateDropTip();
}

void CMainDlg::BlankRates() {
    for (int label : {kByteRateLabel, kPacketRateLabel}) SetDlgItemText(label, "");
}

void CMainDlg::UpdateDropTip() {
    const CaptureStatistics counts = run.Statistics();
    const std::uint64_t lost = counts.kernelDropped + counts.interfaceDropped;
    const QString tip = QStringLiteral("Dropped by the kernel: %1").arg(lost);
    for (int label : {kByteRateLabel, kPacketRateLabel})
        if (QWidget* w = Item(label)) w->setToolTip(tip);
    if (lost) SetDlgItemText(kLostLabel, QStringLiteral("%1 lost").arg(lost));
    ShowItem(kLostLabel, lost != 0);
    // Records shown whose entries the log could not take, and why.
    const std::uint64_t unlogged = run.NotLogged();
    const std::string problem = run.LogProblem();
    SetDlgItemText(kUnloggedLabel, QStringLiteral("%1 not logged").arg(unlogged));
    if (QWidget* w = Item(kUnloggedLabel)) w->setToolTip(QString::fromStdString("Capture log: " + problem));
    ShowItem(kUnloggedLabel, unlogged != 0 || !problem.empty());
}

// ---- ending ------------------------------------------------------------------------

void CMainDlg::RemoveTrayIconAndStop() {
    trayIcon.reset();
    run.ClearListening();
}

void CMainDlg::OnOK() {
    PlaySoundCue(kEndCue, 1);
    RemoveTrayIconAndStop();
    CSkinDialog::OnOK();
}

void CMainDlg::OnClose() {
    RemoveTrayIconAndStop();
    CSkinDialog::OnClose();  // the Cancel command, without a cue
}

void CMainDlg::OnCancel() {
    // Esc ends the program like Close: without the tray icon left behind and
    // without the capture going on.
    RemoveTrayIconAndStop();
    CSkinDialog::OnCancel();
}

// ---- tray, system menu, help, about ------------------------------------------------------

void CMainDlg::OnHideToTray() {
    if (!CTrayIcon::InTray()) {
        // Without a notification area the hidden window could not be brought
        // back while capture runs on: minimise it instead.
        showMinimized();
        return;
    }
    hide();
    hiddenToTray = 1;
}

long CMainDlg::OnTrayMessage(unsigned message, unsigned, unsigned mouseMessage) {
    if (message != WM_USER || mouseMessage != WM_LBUTTONDOWN) return 0;
    // A minimised window is out of sight as much as a hidden one: the click
    // brings it back rather than hiding it.
    if (hiddenToTray == 1 || isMinimized() || !isVisible()) {
        showNormal();
        raise();
        activateWindow();
        hiddenToTray = 0;
    } else {
        hide();
        hiddenToTray = 1;
    }
    return 0;
}

void CMainDlg::OnSysCommand(unsigned id) {
    switch (id & 0xFFF0) {
    case IDM_ABOUTBOX: OnAbout(); break;
    case SC_MINIMIZE: showMinimized(); break;
    case SC_CLOSE: close(); break;
    default: break;
    }
}

void CMainDlg::BuildContextMenu() {
    // A captionless window has no system menu: its entries are offered by a
    // right click on the window's surface and by Alt+Space, below the
    // window's own.
    systemMenu = new QMenu(this);
    followAction = systemMenu->addAction(QStringLiteral("&Follow newest"));
    followAction->setCheckable(true);
    connect(followAction, &QAction::toggled, this, [this](bool on) { SetFollowNewest(on); });
    const struct {
        const char* text;
        void (CMainDlg::*run)();
    } entries[] = {
        {"C&lear", &CMainDlg::OnClear},
        {"&Open capture...", &CMainDlg::OnOpenCapture},
        {"&Save as pcapng...", &CMainDlg::OnSaveCapture},
    };
    for (const auto& entry : entries) systemMenu->addAction(QString::fromLatin1(entry.text), this, entry.run);
    AddDisplayFilterEntries();
    AddFindEntries();
    // Listed afresh each time it opens; the choice takes effect at the next Start.
    interfaceMenu = systemMenu->addMenu(QStringLiteral("&Interface"));
    connect(interfaceMenu, &QMenu::aboutToShow, this, &CMainDlg::FillInterfaceMenu);
    systemMenu->addSeparator();

    systemMenu->addAction(QStringLiteral("Mi&nimize"), this, [this] { OnSysCommand(SC_MINIMIZE); });
    systemMenu->addAction(QStringLiteral("&Close\tAlt+F4"), this, [this] { OnSysCommand(SC_CLOSE); });
    if (kAboutMenuText[0] != '\0') {
        systemMenu->addSeparator();
        QAction* about = systemMenu->addAction(QString::fromLatin1(kAboutMenuText));
        about->setData(IDM_ABOUTBOX);
        connect(about, &QAction::triggered, this, [this] { OnSysCommand(IDM_ABOUTBOX); });
    }
    auto* altSpace = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Space), this);
    altSpace->setContext(Qt::WindowShortcut);
    connect(altSpace, &QShortcut::activated, this, [this] { ShowSystemMenu(mapToGlobal(QPoint(0, 0))); });
}

void CMainDlg::ShowSystemMenu(QPoint globalPos) {
    if (systemMenu) systemMenu->exec(globalPos);
}

void CMainDlg::contextMenuEvent(QContextMenuEvent* e) {
    // The window's own surface, or a label on it (labels do not take the
    // mouse); controls keep their own right click.
    QWidget* child = childAt(e->pos());
    if (child && !qobject_cast<CSkinLabel*>(child)) {
        e->ignore();
        return;
    }
    ShowSystemMenu(e->globalPos());
    e->accept();
}

void CMainDlg::keyPressEvent(QKeyEvent* e) {
    // Enter on the list opens the selected row; elsewhere it ends the window.
    const bool enter = e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
    if (enter && !(e->modifiers() & ~Qt::KeypadModifier) && focusWidget() == packetList &&
        packetList->GetSelectedCount() > 0) {
        OnPacketDoubleClick();
        return;
    }
    CSkinDialog::keyPressEvent(e);
}

void CMainDlg::wheelEvent(QWheelEvent* e) {
    // The wheel over the window's surface and its labels pages the list.
    if (listScroll->ReportWheel(e->angleDelta()))
        e->accept();
    else
        e->ignore();
}

void CMainDlg::dragEnterEvent(QDragEnterEvent* e) {
    if (!DroppedFile(e->mimeData()).isEmpty()) e->acceptProposedAction();
}

void CMainDlg::dropEvent(QDropEvent* e) {
    const QString file = DroppedFile(e->mimeData());
    if (file.isEmpty()) return;
    e->acceptProposedAction();
    // Not inside the drop: the other program's drag ends first.
    QTimer::singleShot(0, this, [this, path = file.toStdString()] { OpenCapture(path); });
}

bool CMainDlg::eventFilter(QObject* watched, QEvent* e) {
    // The list holds one page: the wheel over it pages through the store.
    if (watched == packetList && e->type() == QEvent::Wheel) {
        listScroll->ReportWheel(static_cast<QWheelEvent*>(e)->angleDelta());
        return true;
    }
    return CSkinDialog::eventFilter(watched, e);
}

void CMainDlg::OnHelp() {
    ShowHelpContents();
}

void CMainDlg::OnAbout() {
    CAboutDlg about;
    about.DoModal();
}

// ---- transparency ---------------------------------------------------------------------

void CMainDlg::OnHScroll(int code, int pos, CSkinScrollBar* bar) {
    if (bar != transparency) return;
    int position = transparency->GetScrollPos();
    switch (code) {
    case SB_LINELEFT: position -= 1; break;
    case SB_LINERIGHT: position += 1; break;
    case SB_PAGELEFT: position -= 10; break;
    case SB_PAGERIGHT: position += 10; break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: position = pos; break;
    case SB_LEFT: position = kMinAlphaPos; break;
    case SB_RIGHT: position = kMaxAlphaPos; break;
    default: break;
    }
    position = std::clamp(position, kMinAlphaPos, kMaxAlphaPos);
    transparency->SetScrollPos(position);
    alpha = position * 255 / 100;
    setWindowOpacity(alpha / 255.0);
}
