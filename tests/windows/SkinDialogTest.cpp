// The Win32 skin's dialog core through real windows under Wine, on an X
// display of the test's own: the template's controls, the region cut from the
// mask, the buttons' faces, commands, keys, timers, posted calls and the
// modal run.
#include "skin/win32/Win32Api.h"

#include <shlobj.h>  // DROPFILES

#include "skin/Skin.h"
#include "skin/WindowThread.h"
#include "skin/win32/CSkinButton.h"
#include "skin/win32/CSkinControls.h"
#include "skin/win32/CSkinDialog.h"
#include "skin/win32/CSkinListCtrl.h"
#include "skin/win32/CTrayIcon.h"
#include "skin/win32/SkinLook.h"
#include "skin/win32/WindowRegion.h"
#include "platform/win32/WideText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <functional>
#include <thread>

namespace {

constexpr int kTextDialog = 137, kHostDialog = 134;  // the Find and host browser templates
constexpr int kPanel = 188, kPanelMask = 189;
constexpr int kOkFaces[] = {185, 186, 187};  // normal, pressed, focused
constexpr int kTextEdit = 1047;
constexpr int kWatchdog = 99;

using Pixels = std::vector<std::uint32_t>;


Pixels Read(HDC dc, HBITMAP bitmap, int width, int height) {
    Pixels pixels(static_cast<std::size_t>(width * height));
    BITMAPINFO format{};
    format.bmiHeader = {sizeof format.bmiHeader, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    EXPECT_EQ(::GetDIBits(dc, bitmap, 0, static_cast<UINT>(height), pixels.data(), &format, DIB_RGB_COLORS), height);
    for (auto& p : pixels) p &= 0xffffffu;
    return pixels;
}

Pixels BitmapPixels(HBITMAP bitmap, int width, int height) {
    HDC screen = ::GetDC(nullptr);
    Pixels pixels = Read(screen, bitmap, width, height);
    ::ReleaseDC(nullptr, screen);
    return pixels;
}

// What a window shows now, as the screen has it.
Pixels WindowPixels(HWND window) {
    ::UpdateWindow(window);
    RECT r;
    ::GetClientRect(window, &r);
    HDC dc = ::GetDC(window);
    HDC copy = ::CreateCompatibleDC(dc);
    HBITMAP target = ::CreateCompatibleBitmap(dc, r.right, r.bottom);
    HGDIOBJ old = ::SelectObject(copy, target);
    ::BitBlt(copy, 0, 0, r.right, r.bottom, dc, 0, 0, SRCCOPY);
    ::SelectObject(copy, old);
    Pixels pixels = Read(copy, target, r.right, r.bottom);
    ::DeleteDC(copy);
    ::DeleteObject(target);
    ::ReleaseDC(window, dc);
    return pixels;
}

// Runs the posted messages already queued.
void Pump() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

// A real key press, to the focused control of the active window.
void Press(unsigned key, bool ctrl = false) {
    std::vector<INPUT> input;
    auto add = [&](WORD vk, DWORD flags) {
        INPUT i{};
        i.type = INPUT_KEYBOARD;
        i.ki.wVk = vk;
        i.ki.dwFlags = flags;
        input.push_back(i);
    };
    if (ctrl) add(VK_CONTROL, 0);
    add(static_cast<WORD>(key), 0);
    add(static_cast<WORD>(key), KEYEVENTF_KEYUP);
    if (ctrl) add(VK_CONTROL, KEYEVENTF_KEYUP);
    ::SendInput(static_cast<UINT>(input.size()), input.data(), sizeof(INPUT));
}

class TestDialog : public CSkinDialog {
public:
    explicit TestDialog(int id = kTextDialog, CSkinDialog* parent = nullptr) : CSkinDialog(id, kPanel, kPanelMask, parent) {}
    std::function<bool()> onInit = [] { return true; };
    std::vector<std::pair<unsigned, unsigned>> keys;
    std::vector<int> timers;
    std::vector<std::pair<int, int>> scrolls;  // code, position
    std::vector<std::string> dropped;
    bool takeKeys = true;
    using CSkinDialog::MapClicked;

protected:
    bool OnInitDialog() override { return onInit(); }
    bool OnKeyDown(unsigned key, unsigned modifiers) override {
        keys.emplace_back(key, modifiers);
        return takeKeys;
    }
    void OnDropFile(const std::string& path) override { dropped.push_back(path); }
    void OnVScroll(int code, int pos, CSkinScrollBar* bar) override { scrolls.push_back({code, bar ? pos : -1}); }
    void OnTimer(int id) override {
        if (id == kWatchdog) {
            ADD_FAILURE() << "the run did not end";
            EndDialog(-1);
            return;
        }
        timers.push_back(id);
        if (onTimer) onTimer(id);
    }

public:
    std::function<void(int)> onTimer;
};

// Runs the dialog modally; once it shows, check runs inside its loop.
int RunWith(TestDialog& dialog, std::function<void()> check) {
    dialog.onInit = [&dialog, check] {
        dialog.PostCall(check);
        dialog.SetTimer(kWatchdog, 20000);  // a failed check may leave it running
        return true;
    };
    return dialog.DoModal();
}

TEST(SkinDialog, ControlsComeFromTheTemplateInPixels) {
    for (int id : {kTextDialog, kHostDialog}) {
        TestDialog dialog(id);
        ASSERT_NE(dialog.Handle(), nullptr);
        RECT window;
        ::GetWindowRect(dialog.Handle(), &window);
        const PixelRect size = DialogSizeInPixels(dialog.Template());
        EXPECT_EQ(window.right - window.left, size.width);
        EXPECT_EQ(window.bottom - window.top, size.height);
        for (const ControlTemplate& entry : dialog.Template().controls) {
            if (entry.id == IDC_STATIC) continue;
            CSkinWindow* control = dialog.Item(entry.id);
            ASSERT_NE(control, nullptr) << entry.id;
            EXPECT_EQ(::GetDlgCtrlID(control->Handle()), entry.id);
            EXPECT_EQ(::GetParent(control->Handle()), dialog.Handle());
            RECT r;
            ::GetWindowRect(control->Handle(), &r);
            ::MapWindowPoints(nullptr, dialog.Handle(), reinterpret_cast<POINT*>(&r), 2);
            EXPECT_EQ((PixelRect{r.left, r.top, r.right - r.left, r.bottom - r.top}), ControlRectInPixels(entry))
                << entry.id;
        }
    }
    TestDialog dialog;
    EXPECT_NE(dialog.Control<CSkinEdit>(kTextEdit), nullptr);
    EXPECT_NE(dialog.Control<CSkinButton>(IDOK), nullptr);
    EXPECT_EQ(dialog.Control<CSkinButton>(kTextEdit), nullptr);
}

TEST(SkinDialog, RegionIsTheMasksNonBlackPixels) {
    // A synthetic mask: black corner pixels and a black run in the middle
    // row; the window is wider and taller than the mask, whose margin stays.
    const int w = 6, h = 3;
    std::uint32_t bits[w * h] = {0, 0xffffff, 0xffffff, 0xffffff, 0xffffff, 0,
                                 0xffffff, 0, 0, 0x010000, 0xffffff, 0xffffff,
                                 0xffffff, 0xffffff, 0xffffff, 0xffffff, 0xffffff, 0xffffff};
    HBITMAP mask = ::CreateBitmap(w, h, 1, 32, bits);
    HRGN region = BuildWindowRegion(mask, 8, 5);
    ::DeleteObject(mask);
    const char* expected[] = {"-++++-++", "+--+++++", "++++++++", "++++++++", "++++++++"};
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(::PtInRegion(region, x, y) != FALSE, expected[y][x] == '+') << x << "," << y;
    EXPECT_FALSE(::PtInRegion(region, 8, 0));
    ::DeleteObject(region);

    // The real window: cut after OnInitDialog, pixel for pixel its mask.
    TestDialog dialog;
    RunWith(dialog, [&] {
        EXPECT_TRUE(dialog.RegionCut());
        HRGN cut = ::CreateRectRgn(0, 0, 0, 0);
        ASSERT_NE(::GetWindowRgn(dialog.Handle(), cut), ERROR);
        HBITMAP bitmap = LoadSkinBitmap(kPanelMask);
        BITMAP info;
        ::GetObjectW(bitmap, sizeof info, &info);
        const Pixels maskPixels = BitmapPixels(bitmap, info.bmWidth, info.bmHeight);
        ::DeleteObject(bitmap);
        const PixelRect size = DialogSizeInPixels(dialog.Template());
        ASSERT_EQ(info.bmWidth, size.width);
        int wrong = 0;
        for (int y = 0; y < info.bmHeight; ++y)
            for (int x = 0; x < info.bmWidth; ++x)
                wrong += (::PtInRegion(cut, x, y) != FALSE) != (maskPixels[std::size_t(y * info.bmWidth + x)] != 0);
        EXPECT_EQ(wrong, 0);
        EXPECT_FALSE(::PtInRegion(cut, 0, 0));  // a rounded corner
        EXPECT_TRUE(::PtInRegion(cut, size.width / 2, size.height / 2));
        ::DeleteObject(cut);
        dialog.EndDialog(IDOK);
    });
}

TEST(SkinDialog, ButtonFaceFollowsItsState) {
    TestDialog dialog;
    auto* ok = dialog.Control<CSkinButton>(IDOK);
    ASSERT_TRUE(ok->LoadBitmaps(kOkFaces[0], kOkFaces[1], kOkFaces[2]));
    EXPECT_FALSE(ok->LoadBitmaps(kOkFaces[0], 999));  // a missing optional face
    EXPECT_EQ(ok->BitmapId(CSkinButton::kNormal), kOkFaces[0]);
    EXPECT_EQ(ok->BitmapId(CSkinButton::kSelected), 0);
    ASSERT_TRUE(ok->LoadBitmaps(kOkFaces[0], kOkFaces[1], kOkFaces[2]));
    EXPECT_EQ(ok->ChosenSlot(true, true, false), CSkinButton::kSelected);
    EXPECT_EQ(ok->ChosenSlot(false, true, true), CSkinButton::kFocus);
    EXPECT_EQ(ok->ChosenSlot(false, false, true), CSkinButton::kNormal);  // no disabled face

    RunWith(dialog, [&] {
        RECT r;
        ::GetClientRect(ok->Handle(), &r);
        int width = 0, height = 0;
        auto face = [&](int id) {
            HBITMAP bitmap = LoadSkinBitmap(id);
            BITMAP info;
            ::GetObjectW(bitmap, sizeof info, &info);
            width = std::min<int>(r.right, info.bmWidth);
            height = std::min<int>(r.bottom, info.bmHeight);
            Pixels all = BitmapPixels(bitmap, info.bmWidth, info.bmHeight), cut;
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) cut.push_back(all[std::size_t(y * info.bmWidth + x)]);
            ::DeleteObject(bitmap);
            return cut;
        };
        auto shown = [&] {
            Pixels all = WindowPixels(ok->Handle()), cut;
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) cut.push_back(all[std::size_t(y * r.right + x)]);
            return cut;
        };
        const Pixels normal = face(kOkFaces[0]), pressed = face(kOkFaces[1]), focused = face(kOkFaces[2]);
        ASSERT_NE(normal, pressed);
        ASSERT_NE(normal, focused);
        dialog.FocusItem(kTextEdit);
        EXPECT_EQ(shown(), normal);
        dialog.FocusItem(IDOK);
        EXPECT_EQ(dialog.FocusedItem(), IDOK);
        EXPECT_EQ(shown(), focused);
        ::SendMessageW(ok->Handle(), BM_SETSTATE, TRUE, 0);
        EXPECT_EQ(shown(), pressed);
        ::SendMessageW(ok->Handle(), BM_SETSTATE, FALSE, 0);
        dialog.EndDialog(IDCANCEL);
    });
}

