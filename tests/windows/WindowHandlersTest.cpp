// The main window's and the Filters dialog's handlers through real Win32
// windows under Wine: the window thread runs the window (DoModal), a driver
// thread acts as the user would, with window messages (BM_CLICK, WM_KEYDOWN,
// WM_MOUSEWHEEL, WM_SETTEXT, the list's NM_DBLCLK), finds the dialogs a
// handler opens among the thread's windows, and reads the window's state on
// its own thread.
// The windows' headers before the system's: the main window names system
// commands that windows.h has as macros.
#include "dialogs/CMainDlg.h"
#include "skin/win32/Win32Api.h"

#include <commdlg.h>  // CDM_GETFOLDERPATH

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <set>
#include <thread>

#include "filters/FilterSet.h"
#include "platform/capture/PcapSource.h"
#include "platform/msgbox/MessageBox.h"
#include "platform/sound/Win32SoundPlayer.h"
#include "platform/win32/WideText.h"
#include "skin/CSkinControls.h"
#include "skin/CSkinListCtrl.h"
#include "tests/capture/CaptureTestSupport.h"

namespace {

// The context menu's Follow newest, Clear and Open capture commands.
constexpr int kFollowCommand = 32000, kClearCommand = 32001, kOpenCommand = 32002;

std::string SourceOf(int i) { return "10.1." + std::to_string(i / 256 % 256) + "." + std::to_string(i % 256); }

void Numbered(const std::string& path, int first, int count) {
    std::vector<Frame> frames;
    for (int i = first; i < first + count; ++i) frames.push_back({Udp(SourceOf(i).c_str(), "10.9.0.1", 5000, 53, "q")});
    WriteCapture(path, frames);
}

// A capture file read as a live interface: once read it stays open, quiet,
// until stopped.
class CQuietAfterFile final : public ICaptureSource {
public:
    explicit CQuietAfterFile(std::string path) : file(std::move(path)) {}
    CaptureFailure Startup() override { return file.Startup(); }
    CaptureFailure FindInterface() override { return file.FindInterface(); }
    CaptureFailure Activate() override { return file.Activate(); }
    ReceiveResult Receive(CapturedDatagram& datagram, int timeoutMs) override {
        const ReceiveResult result = file.Receive(datagram, timeoutMs);
        if (result != ReceiveResult::EndOfFile) return result;
        std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
        return ReceiveResult::NothingYet;
    }
    void Stop() override { file.Stop(); }
    CaptureStatistics Statistics() override { return file.Statistics(); }
    const std::string& ErrorText() const override { return file.ErrorText(); }

private:
    CFileCaptureSource file;
};

class CDriver {
public:
    CDriver(CMainDlg& dlg, DWORD windowThread) : dlg(dlg), windowThread(windowThread) {}

