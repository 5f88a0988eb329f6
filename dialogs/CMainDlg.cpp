#include "dialogs/CMainDlg.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <utility>

#include "capture/PcapngWriter.h"
#include "discovery/LocalHostScan.h"
#include "dialogs/CFiltersDlg.h"
#include "platform/capture/PcapSource.h"
#include "platform/fs/Utf8Path.h"
#include "platform/help/Help.h"
#include "platform/msgbox/MessageBox.h"
#include "platform/sysinfo/SystemVersion.h"
#include "dialogs/CAboutDlg.h"
#include "dialogs/SoundCue.h"
#include "skin/CSkinButton.h"
#include "skin/CSkinControls.h"
#include "skin/CSkinListCtrl.h"
#include "skin/Skin.h"

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
                   [this] { if (!Ending()) ResetToIdle(); },
                   [this](const std::string& text) { if (!Ending()) ShowRunFailure(text); },
                   [this] { if (!Ending()) SendCommand(kStopButton); },
               }),
      run(store, logFile, filters, &requests) {
    // An application window of its own, with a taskbar entry, not a dialog
    // of another window.
    MakeMainWindow();

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
    for (unsigned key : {VK_UP, VK_DOWN, VK_PRIOR, VK_NEXT, VK_HOME, VK_END}) AddAccelerator(key, 0);
    listScroll->SetWheelLines(WheelScrollLines());
    // The list holds one page: the wheel over it, or over the window's
    // surface and its labels, pages through the store.
    packetList->SetWheelScrollBar(listScroll);
    SetWheelScrollBar(listScroll);

    DragAcceptFile(true);
    std::error_code error;
    fileDirectory = Utf8PathText(std::filesystem::current_path(error));

    MapClicked(kFollowCommand, [this] { SetFollowNewest(!followNewest); });
    MapClicked(kClearCommand, &CMainDlg::OnClear);
    MapClicked(kOpenCommand, &CMainDlg::OnOpenCapture);
    MapClicked(kSaveCommand, &CMainDlg::OnSaveCapture);
    MapClicked(kMinimizeCommand, [this] { OnSysCommand(SC_MINIMIZE); });
    MapClicked(kCloseCommand, [this] { OnSysCommand(SC_CLOSE); });
    MapClicked(IDM_ABOUTBOX, [this] { OnSysCommand(IDM_ABOUTBOX); });
}

CMainDlg::~CMainDlg() {
    run.EndCaptureRun();
    trayIcon.reset();
}

// ---- opening -----------------------------------------------------------------

bool CMainDlg::OnInitDialog() {
    CSkinDialog::OnInitDialog();

    if (!menuBuilt) BuildContextMenu();
    SetFollowNewest(false);

    SetIcon(kIcon);

    if (!CheckSystemVersion()) {
        EndDialog(IDCANCEL);
        return false;
    }

    alpha = 255;
    SetLayeredAlpha(alpha);

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
    SetWindowText(kTrayTip);
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
        PostCall([this, file = std::exchange(options.captureFile, {})] { OpenCapture(file); });
    else if (options.startListening)
        PostCall([this] { StartListening(false); });
    return true;
}

bool CMainDlg::CheckSystemVersion() {
    if (options.kernelRelease ? IsSupportedKernelRelease(options.kernelRelease()) : IsSupportedSystem()) return true;
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
    packetList->SetBkColor(kListBackground);
    const int w = packetList->ClientWidth();
    const struct {
        const char* text;
        int width;
    } columns[] = {
        {"Src address", 2 * w / 8 + 11}, {"Src port", w / 8 - 5}, {"Dest address", 2 * w / 8 + 11},
        {"Dest port", w / 8 - 5},        {"Protocol", w / 8 - 7}, {"Length", w / 8 - 5},
    };
    for (int k = 0; k < 6 && packetList->GetColumnCount() < 6; ++k)
        packetList->InsertColumn(k, columns[k].text, LVCFMT_LEFT, columns[k].width);
    requests.SetPageSize(std::size_t(std::max(0, packetList->GetCountPerPage())));
}

// ---- capture --------------------------------------------------------------------

void CMainDlg::OnStartListening() { StartListening(true); }