TEST(SkinDialog, CommandsTextsAndNumbers) {
    TestDialog dialog;
    std::vector<int> clicks;
    dialog.MapClicked(IDOK, [&] { clicks.push_back(IDOK); });
    const int code = RunWith(dialog, [&] {
        ::SendMessageW(dialog.Control<CSkinButton>(IDOK)->Handle(), BM_CLICK, 0, 0);  // a real click's path
        ::SendMessageW(dialog.Control<CSkinButton>(IDOK)->Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, 0);  // BN_DOUBLECLICKED
        EXPECT_EQ(clicks, (std::vector<int>{IDOK, IDOK}));
        // A press on the surface moves the window as one on a caption would; a button keeps its own.
        auto hit = [](HWND window, POINT at) {
            ::ClientToScreen(window, &at);
            return ::SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(at.x, at.y));
        };
        EXPECT_EQ(hit(dialog.Handle(), {150, 10}), HTCAPTION);
        EXPECT_EQ(hit(dialog.Item(IDOK)->Handle(), {2, 2}), HTCLIENT);

        dialog.SetDlgItemText(kTextEdit, "caf\xe9");  // 8-bit text
        std::string text;
        dialog.GetDlgItemText(kTextEdit, text);
        EXPECT_EQ(text, "caf\xc3\xa9");
        const std::pair<const char*, long long> cases[] = {
            {" 12 ", 12}, {"-2147483648", INT_MIN}, {"2147483648", 0}, {"12a", 0}, {"", 0}, {"+7", 7}};
        for (auto [input, value] : cases) {
            bool translated = false;
            dialog.SetDlgItemText(kTextEdit, std::string(input));
            EXPECT_EQ(dialog.GetDlgItemInt(kTextEdit, &translated), value) << input;
            EXPECT_EQ(translated, std::string(input) != "2147483648" && value != 0) << input;
        }
        bool translated = true;
        dialog.SetDlgItemText(kTextEdit, std::string("4294967295"));
        EXPECT_EQ(dialog.GetDlgItemInt(kTextEdit, &translated, false), 4294967295LL);
        dialog.SetDlgItemText(kTextEdit, std::string("-1"));
        EXPECT_EQ(dialog.GetDlgItemInt(kTextEdit, &translated, false), 0);
        EXPECT_FALSE(translated);
        dialog.SendCommand(IDCANCEL);  // the default: EndDialog(IDCANCEL)
    });
    EXPECT_EQ(code, IDCANCEL);
    EXPECT_FALSE(dialog.IsWindowVisible());
}