    // f's result, computed on the window thread.
    template <class F>
    auto OnWindow(F f) -> decltype(f()) {
        auto task = std::make_shared<std::packaged_task<decltype(f())()>>(std::move(f));
        auto result = task->get_future();
        dlg.PostCall([task] { (*task)(); });
        return result.get();
    }
    // Polls condition on this thread; it reads the window through OnWindow.
    bool WaitFor(const std::function<bool()>& condition, int ms = 20000) {
        for (const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
             std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(std::chrono::milliseconds(20)))
            if (condition()) return true;
        return false;
    }
    HWND Item(int id, HWND window = nullptr) { return GetDlgItem(window ? window : dlg.Handle(), id); }
    void Click(int id, HWND window = nullptr) { PostMessageW(Item(id, window), BM_CLICK, 0, 0); }
    void Command(int id) { PostMessageW(dlg.Handle(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
    void Key(unsigned vk) {
        PostMessageW(Item(1023), WM_KEYDOWN, vk, 1);
        PostMessageW(Item(1023), WM_KEYUP, vk, 0xC0000001);
    }
    void Wheel(int delta) {
        RECT r;
        GetWindowRect(Item(1023), &r);
        PostMessageW(Item(1023), WM_MOUSEWHEEL, MAKEWPARAM(0, delta), MAKELPARAM(r.left + 5, r.top + 5));
    }
    void SelectRow(HWND list, int row) {
        LVITEMW item{};
        item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    }
    int Rows(HWND list) { return int(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }
    void SetText(HWND window, int id, const wchar_t* text) {
        SendMessageW(Item(id, window), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    }

    // A visible dialog window of the window thread, other than the main one,
    // that was not there before (the dialog a handler opened), or null
    // after a while.
    HWND NewWindow() {
        known.insert(dlg.Handle());
        for (int tries = 0; tries < 250; ++tries) {
            std::pair<std::set<HWND>*, HWND> found{&known, nullptr};
            EnumThreadWindows(windowThread, [](HWND w, LPARAM p) {
                auto* f = reinterpret_cast<std::pair<std::set<HWND>*, HWND>*>(p);
                wchar_t kind[16] = {};
                GetClassNameW(w, kind, 16);
                if (!IsWindowVisible(w) || f->first->count(w) || std::wstring(kind) != L"#32770") return TRUE;
                f->second = w;
                return FALSE;
            }, reinterpret_cast<LPARAM>(&found));
            if (found.second) return *known.insert(found.second).first;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return nullptr;
    }
    std::set<HWND> Left() {
        known.erase(dlg.Handle());
        return known;
    }
    // The dialog hidden, once its DoModal has returned.
    bool Gone(HWND window) {
        for (int tries = 0; tries < 500 && IsWindowVisible(window); ++tries)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        known.erase(window);
        // What the handler that ran the dialog does after it is done.
        OnWindow([] { return 0; });
        return !IsWindowVisible(window);
    }

    // The page: "FIRST at THUMB", its rows when not 20, and the first row
    // that does not show the record at FIRST + row.
    std::string Page() {
        return OnWindow([this] {
            auto* list = dlg.Control<CSkinListCtrl>(1023);
            const int first = dlg.FirstVisible(), rows = list->GetItemCount();
            std::string page = std::to_string(first) + " at " + std::to_string(dlg.Control<CSkinScrollBar>(1034)->GetScrollPos());
            if (rows != 20) page += " (" + std::to_string(rows) + " rows)";
            for (int r = 0; r < rows; ++r)
                if (list->GetItemString(r, 0) != SourceOf(first + r)) return page + ", row " + list->GetItemString(r, 0);
            return page;
        });
    }
    bool Listening() { return OnWindow([this] { return dlg.Run().IsCaptureThreadRunning(); }); }
    std::size_t Count() { return OnWindow([this] { return dlg.Store().Count(); }); }

    CMainDlg& dlg;

private:
    DWORD windowThread;
    std::set<HWND> known;
};

BOOL WINAPI Silence(LPCWSTR, HMODULE, DWORD) { return TRUE; }

class WindowHandlersTest : public ::testing::Test {
protected:
    WindowHandlersTest() { SetSoundPlayer(&silent); }
    ~WindowHandlersTest() override { SetSoundPlayer(nullptr); }

    CWin32SoundPlayer silent{Silence};
    CTempDir dir;
    CMessageBoxRecorder boxes;
    std::string capture;

    CMainDlgOptions Options() {
        CMainDlgOptions options;
        options.source = [this](const std::string&) { return std::make_unique<CQuietAfterFile>(capture); };
        return options;
    }
    // Runs the window on this thread and script on a driver thread; the
    // window ends after the script, with any dialog it left open.
    void Run(const std::function<void(CDriver&)>& script) {
        CMainDlg dlg(Options());
        dlg.Log().SetDirectory(dir.path + "/Log");
        const DWORD windowThread = GetCurrentThreadId();
        std::thread driver([&] {
            CDriver d(dlg, windowThread);
            for (int tries = 0; tries < 500 && !IsWindowVisible(dlg.Handle()); ++tries)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            script(d);
            for (HWND left : d.Left()) PostMessageW(left, WM_CLOSE, 0, 0);
            d.OnWindow([&] { dlg.EndDialog(IDOK); });
        });
        dlg.DoModal();
        driver.join();
    }
};

// Start and Stop with a stand-in source; the list's pages through keys and
// the wheel (SB_TOP is the newest page, three rows a notch); Follow newest
// keeps the newest page while records come, until a scroll; a double click
// opens the record's details; Clear empties the list.
TEST_F(WindowHandlersTest, CaptureListPagingFollowDetailsAndClear) {
    Run([&](CDriver& d) {
        capture = dir.path + "/a.pcap";
        Numbered(capture, 0, 100);
        d.Click(1000);
        ASSERT_TRUE(d.WaitFor([&] { return d.Count() == 100; }));
        EXPECT_TRUE(IsWindowVisible(d.Item(1001)) && !IsWindowVisible(d.Item(1000)));
        EXPECT_TRUE(d.Listening());
        d.Click(1001);
        ASSERT_TRUE(d.WaitFor([&] { return !d.Listening(); }));
        EXPECT_TRUE(IsWindowVisible(d.Item(1000)) && !IsWindowVisible(d.Item(1001)));
        EXPECT_EQ(d.Page(), "0 at 0");

        const struct {
            unsigned key;
            int wheel;
            const char* page;
        } steps[] = {{VK_END, 0, "80 at 100"}, {VK_PRIOR, 0, "60 at 75"}, {VK_DOWN, 0, "61 at 76"},
                     {VK_NEXT, 0, "80 at 100"}, {VK_UP, 0, "79 at 98"},   {VK_HOME, 0, "0 at 0"},
                     {0, -120, "3 at 3"},       {0, -120, "6 at 7"},      {0, 120, "3 at 3"}};
        for (const auto& step : steps) {
            if (step.key) d.Key(step.key);
            else d.Wheel(step.wheel);
            EXPECT_TRUE(d.WaitFor([&] { return d.Page() == step.page; }, 5000))
                << "after key " << step.key << " wheel " << step.wheel << ": " << d.Page() << ", not " << step.page;
        }

        d.Command(kFollowCommand);
        EXPECT_TRUE(d.WaitFor([&] { return d.Page() == "80 at 100"; }, 5000)) << d.Page();
        capture = dir.path + "/b.pcap";
        Numbered(capture, 100, 50);
        d.Click(1000);
        EXPECT_TRUE(d.WaitFor([&] { return d.Page() == "130 at 100"; })) << d.Page();
        d.Click(1001);
        ASSERT_TRUE(d.WaitFor([&] { return !d.Listening(); }));
        d.Key(VK_UP);
        EXPECT_TRUE(d.WaitFor([&] { return d.Page() == "129 at 99"; }, 5000)) << d.Page();
        EXPECT_FALSE(d.OnWindow([&] { return d.dlg.FollowNewest(); }));

        // A double click on row 2 (rows of 14 pixels): the details of record 131.
        const LPARAM row2 = MAKELPARAM(20, 2 * 14 + 7);
        for (UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
            PostMessageW(d.Item(1023), message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON, row2);
        HWND details = d.NewWindow();
        ASSERT_NE(details, nullptr);
        std::wstring texts;
        EnumChildWindows(details, [](HWND child, LPARAM p) {
            wchar_t text[4096] = {};
            GetWindowTextW(child, text, 4096);
            *reinterpret_cast<std::wstring*>(p) += std::wstring(text) + L"\n";
            return TRUE;
        }, reinterpret_cast<LPARAM>(&texts));
        EXPECT_NE(texts.find(L"10.1.0.131"), std::wstring::npos);
        d.Click(IDOK, details);
        EXPECT_TRUE(d.Gone(details));

        d.Command(kClearCommand);
        EXPECT_TRUE(d.WaitFor([&] { return d.Count() == 0 && d.Page() == "0 at 0 (0 rows)"; }, 5000));
        EXPECT_EQ(d.Rows(d.Item(1023)), 0);
    });
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{});
}

// Open capture through the system's dialog, from a folder whose name the
// ANSI code page cannot hold: the file is replayed, and the next dialog
// opens in that folder.
TEST_F(WindowHandlersTest, CaptureFilesFromAFolderOfAnyName) {
    wchar_t full[MAX_PATH] = {};
    GetFullPathNameW((WideText(dir.path) + L"\\Mitschnitte-\u00fc-\u3053\u65e5").c_str(), MAX_PATH, full, nullptr);
    const std::wstring folder = full;
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    Numbered(dir.path + "/c.pcap", 0, 7);
    ASSERT_TRUE(MoveFileW(WideText(dir.path + "/c.pcap").c_str(), (folder + L"\\c.pcap").c_str()));
    const auto ask = [](CDriver& d) {
        d.Command(kOpenCommand);
        return d.NewWindow();
    };
    Run([&](CDriver& d) {
        HWND box = ask(d);
        ASSERT_NE(box, nullptr);
        for (const int name : {0x480, 0x47C})  // edt1, or cmb13 in later templates
            SetDlgItemTextW(box, name, (folder + L"\\c.pcap").c_str());
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(d.Gone(box));
        EXPECT_TRUE(d.WaitFor([&] { return d.Count() == 7 && !d.Listening(); }));
        box = ask(d);
        ASSERT_NE(box, nullptr);
        wchar_t shown[MAX_PATH] = {};
        SendMessageW(box, CDM_GETFOLDERPATH, MAX_PATH, reinterpret_cast<LPARAM>(shown));
        EXPECT_EQ(std::wstring(shown), folder);
        PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
        EXPECT_TRUE(d.Gone(box));
    });
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{});
}

// Add, Edit and Delete through the entry dialog; OK saves the set to the
// registry and the window takes it, Cancel saves nothing.
TEST_F(WindowHandlersTest, FiltersDialogSavesOnOkOnly) {
    CFilterSet before;
    before.srcAddrs = {inet_addr("10.1.0.1")};
    before.srcPorts = {0};
    SaveFilterSet(before);
    const auto entry = [](CDriver& d, HWND filters, int button, const wchar_t* address, const wchar_t* port, int end) {
        d.Click(button, filters);
        HWND dlg = d.NewWindow();
        ASSERT_NE(dlg, nullptr);
        if (address) d.SetText(dlg, 1006, address);
        if (port) d.SetText(dlg, 1008, port);
        d.Click(end, dlg);
        EXPECT_TRUE(d.Gone(dlg));
    };
    Run([&](CDriver& d) {
        d.Click(1003);
        HWND filters = d.NewWindow();
        ASSERT_NE(filters, nullptr);
        HWND sources = d.Item(1002, filters);
        EXPECT_EQ(d.Rows(sources), 1);
        entry(d, filters, 1005, L"10.2.0.2", L"53", IDOK);  // Add
        EXPECT_EQ(d.Rows(sources), 2);
        entry(d, filters, 1005, L"10.5.0.5", L"80", IDCANCEL);
        EXPECT_EQ(d.Rows(sources), 2);
        d.SelectRow(sources, 0);
        entry(d, filters, 1007, L"10.3.0.3", nullptr, IDOK);  // Edit
        d.SelectRow(sources, 1);
        d.Click(1016, filters);  // Delete
        EXPECT_TRUE(d.WaitFor([&] { return d.Rows(sources) == 1; }, 5000));
        d.Click(IDOK, filters);
        EXPECT_TRUE(d.Gone(filters));
        CFilterSet stored;
        LoadFilterSet(stored);
        EXPECT_EQ(stored.srcAddrs, std::vector<std::uint32_t>{inet_addr("10.3.0.3")});
        EXPECT_EQ(stored.srcPorts, std::vector<std::uint16_t>{0});
        EXPECT_EQ(d.OnWindow([&] { return d.dlg.FilterSet().srcAddrs; }), stored.srcAddrs);

        d.Click(1003);
        filters = d.NewWindow();
        ASSERT_NE(filters, nullptr);
        entry(d, filters, 1005, L"10.4.0.4", L"0", IDOK);
        d.SelectRow(d.Item(1002, filters), 0);
        d.Click(1016, filters);
        d.Click(IDCANCEL, filters);
        EXPECT_TRUE(d.Gone(filters));
        CFilterSet after;
        LoadFilterSet(after);
        EXPECT_EQ(after.srcAddrs, stored.srcAddrs);
        EXPECT_EQ(d.OnWindow([&] { return d.dlg.FilterSet().srcAddrs; }), stored.srcAddrs);
    });
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{});
    SaveFilterSet({});
}

}  // namespace
