#pragma once
// The main window: owner of all run-time state for the program's whole life
// (filter set, packet store, capture log, capture run, list page, tray icon),
// and the handlers of its buttons, scroll bars, tray icon and system entries.

#include <chrono>
#include <functional>
#include <optional>
#include <memory>
#include <string>
#include <vector>

#include "capture/CaptureLog.h"
#include "capture/CaptureRun.h"
#include "capture/PacketStore.h"
#include "filters/FilterSet.h"
#include "filters/FilterSetHolder.h"
#include "skin/CTrayIcon.h"
#include "dialogs/CaptureRequests.h"
#include "dialogs/DisplayFilterView.h"
#include "skin/CSkinDialog.h"

class CSkinButton;
class CSkinListCtrl;
class CSkinScrollBar;

// The system menu's About entry (string 101, command 16) and the window's
// other system commands.
inline constexpr char kAboutMenuText[] = "&About Pelmar...";
inline constexpr unsigned IDM_ABOUTBOX = 0x0010;
inline constexpr unsigned SC_MINIMIZE = 0xF020;
inline constexpr unsigned SC_CLOSE = 0xF060;

inline constexpr char kTrayTip[] = ">:-)";

// The context menu's Interface submenu.
inline constexpr int kInterfaceMenu = 1;

// The first line of the box refusing a display filter; libpcap's message follows.
inline constexpr char kDisplayFilterRefusedText[] = "Can not use this display filter:";

// Our texts for capture files: the first line of the box, then the file and why.
inline constexpr char kCaptureFileFailedText[] = "Can not read capture file!!!";
inline constexpr char kCaptureFileEmptyText[] = "The capture file holds nothing to show.";
inline constexpr char kCaptureSaveFailedText[] = "Can not save capture file!!!";

struct CMainDlgOptions {
    // Makes each live run's capture source on the interface named (empty:
    // the first that is up and owns an IPv4 address); empty: the system's
    // live capture (the capture helper on Linux, a raw socket on Windows).
    std::function<std::unique_ptr<ICaptureSource>(const std::string& interfaceName)> source;
    // A capture file replayed as soon as the window has opened (orn FILE).
    std::string captureFile;
    // Start as soon as the window has opened (orn --start), without offering
    // to start the program again with rights: this is the copy so started.
    bool startListening = false;
    // The budget of the records' datagram bytes.
    std::size_t storeBytes = CPacketStore::kByteBudget;
    // The kernel release for the version check; empty: the running kernel's.
    std::function<std::string()> kernelRelease;
    // Ends the process at a failed version check; empty: std::_Exit. Should
    // it return, the window ends without opening.
    std::function<void(int code)> exitProcess;
};

class CMainDlg : public CSkinDialog, public ITrayIconOwner {
public:
    explicit CMainDlg(CMainDlgOptions options = {});
    // Ends the capture run first: nothing of this window is touched by the
    // capture thread once it returns.
    ~CMainDlg() override;

    // The packet list view.
    void AppendPacketRow(std::shared_ptr<const CPacketRecord> record);
    void RefillPacketList();
    // The record whose texts row shows, or null.
    std::shared_ptr<const CPacketRecord> RowRecord(int row) const;
    int FirstVisible() const { return firstVisible; }

    // Follow newest: while on, the newest page is shown and refilled as
    // records come, at most every kFollowIntervalMs. Off when the window
    // opens; any scroll turns it off.
    static constexpr int kFollowIntervalMs = 100;
    void SetFollowNewest(bool on);
    bool FollowNewest() const { return followNewest; }
    // Empties the store and the list; the log keeps what it has.
    void OnClear();

    // The window side of a run that failed to start.
    void ResetToIdle();

    // Replays a capture file (pcap or pcapng) through a run, as Start
    // listening would run one on the interface, log stamps of the file's
    // capture times; a run that is going is stopped first. The end of the
    // file ends the run; a file that cannot be read is reported.
    void OpenCapture(const std::string& path);
    // Writes the datagrams of the stored records as a pcapng file, in
    // place of path only once whole. Records whose bytes were released are
    // left out, and a box says how many. False, with a box, on failure.
    bool SaveCapture(const std::string& path);
    // The interface that the next Start captures on; empty: the first.
    const std::string& ChosenInterface() const { return chosenInterface; }

    // The display filter (tcpdump's language): while set, the list, its
    // paging and Follow newest cover only the matching records, and a label
    // shows the filter and "M of N". Kept in the store beside the interface.
    // False, with a box carrying libpcap's message, for one that does not
    // compile; empty clears it.
    bool SetDisplayFilter(const std::string& expression);
    const CDisplayFilterView& DisplayFilterView() const { return displayView; }

    // Find (Ctrl+F, then F3 and Shift+F3): the next (or previous) record of
    // the list, after the selected one or from the page's first row, round
    // past the end, whose log entry (row, decoder's text, message) holds text in
    // any case; the page moves to it and selects it. False, with a box, for
    // none.
    bool FindRecord(const std::string& text, bool forward);
    // Ctrl+C: the selected rows' six columns, tab-separated, one line each.
    void CopySelectedRows();