TEST(SkinDialog, ModalRunAndItsEnding) {
    TestDialog owner;
    owner.MakeMainWindow();
    EXPECT_TRUE(::GetWindowLongW(owner.Handle(), GWL_EXSTYLE) & WS_EX_APPWINDOW);
    const int code = RunWith(owner, [&] {
        TestDialog child(kTextDialog, &owner);
        EXPECT_EQ(::GetWindow(child.Handle(), GW_OWNER), owner.Handle());
        // Ended in OnInitDialog: never shown.
        child.onInit = [&] {
            child.EndDialog(7);
            return true;
        };
        EXPECT_EQ(child.DoModal(), 7);
        EXPECT_FALSE(child.IsWindowVisible());
        // The owner is disabled while its child runs; hiding the main window does not end its run.
        EXPECT_EQ(RunWith(child, [&] {
                      EXPECT_FALSE(::IsWindowEnabled(owner.Handle()));
                      EXPECT_TRUE(child.IsWindowVisible());
                      owner.ShowWindow(SW_HIDE);
                      child.SendClose();  // OnClose: the Cancel command
                  }),
                  IDCANCEL);
        EXPECT_TRUE(::IsWindowEnabled(owner.Handle()));
        EXPECT_FALSE(owner.Ending());
        owner.SetLayeredAlpha(200);
        BYTE alpha = 0;
        DWORD flags = 0;
        EXPECT_TRUE(::GetLayeredWindowAttributes(owner.Handle(), nullptr, &alpha, &flags));
        EXPECT_EQ(alpha, 200);
        EXPECT_EQ(flags, DWORD(LWA_ALPHA));
        owner.SetLayeredAlpha(255);
        EXPECT_FALSE(::GetWindowLongW(owner.Handle(), GWL_EXSTYLE) & WS_EX_LAYERED);
        owner.EndDialog(42);
    });
    EXPECT_EQ(code, 42);
}