void CMainDlg::StartListening(bool mayRestart) {
    // Where capture wants rights this process lacks, the program starts
    // again with them, unless records are kept: they would be lost with this
    // process, so the run goes on and says what is missing.
    if (mayRestart && !options.source && store.Count() == 0 && RestartWithCaptureRights()) {
        OnClose();
        return;
    }
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
    if (Ending()) return;
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
    BeginWaitCursor();
    run.StopCaptureRun();
    EndWaitCursor();
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

std::string CMainDlg::AskCaptureFile(bool save) {
    const std::string file =
        save ? AskSaveFileName("Save as pcapng", fileDirectory, {"pcapng files (*.pcapng)", "All files (*)"}, "pcapng")
             : AskOpenFileName("Open capture", fileDirectory,
                               {"Capture files (*.pcapng *.pcap *.cap *.dmp)", "All files (*)"});
    std::error_code error;
    if (!file.empty()) fileDirectory = Utf8PathText(std::filesystem::absolute(Utf8Path(file), error).parent_path());
    return file;
}

void CMainDlg::OnOpenCapture() {
    const std::string file = AskCaptureFile(false);
    if (!file.empty()) OpenCapture(file);
}

void CMainDlg::OnSaveCapture() {
    const std::string file = AskCaptureFile(true);
    if (!file.empty()) SaveCapture(file);
}

bool CMainDlg::SaveCapture(const std::string& path) {
    BeginWaitCursor();
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
    EndWaitCursor();
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
    ClearPopupMenu(kInterfaceMenu);
    interfaceEntries.clear();
    std::vector<CaptureInterface> found;
    ListCaptureInterfaces(found);
    const auto add = [this](const std::string& name, const std::string& note, bool ticked) {
        const int command = kInterfaceCommand + int(interfaceEntries.size());
        if (command > kInterfaceCommandEnd) return command;
        std::string text;
        for (char c : name) text += c == '&' ? std::string("&&") : std::string(1, c);
        AppendPopupEntry(kInterfaceMenu, command, text + '\t' + note, true);
        CheckMenuItem(command, ticked);
        interfaceEntries.push_back(name);
        return command;
    };
    // A choice that is not up, or has lost its address, stays the choice
    // (it may come back); Start then says that it cannot be found.
    bool listed = chosenInterface.empty();
    for (const CaptureInterface& i : found) listed = listed || i.name == chosenInterface;
    if (!listed) EnableMenuItem(add(chosenInterface, "(not available)", true), false);
    for (std::size_t k = 0; k < found.size(); ++k)
        add(found[k].name, DottedAddress(found[k].address),
            chosenInterface.empty() ? k == 0 : found[k].name == chosenInterface);
    if (found.empty()) {
        AppendPopupEntry(kInterfaceMenu, kNoInterfaceCommand, "No network interface");
        EnableMenuItem(kNoInterfaceCommand, false);
    }
}

bool CMainDlg::OnCommand(int id, int code) {
    if (id >= kInterfaceCommand && id <= kInterfaceCommandEnd && code == BN_CLICKED) {
        const std::size_t k = std::size_t(id - kInterfaceCommand);
        if (k < interfaceEntries.size()) {
            chosenInterface = interfaceEntries[k];
            SaveCaptureInterface(chosenInterface);
        }
        return true;
    }
    return CSkinDialog::OnCommand(id, code);
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
    const std::string tip = "Dropped by the kernel: " + std::to_string(lost);
    for (int label : {kByteRateLabel, kPacketRateLabel}) SetItemTip(label, tip);
    if (lost) SetDlgItemText(kLostLabel, std::to_string(lost) + " lost");
    ShowItem(kLostLabel, lost != 0);
    // Records shown whose entries the log could not take, and why.
    const std::uint64_t unlogged = run.NotLogged();
    const std::string problem = run.LogProblem();
    SetDlgItemText(kUnloggedLabel, std::to_string(unlogged) + " not logged");
    SetItemTip(kUnloggedLabel, "Capture log: " + problem);
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
        ShowWindow(SW_MINIMIZE);
        return;
    }
    ShowWindow(SW_HIDE);
    hiddenToTray = 1;
}