    // WM_SYSCOMMAND and the tray icon's callback message.
    void OnSysCommand(unsigned id);
    long OnTrayMessage(unsigned message, unsigned iconId, unsigned mouseMessage) override;

    CPacketStore& Store() { return store; }
    CCaptureLog& Log() { return logFile; }
    CCaptureRun& Run() { return run; }
    // The filter set in effect.
    CFilterSet FilterSet() const { return *filters.Snapshot(); }
    int HiddenToTray() const { return hiddenToTray; }
    int Alpha() const { return alpha; }
    const CTrayIcon* TrayIcon() const { return trayIcon.get(); }
    // The window's context menu (right click, Alt+Space) holds the list's
    // entries, then those of the system menu.

protected:
    bool OnInitDialog() override;
    void OnOK() override;      // End
    void OnCancel() override;
    void OnClose() override;
    void OnHScroll(int code, int pos, CSkinScrollBar* bar) override;
    void OnVScroll(int code, int pos, CSkinScrollBar* bar) override;
    bool OnCommand(int id, int code) override;
    void OnTimer(int timerId) override;
    bool OnKeyDown(unsigned virtualKey, unsigned modifiers) override;
    bool OnContextMenu(bool onSurface, SkinPoint screenPos) override;
    void OnDropFile(const std::string& path) override;

private:
    bool CheckSystemVersion();
    void LoadButtonBitmaps();
    void MakePacketListColumns();
    void OnStartListening();
    // mayRestart: where rights are missing, offer to start the program again with them.
    void StartListening(bool mayRestart);
    void BeginRun();
    void OnStopListening();
    void ShowRunFailure(const std::string& text);
    void OnOpenCapture();
    void OnSaveCapture();
    std::string AskCaptureFile(bool save);
    void FillInterfaceMenu();
    void OnFilters();
    void OnHideToTray();
    void OnHelp();
    void OnAbout();
    void OnPacketDoubleClick();
    void BuildContextMenu();
    void ShowSystemMenu(SkinPoint screenPos);
    void ShowNewestPage();
    void RemoveTrayIconAndStop();
    void ShowAcceptedPackets(AcceptedRows rows);
    // The rate labels show figures only while a run measures them.
    void SetRateText(int id, const std::string& text);
    void BlankRates();
    // The datagrams the kernel could not hand over: the rate labels'
    // tooltip, and the losses label while there are any.
    void UpdateDropTip();
    // Display filter: the dialog (Ctrl+L), the filter taking effect, its label.
    void OnDisplayFilter();
    void ApplyDisplayFilter(std::shared_ptr<const CDisplayFilter> filter);
    void UpdateDisplayFilterLabel();
    void AddDisplayFilterEntries();
    std::string FilteredSaveText(std::uint64_t saved);
    // The page holding the list's index-th record (kept if it shows it).
    void ShowPageWith(std::size_t index);
    void AddFindEntries();
    void OnConversations();
    void OnFind();
    void FindNext(bool forward);
    // What the list pages through: the store, or its records that match.
    std::size_t ShownCount();
    AcceptedRows ShownRange(std::size_t first, std::size_t count);

    // The context menu's commands.
    static constexpr int kFollowCommand = 32000, kClearCommand = 32001, kOpenCommand = 32002,
                         kSaveCommand = 32003, kDisplayFilterCommand = 32004, kClearDisplayFilterCommand = 32005,
                         kConversationsCommand = 32006, kFindCommand = 32007, kMinimizeCommand = 32008,
                         kCloseCommand = 32009, kNoInterfaceCommand = 32010, kInterfaceCommand = 32100,
                         kInterfaceCommandEnd = 32999;
    static constexpr int kFollowTimer = 1;

    CMainDlgOptions options;

    // Declared in this order so that the run goes first. The holder owns the
    // filter set: the Filters window replaces it there whole.
    CFilterSetHolder filters;
    CPacketStore store;
    CCaptureLog logFile;
    CCaptureRequests requests;
    CCaptureRun run;
    CDisplayFilterView displayView{store};
    std::string findText;

    int firstVisible = 0;
    int hiddenToTray = 0;
    int alpha = 255;  // the layered alpha; the slider position is its source
    std::unique_ptr<CTrayIcon> trayIcon;
    bool menuBuilt = false;
    std::string chosenInterface;
    // The Interface submenu's entries, by command id from kInterfaceCommand.
    std::vector<std::string> interfaceEntries;
    // The file the current run replays; empty for a live run.
    std::string replayFile;
    std::string fileDirectory;  // where the file windows open
    bool followNewest = false;
    bool followTimerSet = false;  // the one-shot refill of Follow newest
    std::optional<std::chrono::steady_clock::time_point> lastFollowRefill;
    // The records of the list's rows, row by row: a row opens the record it
    // shows, also after drops at the store limit have moved the indexes.
    std::vector<std::shared_ptr<const CPacketRecord>> rowRecords;

    CSkinButton* aboutButton;
    CSkinScrollBar* listScroll;
    CSkinListCtrl* packetList;
    CSkinScrollBar* transparency;
    CSkinButton* helpButton;
    CSkinButton* endButton;
    CSkinButton* stopButton;
    CSkinButton* startButton;
    CSkinButton* filtersButton;
    CSkinButton* closeButton;
    CSkinButton* trayButton;
};