TEST(SkinDialog, NoWindowLeavesControlsToReachAndNoRun) {
    // An owner that is gone makes the window fail, as a used-up desktop would.
    TestDialog gone;
    ::DestroyWindow(gone.Handle());
    TestDialog dialog(kTextDialog, &gone);
    ASSERT_EQ(dialog.Handle(), nullptr);
    ASSERT_NE(dialog.Control<CSkinEdit>(kTextEdit), nullptr);
    dialog.SetDlgItemText(kTextEdit, "10.0.0.1");
    EXPECT_EQ(dialog.DoModal(), -1);
}

TEST(SkinDialog, KeysAcceleratorsAndShortcuts) {
    TestDialog dialog;
    std::vector<int> commands;
    for (int id : {IDOK, IDCANCEL, 900}) dialog.MapClicked(id, [&commands, id] { commands.push_back(id); });
    dialog.AppendMenu(900, "Hex", {.ctrlLetter = 'H'}, true);
    dialog.AddAccelerator(VK_NEXT, 0);
    // Each stage's keys are taken before its timer, which starts the next.
    dialog.onTimer = [&](int stage) {
        dialog.KillTimer(stage);
        if (stage == 1) {
            dialog.takeKeys = false;
            dialog.FocusItem(kTextEdit);
            Press('Q');  // typed into the box, not the window's
            Press(VK_NEXT);  // the box's own editing key
            Press(VK_RETURN);  // OK
            Press(VK_ESCAPE);  // Cancel
        } else if (stage == 2) {
            dialog.FocusItem(IDCANCEL);
            Press(VK_RETURN);  // the focused button
        } else {
            dialog.EndDialog(77);
            return;
        }
        dialog.SetTimer(stage + 1, 100);
    };
    const int code = RunWith(dialog, [&] {
        dialog.FocusItem(IDOK);
        Press(VK_NEXT);  // the window's key wherever the focus is
        Press('H', true);  // the menu entry's shortcut
        Press(VK_F3);  // no control takes it
        Press(VK_RETURN);  // taken by the window
        dialog.SetTimer(1, 100);
    });
    EXPECT_EQ(code, 77);
    const std::vector<std::pair<unsigned, unsigned>> keys{{VK_NEXT, 0}, {VK_F3, 0}, {VK_RETURN, 0}, {VK_RETURN, 0},
                                                          {VK_RETURN, 0}};
    EXPECT_EQ(dialog.keys, keys);
    EXPECT_EQ(commands, (std::vector<int>{900, IDOK, IDCANCEL, IDCANCEL}));
    std::string typed;
    dialog.GetDlgItemText(kTextEdit, typed);
    EXPECT_EQ(typed, "q");
}