long CMainDlg::OnTrayMessage(unsigned message, unsigned, unsigned mouseMessage) {
    if (message != WM_USER || mouseMessage != WM_LBUTTONDOWN) return 0;
    // A minimised window is out of sight as much as a hidden one: the click
    // brings it back rather than hiding it.
    if (hiddenToTray == 1 || IsIconic() || !IsWindowVisible()) {
        ShowWindow(SW_RESTORE);
        hiddenToTray = 0;
    } else {
        ShowWindow(SW_HIDE);
        hiddenToTray = 1;
    }
    return 0;
}

void CMainDlg::OnSysCommand(unsigned id) {
    switch (id & 0xFFF0) {
    case IDM_ABOUTBOX: OnAbout(); break;
    case SC_MINIMIZE: ShowWindow(SW_MINIMIZE); break;
    case SC_CLOSE: SendClose(); break;
    default: break;
    }
}

void CMainDlg::BuildContextMenu() {
    // A captionless window has no system menu: its entries are offered by a
    // right click on the window's surface and by Alt+Space, below the
    // window's own.
    menuBuilt = true;
    AppendMenu(kFollowCommand, "&Follow newest", {}, true);
    AppendMenu(kClearCommand, "C&lear");
    AppendMenu(kOpenCommand, "&Open capture...");
    AppendMenu(kSaveCommand, "&Save as pcapng...");
    AddDisplayFilterEntries();
    AddFindEntries();
    // Listed afresh each time it opens; the choice takes effect at the next Start.
    AppendPopupMenu(kInterfaceMenu, "&Interface", [this] { FillInterfaceMenu(); });
    AppendMenuSeparator();

    AppendMenu(kMinimizeCommand, "Mi&nimize");
    AppendMenu(kCloseCommand, "&Close\tAlt+F4");
    if (kAboutMenuText[0] != '\0') {
        AppendMenuSeparator();
        AppendMenu(IDM_ABOUTBOX, kAboutMenuText);
    }
    AddAccelerator(VK_SPACE, kKeyAlt);
}

void CMainDlg::ShowSystemMenu(SkinPoint at) {
    TrackPopupMenu(at);
}

bool CMainDlg::OnContextMenu(bool onSurface, SkinPoint at) {
    // The window's own surface, or a label on it; controls keep their own
    // right click.
    if (!onSurface) return false;
    ShowSystemMenu(at);
    return true;
}

bool CMainDlg::OnKeyDown(unsigned key, unsigned modifiers) {
    const std::pair<unsigned, int> paging[] = {{VK_UP, SB_LINEUP},  {VK_DOWN, SB_LINEDOWN}, {VK_PRIOR, SB_PAGEUP},
                                               {VK_NEXT, SB_PAGEDOWN}, {VK_HOME, SB_BOTTOM}, {VK_END, SB_TOP}};
    if (modifiers == 0 && key != VK_RETURN) {
        // Keys anywhere on the window page through the list as the scroll
        // bar's own codes do: Home shows the oldest page, End the newest.
        for (auto [vk, code] : paging)
            if (vk == key) {
                listScroll->SendScrollCode(code);
                return true;
            }
    }
    if (key == VK_SPACE && modifiers == kKeyAlt) {
        ShowSystemMenu(ClientToScreen({0, 0}));
        return true;
    }
    // Enter on the list opens the selected row; elsewhere it ends the window.
    if (key == VK_RETURN && modifiers == 0 && FocusedItem() == kPacketList && packetList->GetSelectedCount() > 0) {
        OnPacketDoubleClick();
        return true;
    }
    if (key == 'F' && modifiers == kKeyCtrl)
        OnFind();
    else if (key == VK_F3 && (modifiers & ~kKeyShift) == 0)
        FindNext(modifiers == 0);
    else if (key == 'C' && modifiers == kKeyCtrl)
        CopySelectedRows();
    else if (key == 'L' && modifiers == kKeyCtrl)
        OnDisplayFilter();
    else
        return false;
    return true;
}

void CMainDlg::OnDropFile(const std::string& path) {
    // Not inside the drop: the other program's drag ends first.
    PostCall([this, path] { OpenCapture(path); });
}

void CMainDlg::OnTimer(int timerId) {
    if (timerId != kFollowTimer) return;
    KillTimer(kFollowTimer);
    followTimerSet = false;
    ShowNewestPage();
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
    SetLayeredAlpha(alpha);
}