TEST(SkinDialog, WindowAndEditBoxMenus) {
    constexpr int kDetails = 132, kMessageBox = 1037, kHex = 900;
    TestDialog dialog(kDetails);
    int runs = 0;
    dialog.MapClicked(kHex, [&] { ++runs; });
    dialog.AppendMenu(kHex, "Message as hex", {.ctrlLetter = 'H'}, true);
    dialog.AddToEditMenu(kMessageBox, kHex);
    struct Seen {
        int items;
        std::wstring last;
        bool checked;
        bool operator==(const Seen&) const = default;
    };
    std::vector<Seen> seen;
    // While a menu is open, its timer looks at it and chooses its last entry.
    dialog.onTimer = [&](int id) {
        dialog.KillTimer(id);
        HWND popup = ::FindWindowW(L"#32768", nullptr);
        ASSERT_NE(popup, nullptr);
        auto menu = reinterpret_cast<HMENU>(::SendMessageW(popup, MN_GETHMENU, 0, 0));
        const int items = ::GetMenuItemCount(menu);
        wchar_t text[64] = {};
        ::GetMenuStringW(menu, static_cast<UINT>(items - 1), text, 64, MF_BYPOSITION);
        seen.push_back({items, text, (::GetMenuState(menu, static_cast<UINT>(items - 1), MF_BYPOSITION) & MF_CHECKED) != 0});
        Press(VK_UP);
        Press(VK_RETURN);
    };
    RunWith(dialog, [&] {
        auto rightClick = [&](HWND on) {
            POINT at{5, 5};
            ::ClientToScreen(on, &at);
            dialog.SetTimer(1, 100);
            ::SendMessageW(on, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(on), MAKELPARAM(at.x, at.y));
        };
        rightClick(dialog.Item(kMessageBox)->Handle());  // its editing entries, then the command
        rightClick(dialog.Item(kMessageBox)->Handle());  // ticked by the first run
        rightClick(dialog.Handle());  // the window's own menu
        dialog.EndDialog(IDOK);
    });
    const std::vector<Seen> expected{{10, L"Message as hex\tCtrl+H", false}, {10, L"Message as hex\tCtrl+H", true},
                                     {1, L"Message as hex\tCtrl+H", false}};  // unticked by the second
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(runs, 3);
}

TEST(SkinDialog, WheelOverTheSurfaceGoesToItsBar) {  // and over a list that can scroll to the list
    constexpr int kList = 1038, kBar = 1040;
    TestDialog dialog(kHostDialog);
    auto* list = dialog.Control<CSkinListCtrl>(kList);
    list->InsertColumn(0, "", LVCFMT_LEFT, 100);
    for (int row = 0; row < 40; ++row) list->InsertItem(row, std::to_string(row));  // more than a page
    auto* bar = dialog.Control<CSkinScrollBar>(kBar);
    bar->SetScrollRange(0, 100);
    bar->SetWheelLines(2);
    dialog.SetWheelScrollBar(bar);
    // A notch as a system that sends the wheel to the focus (the OK button)
    // delivers it, with the pointer's place on the screen.
    auto wheelAt = [&](POINT at, int delta) {
        ::ClientToScreen(dialog.Handle(), &at);
        ::PostMessageW(dialog.Item(IDOK)->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, delta), MAKELPARAM(at.x, at.y));
    };
    dialog.onTimer = [&](int stage) {
        dialog.KillTimer(stage);
        if (stage == 1) {
            EXPECT_EQ(dialog.scrolls, (std::vector<std::pair<int, int>>{{SB_LINEDOWN, 0}, {SB_LINEDOWN, 0},
                                                                         {SB_ENDSCROLL, 0}}));
            dialog.scrolls.clear();
            const PixelRect list = ControlRectInPixels(*FindControl(dialog.Template(), kList));
            wheelAt({list.x + 10, list.y + 10}, -WHEEL_DELTA);  // the list's own
            dialog.SetTimer(2, 150);
        } else {
            EXPECT_TRUE(dialog.scrolls.empty());
            dialog.EndDialog(IDOK);
        }
    };
    RunWith(dialog, [&] {
        dialog.FocusItem(IDOK);
        wheelAt({30, 40}, -WHEEL_DELTA);  // over the "IP Address:" label
        dialog.SetTimer(1, 150);
    });
    dialog.scrolls.clear();
    ::SendMessageW(dialog.Handle(), WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 37), reinterpret_cast<LPARAM>(bar->Handle()));
    EXPECT_EQ(dialog.scrolls, (std::vector<std::pair<int, int>>{{SB_THUMBPOSITION, 37}}));
}

// A drop of these paths, as the shell hands it over (DROPFILES, wide names).
HDROP Drop(const std::vector<std::wstring>& paths) {
    std::wstring names;
    for (const auto& p : paths) names += p + L'\0';
    names += L'\0';
    HGLOBAL memory = ::GlobalAlloc(GHND, sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
    auto* header = static_cast<DROPFILES*>(::GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    std::copy(names.begin(), names.end(), reinterpret_cast<wchar_t*>(header + 1));
    ::GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

TEST(SkinDialog, DroppedFileAndTips) {
    constexpr int kAddressLabel = 1024;
    TestDialog dialog(132);
    dialog.DragAcceptFile(true);
    EXPECT_TRUE(::GetWindowLongW(dialog.Handle(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    ::SendMessageW(dialog.Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(Drop({L"C:\\caf\u00e9.pcap"})), 0);
    ::SendMessageW(dialog.Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(Drop({L"C:\\a.pcap", L"C:\\b.pcap"})), 0);
    EXPECT_EQ(dialog.dropped, std::vector<std::string>{"C:\\caf\xc3\xa9.pcap"});  // one file only

    // A label's tip is a rectangle of the window's own; a button's is its window.
    dialog.SetItemTip(kAddressLabel, "Source");
    dialog.SetItemTip(IDOK, "Close");
    dialog.SetItemTip(kAddressLabel, "Source address");
    HWND tips = nullptr;
    for (HWND w = ::FindWindowExW(nullptr, nullptr, TOOLTIPS_CLASSW, nullptr); w && !tips;
         w = ::FindWindowExW(nullptr, w, TOOLTIPS_CLASSW, nullptr))
        if (::GetWindow(w, GW_OWNER) == dialog.Handle()) tips = w;
    ASSERT_NE(tips, nullptr);
    EXPECT_EQ(::SendMessageW(tips, TTM_GETTOOLCOUNT, 0, 0), 2);
    wchar_t text[80] = {};
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = dialog.Handle();
    tool.uId = kAddressLabel;
    tool.lpszText = text;
    ::SendMessageW(tips, TTM_GETTEXTW, 80, reinterpret_cast<LPARAM>(&tool));
    EXPECT_EQ(std::wstring(text), L"Source address");
    dialog.SetItemTip(kAddressLabel, "");
    EXPECT_EQ(::SendMessageW(tips, TTM_GETTOOLCOUNT, 0, 0), 1);
}

// The system's file dialogs, answered from another thread as a user would:
// the name typed, OK (or Cancel). The path comes back in UTF-8, a saved
// name gains the default extension, and the dialog is the window's own.
TEST(SkinDialog, FileNamesAskedOfTheSystem) {
    TestDialog dialog(132);
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"orn-ask-" + std::to_wstring(::GetCurrentProcessId());
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    const std::string folderUtf8 = Utf8Text(folder);
    HWND owner = nullptr;
    const auto answer = [&](std::wstring typed) {
        return std::thread([&owner, &dialog, typed] {
            HWND box = nullptr;
            for (int i = 0; i < 200 && !box; ++i) {
                ::Sleep(50);
                for (HWND w = ::FindWindowExW(nullptr, nullptr, L"#32770", nullptr); w && !box;
                     w = ::FindWindowExW(nullptr, w, L"#32770", nullptr))
                    if (::IsWindowVisible(w) && ::GetWindow(w, GW_OWNER) == dialog.Handle()) box = w;
            }
            owner = box ? dialog.Handle() : nullptr;
            if (!box) return;
            // The name's box: an edit (edt1), or a combo box (cmb13) in later templates.
            for (const int name : {0x480, 0x47C})
                if (!typed.empty()) ::SetDlgItemTextW(box, name, typed.c_str());
            ::PostMessageW(box, WM_COMMAND, typed.empty() ? IDCANCEL : IDOK, 0);
            for (int i = 0; i < 100 && ::IsWindow(box); ++i) ::Sleep(50);
            if (::IsWindow(box)) ::PostMessageW(box, WM_COMMAND, IDCANCEL, 0);  // refused: the check fails, no hang
        });
    };
    const std::vector<std::string> types = {"pcapng files (*.pcapng)", "All files (*)"};
    std::thread user = answer(L"Mitschnitt-\u00fc");
    EXPECT_EQ(dialog.AskSaveFileName("Save as pcapng", folderUtf8, types, "pcapng"),
              folderUtf8 + "\\Mitschnitt-\xc3\xbc.pcapng");
    user.join();
    EXPECT_EQ(owner, dialog.Handle());

    const std::wstring existing = folder + L"\\caf\u00e9.pcap";
    ::CloseHandle(::CreateFileW(existing.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    user = answer(existing);
    EXPECT_EQ(dialog.AskOpenFileName("Open capture", folderUtf8, types), Utf8Text(existing));
    user.join();
    user = answer(L"");
    EXPECT_EQ(dialog.AskOpenFileName("Open capture", folderUtf8, types), "");
    user.join();
    ::DeleteFileW(existing.c_str());
    ::RemoveDirectoryW(folder.c_str());
}

TEST(SkinDialog, PostedCallsTimersAndTheirEnd) {
    // Calls from another thread arrive in order with one message, once.
    auto dialog = std::make_unique<TestDialog>();
    std::vector<int> arrived;
    std::thread([&] {
        for (int i = 0; i < 50; ++i) dialog->PostCall([&arrived, i] { arrived.push_back(i); });
    }).join();
    int messages = 0;
    MSG msg;
    while (::PeekMessageW(&msg, dialog->Handle(), 0, 0, PM_REMOVE)) {
        messages += msg.message >= WM_APP;
        ::DispatchMessageW(&msg);
    }
    EXPECT_EQ(messages, 1);
    ASSERT_EQ(arrived.size(), 50u);
    for (int i = 0; i < 50; ++i) EXPECT_EQ(arrived[std::size_t(i)], i);
    Pump();
    EXPECT_EQ(arrived.size(), 50u);
    // Pending when the window goes: dropped.
    dialog->PostCall([&] { arrived.push_back(-1); });
    dialog.reset();
    Pump();
    EXPECT_EQ(arrived.size(), 50u);

    TestDialog timed;
    timed.onTimer = [&](int id) {
        if (id == 5) timed.EndDialog(IDOK);
    };
    RunWith(timed, [&] {
        timed.SetTimer(3, 10);
        timed.SetTimer(4, 10);
        timed.KillTimer(4);
        timed.SetTimer(5, 200);
    });
    EXPECT_GE(std::count(timed.timers.begin(), timed.timers.end(), 3), 3);
    EXPECT_EQ(std::count(timed.timers.begin(), timed.timers.end(), 4), 0);
    EXPECT_EQ(std::count(timed.timers.begin(), timed.timers.end(), 5), 1);
}

TEST(WindowThreadQueue, PostsCoalescedAndATimerOnce) {
    int fired = 0;
    auto queue = std::make_unique<CWindowThreadQueue>([&] { ++fired; });
    std::vector<int> order;
    std::thread([&] {
        for (int i = 0; i < 20; ++i) queue->Post([&order, i] { order.push_back(i); });
    }).join();
    int messages = 0;
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        messages += msg.message >= WM_APP;
        ::DispatchMessageW(&msg);
    }
    EXPECT_EQ(messages, 1);
    queue->StartTimer(10);
    EXPECT_TRUE(queue->TimerActive());
    const DWORD start = ::GetTickCount();
    while (fired == 0 && ::GetTickCount() - start < 2000) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        Pump();
    }
    EXPECT_EQ(order.size(), 20u);
    EXPECT_EQ(fired, 1);
    EXPECT_FALSE(queue->TimerActive());
    queue->Post([&] { order.push_back(99); });
    queue->StartTimer(0);
    queue.reset();  // both dropped with the object
    ::Sleep(30);
    Pump();
    EXPECT_EQ(order.size(), 20u);
    EXPECT_EQ(fired, 1);
}

TEST(SkinServices, TrayIconClipboardAndWheel) {
    struct Owner : ITrayIconOwner {
        std::vector<std::pair<unsigned, unsigned>> got;
        long OnTrayMessage(unsigned message, unsigned iconId, unsigned mouse) override {
            EXPECT_EQ(iconId, 0u);
            got.emplace_back(message, mouse);
            return 0;
        }
    } owner;
    {
        CTrayIcon icon(&owner, WM_APP + 50, "ORN", {128});
        ASSERT_NE(icon.Window(), nullptr);
        ::SendMessageW(icon.Window(), CTrayIcon::kIconMessage, 0, WM_LBUTTONDBLCLK);
        ::SendMessageW(icon.Window(), CTrayIcon::kIconMessage, 0, WM_RBUTTONDOWN);
        CTrayIcon::SetTrayAvailableOverride(false);
        EXPECT_FALSE(CTrayIcon::InTray());
        CTrayIcon::SetTrayAvailableOverride(std::nullopt);
        EXPECT_EQ(CTrayIcon::InTray(), ::FindWindowW(L"Shell_TrayWnd", nullptr) != nullptr);
    }
    EXPECT_EQ(owner.got, (std::vector<std::pair<unsigned, unsigned>>{{WM_APP + 50, WM_LBUTTONDBLCLK},
                                                                      {WM_APP + 50, WM_RBUTTONDOWN}}));

    SetClipboardText("caf\xc3\xa9 \xe2\x86\x92");
    ASSERT_TRUE(::OpenClipboard(nullptr));
    HANDLE data = ::GetClipboardData(CF_UNICODETEXT);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(::GlobalLock(data))), L"caf\u00e9 \u2192");
    ::GlobalUnlock(data);
    ::CloseClipboard();
    EXPECT_GE(WheelScrollLines(), 1);
}

}  // namespace
