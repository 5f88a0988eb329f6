#include "skin/win32/Win32Api.h"

#include "skin/win32/CSkinDialog.h"

#include <commdlg.h>
#include <windowsx.h>

#include <algorithm>
#include <cwchar>
#include <utility>

#include "platform/win32/WideText.h"
#include "skin/DialogInt.h"
#include "skin/win32/CSkinButton.h"
#include "skin/win32/CSkinComboBox.h"
#include "skin/win32/CSkinControls.h"
#include "skin/win32/CSkinListCtrl.h"
#include "skin/win32/SkinLook.h"
#include "skin/win32/WindowRegion.h"

namespace {

constexpr UINT kPostCallMessage = WM_APP + 3;
constexpr UINT_PTR kEditMenuSubclass = 0x4f524e;  // "ORN"
// The edit menu's own entries, below any command id the windows use.
enum EditEntry : UINT { kEditUndo = 0xff01, kEditCut, kEditCopy, kEditPaste, kEditDelete, kEditSelectAll };

// Template texts are 8-bit, one byte per character.
std::string Latin1ToUtf8(const char* text) {
    std::wstring wide;
    for (const char* p = text; p && *p; ++p) wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*p)));
    return Utf8Text(wide);
}

unsigned KeyModifiers() {
    return (::GetKeyState(VK_SHIFT) < 0 ? kKeyShift : 0) | (::GetKeyState(VK_CONTROL) < 0 ? kKeyCtrl : 0) |
           (::GetKeyState(VK_MENU) < 0 ? kKeyAlt : 0);
}

bool HasClass(HWND window, const wchar_t* name) {
    wchar_t buffer[64] = {};
    return window && ::GetClassNameW(window, buffer, 64) && ::_wcsicmp(buffer, name) == 0;
}

// The keys the windows handle in OnKeyDown: letters and these.
bool WindowKey(unsigned vk) {
    if (vk >= 'A' && vk <= 'Z') return true;
    for (unsigned key : {VK_RETURN, VK_SPACE, VK_PRIOR, VK_NEXT, VK_END, VK_HOME, VK_UP, VK_DOWN, VK_F3})
        if (vk == key) return true;
    return false;
}

// "Capture files (*.pcap *.cap)" -> "Capture files (*.pcap *.cap)\0*.pcap;*.cap\0", for each type.
std::wstring FilterString(const std::vector<std::string>& types) {
    std::wstring filter;
    for (const std::string& type : types) {
        std::string patterns = "*.*";
        const auto open = type.rfind('('), close = type.rfind(')');
        if (open != std::string::npos && close != std::string::npos && close > open + 1) {
            patterns.clear();
            for (char c : type.substr(open + 1, close - open - 1)) {
                if (c == ' ' || c == ';') {
                    if (!patterns.empty() && patterns.back() != ';') patterns += ';';
                } else {
                    patterns += c;
                }
            }
            if (!patterns.empty() && patterns.back() == ';') patterns.pop_back();
        }
        filter += WideText(type) + L'\0' + WideText(patterns) + L'\0';
    }
    if (filter.empty()) filter = std::wstring(L"All files (*.*)") + L'\0' + L"*.*" + L'\0';
    return filter + L'\0';
}

}  // namespace

// The window procedures that reach the dialog's private parts.
struct CSkinDialogAccess {
    static INT_PTR CALLBACK DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        CSkinDialog* dialog;
        if (message == WM_INITDIALOG) {
            dialog = reinterpret_cast<CSkinDialog*>(lParam);
            dialog->hwnd = window;
            ::SetWindowLongPtrW(window, GWLP_USERDATA, lParam);
        } else {
            dialog = reinterpret_cast<CSkinDialog*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        }
        if (!dialog) return FALSE;
        bool handled = false;
        const std::intptr_t result = dialog->HandleMessage(message, wParam, lParam, handled);
        if (!handled) return FALSE;
        switch (message) {
        // The messages whose answer is the procedure's own return value.
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
        case WM_COMPAREITEM:
        case WM_VKEYTOITEM:
        case WM_CHARTOITEM:
        case WM_QUERYDRAGICON:
        case WM_INITDIALOG:
            return static_cast<INT_PTR>(result);
        default:
            ::SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
            return TRUE;
        }
    }

    // A multi-line edit given a command for its context menu.
    static LRESULT CALLBACK EditMenuProcedure(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                              DWORD_PTR data) {
        auto* dialog = reinterpret_cast<CSkinDialog*>(data);
        if (message == WM_CONTEXTMENU) {
            auto it = dialog->editMenuCommands.find(::GetDlgCtrlID(edit));
            if (it != dialog->editMenuCommands.end()) {
                SkinPoint at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
                if (lParam == -1) {  // from the keyboard: at the box's corner
                    POINT corner{0, 0};
                    ::ClientToScreen(edit, &corner);
                    at = {corner.x, corner.y};
                }
                dialog->ShowEditMenu(edit, it->second, at);
                return 0;
            }
        } else if (message == WM_NCDESTROY) {
            ::RemoveWindowSubclass(edit, EditMenuProcedure, kEditMenuSubclass);
        }
        return ::DefSubclassProc(edit, message, wParam, lParam);
    }
};

// ---- making the window -------------------------------------------------------

CSkinDialog::CSkinDialog(int id, int backgroundId, int maskId, CSkinDialog* parentDialog)
    : templateId(id),
      dialogTemplate(FindDialogTemplate(id)),
      backgroundBitmap(backgroundId),
      maskBitmap(maskId),
      parent(parentDialog),
      alive(std::make_shared<bool>(true)) {
    static const bool controlsReady = [] {
        INITCOMMONCONTROLSEX classes{sizeof classes, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
        return ::InitCommonControlsEx(&classes) != FALSE;
    }();
    (void)controlsReady;
    if (!dialogTemplate) return;
    font = SkinFont();
    if (backgroundBitmap) background = LoadSkinBitmap(backgroundBitmap);

    // An empty captionless popup: the size is set in pixels below, and the
    // controls are made one by one from the template's entries.
    alignas(DWORD) WORD buffer[16] = {};
    auto* header = reinterpret_cast<DLGTEMPLATE*>(buffer);
    header->style = WS_POPUP | WS_CLIPCHILDREN;
    // What follows the header: no menu, the dialog class, no title.
    HWND owner = parent ? parent->hwnd : nullptr;
    ::CreateDialogIndirectParamW(::GetModuleHandleW(nullptr), header, owner, CSkinDialogAccess::DialogProcedure,
                                 reinterpret_cast<LPARAM>(this));
    if (hwnd) {
        const PixelRect size = DialogSizeInPixels(*dialogTemplate);
        ::SetWindowPos(hwnd, nullptr, 0, 0, size.width, size.height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    // Without a window (the desktop's heap or the handles used up) the
    // controls' objects still exist, without windows of their own: the
    // windows' set-up reaches them harmlessly and DoModal gives -1.
    BuildControls();
}

CSkinDialog::~CSkinDialog() {
    {
        std::lock_guard lock(postedMutex);
        *alive = false;
        posted.clear();
    }
    if (running && hwnd) {
        // Gone during its own modal run: give the owner back.
        if (HWND owner = ::GetWindow(hwnd, GW_OWNER)) ::EnableWindow(owner, TRUE);
    }
    controls.clear();
    if (hwnd) {
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        ::DestroyWindow(hwnd);
    }
    if (menu) ::DestroyMenu(menu);  // with its popups
    if (background) ::DeleteObject(background);
}

void CSkinDialog::BuildControls() {
    for (const ControlTemplate& entry : dialogTemplate->controls) {
        std::unique_ptr<CSkinWindow> control;
        switch (entry.kind) {
        case ControlKind::PushButton: control = std::make_unique<CSkinButton>(); break;
        case ControlKind::Label: control = std::make_unique<CSkinLabel>(); break;
        case ControlKind::Icon: control = std::make_unique<CSkinIconStatic>(); break;
        case ControlKind::Edit:
            if (entry.style & kMultiLine)
                control = std::make_unique<CSkinMultiEdit>();
            else
                control = std::make_unique<CSkinEdit>();
            break;
        case ControlKind::ListView: control = std::make_unique<CSkinListCtrl>(); break;
        case ControlKind::ScrollBar: control = std::make_unique<CSkinScrollBar>(); break;
        case ControlKind::RadioButton: control = std::make_unique<CSkinRadioButton>(); break;
        case ControlKind::CheckBox: control = std::make_unique<CSkinCheckBox>(); break;
        case ControlKind::ComboBox: control = std::make_unique<CSkinComboBox>(); break;
        case ControlKind::UpDown: control = std::make_unique<CSkinUpDown>(); break;
        }
        creating = control.get();
        control->Create(hwnd, entry, ControlRectInPixels(entry), font);
        creating = nullptr;
        controls.emplace_back(entry.id, std::move(control));
    }
    for (std::size_t i = 1; i < controls.size(); ++i) {
        if (!(dialogTemplate->controls[i].style & kAutoBuddy)) continue;
        if (auto* upDown = dynamic_cast<CSkinUpDown*>(controls[i].second.get()))
            upDown->SetBuddy(dynamic_cast<CSkinEdit*>(controls[i - 1].second.get()));
    }
}

// ---- lookup and texts ---------------------------------------------------------

CSkinWindow* CSkinDialog::Item(int id) const {
    for (const auto& [cid, control] : controls)
        if (cid == id) return control.get();
    return nullptr;
}

void CSkinDialog::SetDlgItemText(int id, const char* text) { SetDlgItemText(id, Latin1ToUtf8(text)); }

void CSkinDialog::SetDlgItemText(int id, const std::string& text) {
    CSkinWindow* control = Item(id);
    if (auto* multi = dynamic_cast<CSkinMultiEdit*>(control))
        multi->SetText(text);
    else if (control)
        control->SetText(text);
}

void CSkinDialog::GetDlgItemText(int id, std::string& text) const {
    const CSkinWindow* control = Item(id);
    text = control ? control->GetText() : std::string();
    if (dynamic_cast<const CSkinMultiEdit*>(control)) {
        // The box keeps "\r\n" line breaks; the windows read "\n".
        std::string plain;
        for (std::size_t i = 0; i < text.size(); ++i)
            if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) plain += text[i];
        text = std::move(plain);
    }
}

void CSkinDialog::SetDlgItemInt(int id, long long value) { SetDlgItemText(id, std::to_string(value)); }

long long CSkinDialog::GetDlgItemInt(int id, bool* translated, bool isSigned) const {
    std::string text;
    GetDlgItemText(id, text);
    const std::wstring wide = WideText(text);
    return ParseDialogInt(std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()), translated,
                          isSigned);
}

void CSkinDialog::ShowItem(int id, bool show) {
    if (CSkinWindow* control = Item(id)) control->Show(show);
}

void CSkinDialog::EnableItem(int id, bool enable) {
    if (CSkinWindow* control = Item(id)) control->Enable(enable);
}

void CSkinDialog::FocusItem(int id, bool selectText) {
    CSkinWindow* control = Item(id);
    if (!control) return;
    if (!::IsWindowVisible(hwnd)) {
        // The focus goes to a shown window: kept until DoModal shows this one.
        pendingFocus = id;
        pendingSelect = selectText;
        return;
    }
    ::SetFocus(control->Handle());
    if (auto* edit = dynamic_cast<CSkinEdit*>(control); edit && selectText) edit->SelectAll();
}

void CSkinDialog::CheckDlgButton(int id, bool checked) {
    if (auto* box = dynamic_cast<CSkinCheckBox*>(Item(id))) box->SetChecked(checked);
}

bool CSkinDialog::IsDlgButtonChecked(int id) const {
    auto* box = dynamic_cast<CSkinCheckBox*>(Item(id));
    return box && box->IsChecked();
}

int CSkinDialog::FocusedItem() const {
    for (HWND focus = ::GetFocus(); focus && focus != hwnd; focus = ::GetParent(focus))
        for (const auto& [id, control] : controls)
            if (control->Handle() == focus) return id;
    return 0;
}

// ---- commands and notifications ---------------------------------------------

void CSkinDialog::MapCommand(int id, int code, std::function<void()> handler) {
    messages.MapCommand(id, code, std::move(handler));
}

void CSkinDialog::MapNotify(int id, int code, std::function<void()> handler) {
    messages.MapNotify(id, code, std::move(handler));
}

void CSkinDialog::SendCommand(int id, int code) { OnCommand(id, code); }

bool CSkinDialog::OnCommand(int id, int code) {
    if (messages.RunCommand(id, code)) return true;
    if (code == BN_CLICKED && id == IDOK) {
        OnOK();
        return true;
    }
    if (code == BN_CLICKED && id == IDCANCEL) {
        OnCancel();
        return true;
    }
    return false;
}

bool CSkinDialog::OnNotify(int id, int code) { return messages.RunNotify(id, code); }

bool CSkinDialog::OnHelpInfo() {
    if (messages.HasCommand(ID_HELP, BN_CLICKED)) SendCommand(ID_HELP, BN_CLICKED);
    return true;
}

bool CSkinDialog::OnInitDialog() { return true; }
void CSkinDialog::OnOK() { EndDialog(IDOK); }
void CSkinDialog::OnCancel() { EndDialog(IDCANCEL); }
void CSkinDialog::OnClose() { SendCommand(IDCANCEL, BN_CLICKED); }
void CSkinDialog::OnHScroll(int, int, CSkinScrollBar*) {}
void CSkinDialog::OnVScroll(int, int, CSkinScrollBar*) {}
void CSkinDialog::OnTimer(int) {}
bool CSkinDialog::OnKeyDown(unsigned, unsigned) { return false; }
void CSkinDialog::OnDropFile(const std::string&) {}

bool CSkinDialog::OnContextMenu(bool, SkinPoint at) {
    if (!menu) return false;
    TrackPopupMenu(at);
    return true;
}

void CSkinDialog::SetTimer(int timerId, int ms) {
    if (hwnd) ::SetTimer(hwnd, static_cast<UINT_PTR>(timerId), static_cast<UINT>(ms < 0 ? 0 : ms), nullptr);
}

void CSkinDialog::KillTimer(int timerId) {
    if (hwnd) ::KillTimer(hwnd, static_cast<UINT_PTR>(timerId));
}

void CSkinDialog::PostCall(std::function<void()> call) {
    std::lock_guard lock(postedMutex);
    if (!*alive || !hwnd) return;
    posted.push_back(std::move(call));
    if (!postPending) postPending = ::PostMessageW(hwnd, kPostCallMessage, 0, 0) != FALSE;
}

void CSkinDialog::RunPosted() {
    std::vector<std::function<void()>> now;
    {
        std::lock_guard lock(postedMutex);
        now.swap(posted);
        postPending = false;
    }
    auto life = alive;
    for (auto& call : now) {
        if (!*life) return;  // a call ended the window's object
        call();
    }
}

// ---- the menu -------------------------------------------------------------------

void CSkinDialog::AppendMenu(int commandId, const std::string& text, SkinShortcut shortcut, bool isCheckable) {
    if (!menu) menu = ::CreatePopupMenu();
    std::string label = text;
    if (label.find('\t') == std::string::npos) {
        if (shortcut.standardCopy)
            label += "\tCtrl+C";
        else if (shortcut.ctrlLetter)
            label += std::string("\tCtrl+") + shortcut.ctrlLetter;
    }
    ::AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(commandId), WideText(label).c_str());
    if (shortcut.standardCopy || shortcut.ctrlLetter) shortcuts[commandId] = shortcut;
    checkable[commandId] = isCheckable;
}

void CSkinDialog::CheckMenuItem(int commandId, bool checked) {
    if (menu)
        ::CheckMenuItem(menu, static_cast<UINT>(commandId), MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

void CSkinDialog::AddToEditMenu(int editId, int commandId) {
    auto* edit = dynamic_cast<CSkinMultiEdit*>(Item(editId));
    if (!edit || !menu) return;
    editMenuCommands[editId] = commandId;
    ::SetWindowSubclass(edit->Handle(), CSkinDialogAccess::EditMenuProcedure, kEditMenuSubclass,
                        reinterpret_cast<DWORD_PTR>(this));
}

void CSkinDialog::ShowEditMenu(SkinHwnd edit, int commandId, SkinPoint at) {
    // The box's own editing entries, then the window's command.
    const bool readOnly = ::GetWindowLongW(edit, GWL_STYLE) & ES_READONLY;
    DWORD start = 0, end = 0;
    ::SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    const bool selection = start != end;
    const bool canPaste = !readOnly && ::IsClipboardFormatAvailable(CF_UNICODETEXT);
    HMENU own = ::CreatePopupMenu();
    auto add = [own](UINT id, const wchar_t* text, bool enabled) {
        ::AppendMenuW(own, MF_STRING | (enabled ? MF_ENABLED : MF_GRAYED), id, text);
    };
    add(kEditUndo, L"&Undo", !readOnly && ::SendMessageW(edit, EM_CANUNDO, 0, 0));
    ::AppendMenuW(own, MF_SEPARATOR, 0, nullptr);
    add(kEditCut, L"Cu&t", !readOnly && selection);
    add(kEditCopy, L"&Copy", selection);
    add(kEditPaste, L"&Paste", canPaste);
    add(kEditDelete, L"&Delete", !readOnly && selection);
    ::AppendMenuW(own, MF_SEPARATOR, 0, nullptr);
    add(kEditSelectAll, L"Select &All", ::GetWindowTextLengthW(edit) > 0);
    ::AppendMenuW(own, MF_SEPARATOR, 0, nullptr);
    wchar_t text[256] = {};
    ::GetMenuStringW(menu, static_cast<UINT>(commandId), text, 256, MF_BYCOMMAND);
    const UINT state = ::GetMenuState(menu, static_cast<UINT>(commandId), MF_BYCOMMAND);
    ::AppendMenuW(own, MF_STRING | (state != UINT(-1) ? (state & (MF_CHECKED | MF_GRAYED)) : 0),
                  static_cast<UINT_PTR>(commandId), text);
    ::SetForegroundWindow(hwnd);
    const UINT chosen = static_cast<UINT>(
        ::TrackPopupMenu(own, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, hwnd, nullptr));
    ::DestroyMenu(own);
    switch (chosen) {
    case 0: break;
    case kEditUndo: ::SendMessageW(edit, WM_UNDO, 0, 0); break;
    case kEditCut: ::SendMessageW(edit, WM_CUT, 0, 0); break;
    case kEditCopy: ::SendMessageW(edit, WM_COPY, 0, 0); break;
    case kEditPaste: ::SendMessageW(edit, WM_PASTE, 0, 0); break;
    case kEditDelete: ::SendMessageW(edit, WM_CLEAR, 0, 0); break;
    case kEditSelectAll: ::SendMessageW(edit, EM_SETSEL, 0, -1); break;
    default: MenuCommand(static_cast<int>(chosen)); break;
    }
}

void CSkinDialog::AppendPopupMenu(int popupId, const std::string& text, std::function<void()> onOpen) {
    if (!menu) menu = ::CreatePopupMenu();
    HMENU popup = ::CreatePopupMenu();
    ::AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), WideText(text).c_str());
    popups[popupId] = popup;
    if (onOpen) popupOpeners[popupId] = std::move(onOpen);
}

void CSkinDialog::AppendPopupEntry(int popupId, int commandId, const std::string& text, bool isCheckable) {
    auto it = popups.find(popupId);
    if (it == popups.end()) return;
    ::AppendMenuW(it->second, MF_STRING, static_cast<UINT_PTR>(commandId), WideText(text).c_str());
    checkable[commandId] = isCheckable;
}

void CSkinDialog::ClearPopupMenu(int popupId) {
    auto it = popups.find(popupId);
    if (it == popups.end()) return;
    while (::GetMenuItemCount(it->second) > 0) {
        const UINT id = ::GetMenuItemID(it->second, 0);
        if (id != UINT(-1)) checkable.erase(static_cast<int>(id));
        ::DeleteMenu(it->second, 0, MF_BYPOSITION);
    }
}

void CSkinDialog::AppendMenuSeparator() {
    if (!menu) menu = ::CreatePopupMenu();
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
}

void CSkinDialog::EnableMenuItem(int commandId, bool enabled) {
    if (menu)
        ::EnableMenuItem(menu, static_cast<UINT>(commandId), MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

void CSkinDialog::MenuCommand(int commandId) {
    // A checkable entry changes its tick as it runs, as a checkable action does.
    if (auto it = checkable.find(commandId); it != checkable.end() && it->second && menu) {
        const UINT state = ::GetMenuState(menu, static_cast<UINT>(commandId), MF_BYCOMMAND);
        if (state != UINT(-1)) CheckMenuItem(commandId, !(state & MF_CHECKED));
    }
    SendCommand(commandId, BN_CLICKED);
}

void CSkinDialog::TrackPopupMenu(SkinPoint at) {
    if (!menu || !hwnd) return;
    ::SetForegroundWindow(hwnd);
    const int chosen = static_cast<int>(
        ::TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, hwnd, nullptr));
    ::PostMessageW(hwnd, WM_NULL, 0, 0);  // so that the menu closes when the user clicks elsewhere next time
    if (chosen) MenuCommand(chosen);
}

SkinPoint CSkinDialog::ClientToScreen(SkinPoint pos) const {
    POINT p{pos.x, pos.y};
    if (hwnd) ::ClientToScreen(hwnd, &p);
    return {p.x, p.y};
}

void CSkinDialog::AddAccelerator(unsigned virtualKey, unsigned modifiers) {
    accelerators.emplace_back(virtualKey, modifiers);
}

// ---- tips, drops and file windows ----------------------------------------------

void CSkinDialog::SetItemTip(int id, const std::string& tipText) {
    CSkinWindow* control = Item(id);
    if (!control || !hwnd) return;
    if (!tooltip) {
        tooltip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd, nullptr,
                                    ::GetModuleHandleW(nullptr), nullptr);
        if (!tooltip) return;
        ::SendMessageW(tooltip, TTM_SETMAXTIPWIDTH, 0, 480);
    }
    // Labels and icons let the mouse through to the window (a press on them
    // moves it), so their tip is a rectangle of the window's own.
    HWND child = control->Handle();
    const bool transparent = dynamic_cast<CSkinLabel*>(control) || dynamic_cast<CSkinIconStatic*>(control);
    TTTOOLINFOW info{};
    info.cbSize = sizeof info;
    info.hwnd = hwnd;
    info.uFlags = TTF_SUBCLASS | (transparent ? 0 : TTF_IDISHWND);
    info.uId = transparent ? static_cast<UINT_PTR>(static_cast<unsigned>(id)) : reinterpret_cast<UINT_PTR>(child);
    if (transparent) {
        ::GetWindowRect(child, &info.rect);
        ::MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&info.rect), 2);
    }
    std::wstring text = WideText(tipText);
    info.lpszText = text.data();
    TTTOOLINFOW existing = info;
    existing.lpszText = nullptr;
    const bool known = ::SendMessageW(tooltip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&existing));
    if (text.empty()) {
        if (known) ::SendMessageW(tooltip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    } else if (known) {
        ::SendMessageW(tooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
    } else {
        ::SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    }
}

void CSkinDialog::DragAcceptFile(bool accept) {
    if (hwnd) ::DragAcceptFiles(hwnd, accept);
}

std::string CSkinDialog::AskFileName(bool save, const std::string& title, const std::string& directory,
                                     const std::vector<std::string>& types, const std::string& extension) {
    const std::wstring filter = FilterString(types);
    const std::wstring wideTitle = WideText(title), wideDirectory = WideText(directory);
    std::wstring wideExtension = WideText(extension);
    if (!wideExtension.empty() && wideExtension[0] == L'.') wideExtension.erase(0, 1);
    std::wstring file(32768, L'\0');
    OPENFILENAMEW request{};
    request.lStructSize = sizeof request;
    request.hwndOwner = hwnd;
    request.lpstrFilter = filter.c_str();
    request.nFilterIndex = 1;
    request.lpstrFile = file.data();
    request.nMaxFile = static_cast<DWORD>(file.size());
    request.lpstrTitle = wideTitle.empty() ? nullptr : wideTitle.c_str();
    request.lpstrInitialDir = wideDirectory.empty() ? nullptr : wideDirectory.c_str();
    request.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    BOOL chosen;
    if (save) {
        request.Flags |= OFN_OVERWRITEPROMPT;
        request.lpstrDefExt = wideExtension.empty() ? nullptr : wideExtension.c_str();
        chosen = ::GetSaveFileNameW(&request);
    } else {
        request.Flags |= OFN_FILEMUSTEXIST;
        chosen = ::GetOpenFileNameW(&request);
    }
    if (!chosen) return {};
    return Utf8Text(file.c_str());
}

std::string CSkinDialog::AskOpenFileName(const std::string& title, const std::string& directory,
                                         const std::vector<std::string>& types) {
    return AskFileName(false, title, directory, types, {});
}

std::string CSkinDialog::AskSaveFileName(const std::string& title, const std::string& directory,
                                         const std::vector<std::string>& types, const std::string& extension) {
    return AskFileName(true, title, directory, types, extension);
}

// ---- the window itself --------------------------------------------------------------

void CSkinDialog::SetWindowText(const std::string& title) {
    if (hwnd) ::SetWindowTextW(hwnd, WideText(title).c_str());
}

void CSkinDialog::SetIcon(int iconId) {
    if (!hwnd) return;
    if (HICON big = LoadSkinIcon(iconId, ::GetSystemMetrics(SM_CXICON)))
        ::SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    if (HICON small = LoadSkinIcon(iconId, ::GetSystemMetrics(SM_CXSMICON)))
        ::SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
}

void CSkinDialog::SetLayeredAlpha(int alpha) {
    if (!hwnd) return;
    alpha = alpha < 0 ? 0 : alpha > 255 ? 255 : alpha;
    const LONG_PTR ex = ::GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
    if (alpha == 255) {
        // Opaque: no layering, which costs every paint.
        if (ex & WS_EX_LAYERED) ::SetWindowLongPtrW(hwnd, GWL_EXSTYLE, ex & ~WS_EX_LAYERED);
        return;
    }
    if (!(ex & WS_EX_LAYERED)) ::SetWindowLongPtrW(hwnd, GWL_EXSTYLE, ex | WS_EX_LAYERED);
    ::SetLayeredWindowAttributes(hwnd, 0, static_cast<BYTE>(alpha), LWA_ALPHA);
}

void CSkinDialog::ShowFirstTime() {
    if (shownBefore || !hwnd) return;
    shownBefore = true;
    // Centred over the owner, or on the screen's work area.
    RECT area;
    HWND owner = ::GetWindow(hwnd, GW_OWNER);
    if (!owner || !::IsWindowVisible(owner) || ::IsIconic(owner) || !::GetWindowRect(owner, &area))
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    RECT own;
    ::GetWindowRect(hwnd, &own);
    const int width = own.right - own.left, height = own.bottom - own.top;
    int x = area.left + (area.right - area.left - width) / 2;
    int y = area.top + (area.bottom - area.top - height) / 2;
    RECT screen;
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &screen, 0);
    x = std::max<int>(screen.left, std::min<int>(x, screen.right - width));
    y = std::max<int>(screen.top, std::min<int>(y, screen.bottom - height));
    ::SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CSkinDialog::ApplyPendingFocus() {
    if (pendingFocus) {
        const int id = std::exchange(pendingFocus, 0);
        FocusItem(id, pendingSelect);
        return;
    }
    if (!std::exchange(focusFirst, false)) return;
    for (const auto& [id, control] : controls) {
        HWND child = control->Handle();
        if (child && (::GetWindowLongW(child, GWL_STYLE) & WS_TABSTOP) && ::IsWindowVisible(child) &&
            ::IsWindowEnabled(child)) {
            ::SetFocus(child);
            return;
        }
    }
}

void CSkinDialog::ShowWindow(int command) {
    if (!hwnd) return;
    if (command != SW_HIDE && !initialised) InitForOpening();
    if (command != SW_HIDE) ShowFirstTime();
    ::ShowWindow(hwnd, command);
    if (command == SW_RESTORE) ::SetForegroundWindow(hwnd);
    if (command != SW_HIDE && command != SW_MINIMIZE) ApplyPendingFocus();
}

bool CSkinDialog::IsIconic() const { return hwnd && ::IsIconic(hwnd); }
bool CSkinDialog::IsWindowVisible() const { return hwnd && ::IsWindowVisible(hwnd); }

void CSkinDialog::SendClose() {
    if (hwnd) ::SendMessageW(hwnd, WM_CLOSE, 0, 0);
}

void CSkinDialog::MakeMainWindow() {
    mainWindow = true;
    if (!hwnd) return;
    ::SetWindowLongPtrW(hwnd, GWLP_HWNDPARENT, 0);
    ::SetWindowLongPtrW(hwnd, GWL_STYLE, ::GetWindowLongPtrW(hwnd, GWL_STYLE) | WS_MINIMIZEBOX);
    ::SetWindowLongPtrW(hwnd, GWL_EXSTYLE, ::GetWindowLongPtrW(hwnd, GWL_EXSTYLE) | WS_EX_APPWINDOW);
}

// ---- opening and ending -----------------------------------------------------------

void CSkinDialog::InitForOpening() {
    if (initialised) return;
    initialised = true;
    ending = false;
    focusFirst = OnInitDialog();
    if (!regionCut && maskBitmap) CutWindowRegion(maskBitmap);
}

void CSkinDialog::CutWindowRegion(int maskId) {
    regionCut = true;
    HBITMAP mask = LoadSkinBitmap(maskId);
    if (!mask || !hwnd) return;  // a missing bitmap is not reported
    RECT r;
    ::GetWindowRect(hwnd, &r);
    HRGN region = BuildWindowRegion(mask, r.right - r.left, r.bottom - r.top);
    ::DeleteObject(mask);
    if (region && !::SetWindowRgn(hwnd, region, TRUE)) ::DeleteObject(region);  // the window owns it once set
}

int CSkinDialog::DoModal() {
    if (!hwnd) return -1;
    initialised = false;
    regionCut = false;
    InitForOpening();
    if (ending) return result;  // ended in OnInitDialog: never shown

    HWND owner = mainWindow ? nullptr : ::GetWindow(hwnd, GW_OWNER);
    const bool disabledOwner = owner && ::IsWindowEnabled(owner);
    if (disabledOwner) ::EnableWindow(owner, FALSE);
    ShowFirstTime();
    ::ShowWindow(hwnd, SW_SHOW);
    ::SetForegroundWindow(hwnd);
    ApplyPendingFocus();

    auto life = alive;
    running = true;
    MSG msg;
    while (*life && !ending) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));  // for the loop that runs after this one
            if (*life && !ending) {
                ending = true;
                result = IDCANCEL;
            }
            break;
        }
        if (got < 0) break;
        if (PreTranslate(&msg)) continue;
        if (*life && ::IsDialogMessageW(hwnd, &msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    if (!*life) return IDCANCEL;  // the window went during its own run
    running = false;
    // The owner comes back before this one hides, so that it is the one activated.
    if (disabledOwner) ::EnableWindow(owner, TRUE);
    ::ShowWindow(hwnd, SW_HIDE);
    return result;
}

void CSkinDialog::EndDialog(int code) {
    result = code;
    ending = true;
    initialised = false;
    regionCut = false;
    if (!hwnd) return;
    if (running)
        ::PostMessageW(hwnd, WM_NULL, 0, 0);  // wakes the modal loop, which hides the window
    else
        ::ShowWindow(hwnd, SW_HIDE);
}

// ---- keys -----------------------------------------------------------------------

bool CSkinDialog::ControlTakesKey(SkinHwnd focus, unsigned vk, unsigned modifiers, const void* msgPointer) const {
    if (!focus || focus == hwnd) return false;
    const auto* msg = static_cast<const MSG*>(msgPointer);
    const LRESULT code = ::SendMessageW(focus, WM_GETDLGCODE, vk, reinterpret_cast<LPARAM>(msg));
    HWND combo = HasClass(focus, WC_COMBOBOXW) ? focus : HasClass(::GetParent(focus), WC_COMBOBOXW) ? ::GetParent(focus) : nullptr;
    if (combo && ::SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0)) return true;  // the open list's keys
    if (vk == VK_ESCAPE) return false;
    if (vk == VK_RETURN) {
        const LONG style = ::GetWindowLongW(focus, GWL_STYLE);
        return HasClass(focus, WC_EDITW) && (style & ES_MULTILINE) && ((style & ES_WANTRETURN) || (modifiers & kKeyCtrl));
    }
    if (code & (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE)) return true;
    switch (vk) {
    case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN:
        return code & DLGC_WANTARROWS;
    case VK_SPACE:
        return code & (DLGC_WANTCHARS | DLGC_BUTTON | DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON);
    case VK_HOME: case VK_END: case VK_PRIOR: case VK_NEXT: case VK_DELETE: case VK_BACK: case VK_INSERT:
        return code & DLGC_WANTCHARS;
    default:
        // Letters and digits type into what takes characters, unless Ctrl or Alt make them commands.
        return (code & DLGC_WANTCHARS) && !(modifiers & (kKeyCtrl | kKeyAlt)) &&
               ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z') || vk >= VK_OEM_1);
    }
}

bool CSkinDialog::PreTranslate(const void* msgPointer) {
    const auto* msg = static_cast<const MSG*>(msgPointer);
    if (msg->message == WM_MOUSEWHEEL && (msg->hwnd == hwnd || ::IsChild(hwnd, msg->hwnd))) {
        // The wheel goes to what is under the mouse (a label: to the window).
        POINT at{GET_X_LPARAM(msg->lParam), GET_Y_LPARAM(msg->lParam)};
        HWND under = ::WindowFromPoint(at);
        if (under && under != msg->hwnd && (under == hwnd || ::IsChild(hwnd, under))) {
            ::SendMessageW(under, WM_MOUSEWHEEL, msg->wParam, msg->lParam);
            return true;
        }
        return false;
    }
    if (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN) return false;
    if (msg->hwnd != hwnd && !::IsChild(hwnd, msg->hwnd)) return false;
    const auto vk = static_cast<unsigned>(msg->wParam);
    const unsigned modifiers = KeyModifiers();
    HWND focus = ::GetFocus();
    const bool inEdit = HasClass(focus, WC_EDITW);

    // The window's own keys, wherever the focus is; a text box keeps its
    // editing keys.
    const bool editingKey = inEdit && ((modifiers == 0 && ((vk >= VK_PRIOR && vk <= VK_DOWN) || vk == VK_DELETE)) ||
                                       (modifiers == kKeyCtrl && (vk == 'A' || vk == 'C' || vk == 'V' || vk == 'X' ||
                                                                  vk == 'Z' || vk == VK_INSERT)));
    for (auto [key, mods] : accelerators)
        if (key == vk && mods == modifiers && !editingKey) {
            OnKeyDown(vk, modifiers);
            return true;
        }
    for (const auto& [command, shortcut] : shortcuts) {
        const bool copyKeys = shortcut.standardCopy && modifiers == kKeyCtrl && (vk == 'C' || vk == VK_INSERT);
        const bool letter = shortcut.ctrlLetter && modifiers == kKeyCtrl &&
                            vk == static_cast<unsigned>(shortcut.ctrlLetter & ~0x20);
        if (!copyKeys && !letter) continue;
        if (copyKeys && inEdit) {
            // A text box with a selection copies it; without one the window's command has the keys.
            DWORD start = 0, end = 0;
            ::SendMessageW(focus, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
            if (start != end) return false;
        }
        const UINT state = menu ? ::GetMenuState(menu, static_cast<UINT>(command), MF_BYCOMMAND) : UINT(-1);
        if (state != UINT(-1) && (state & MF_GRAYED)) return false;
        MenuCommand(command);
        return true;
    }
    if (vk == VK_F1 && modifiers == 0) {
        OnHelpInfo();
        return true;
    }
    if (vk == VK_TAB) return false;
    if (ControlTakesKey(focus, vk, modifiers, msg)) {
        if (vk != VK_RETURN && vk != VK_ESCAPE) return false;
        // Straight to the control: the dialog manager would make them OK and Cancel.
        ::TranslateMessage(msg);
        ::DispatchMessageW(msg);
        return true;
    }
    if (WindowKey(vk) && OnKeyDown(vk, modifiers)) return true;
    if (modifiers != 0) return false;
    if (vk == VK_RETURN) {
        // A focused button is the default one; otherwise the OK command.
        for (const auto& [id, control] : controls)
            if (control->Handle() == focus && dynamic_cast<CSkinButton*>(control.get()) && control->IsEnabled() &&
                control->IsVisible()) {
                SendCommand(id, BN_CLICKED);
                return true;
            }
        SendCommand(IDOK, BN_CLICKED);
        return true;
    }
    if (vk == VK_ESCAPE) {
        SendCommand(IDCANCEL, BN_CLICKED);
        return true;
    }
    return false;
}

// ---- the dialog procedure -------------------------------------------------------------

std::intptr_t CSkinDialog::HandleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam, bool& handled) {
    handled = true;
    // Messages about a control go to the control first.
    CSkinWindow* about = nullptr;
    switch (message) {
    case WM_DRAWITEM:
        if (wParam) about = Item(static_cast<int>(wParam));
        if (!about && wParam) about = creating;
        break;
    case WM_MEASUREITEM: {
        const auto* measure = reinterpret_cast<const MEASUREITEMSTRUCT*>(lParam);
        if (measure->CtlType != ODT_MENU) about = Item(static_cast<int>(measure->CtlID));
        if (!about && measure->CtlType != ODT_MENU) about = creating;
        break;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORLISTBOX:
    case WM_COMMAND:
    case WM_HSCROLL:
    case WM_VSCROLL:
        about = CSkinWindow::FromHandle(reinterpret_cast<HWND>(lParam));
        break;
    case WM_NOTIFY:
        about = CSkinWindow::FromHandle(reinterpret_cast<const NMHDR*>(lParam)->hwndFrom);
        break;
    default:
        break;
    }
    if (about) {
        std::intptr_t answer = 0;
        if (about->OnReflected(message, wParam, lParam, answer)) return answer;
    }

    switch (message) {
    case WM_INITDIALOG:
        return FALSE;  // the focus is set when the window shows
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORLISTBOX: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        ::SetTextColor(dc, SkinRgb(kControlText));
        ::SetBkColor(dc, SkinRgb(kControlBrush));
        if (dynamic_cast<CSkinLabel*>(about)) ::SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<std::intptr_t>(ControlBrush());
    }
    case WM_COMMAND: {
        int code = HIWORD(wParam);
        if (lParam == 0) code = BN_CLICKED;  // a menu or accelerator
        // An owner-drawn button's second click of a double click is a click too.
        if (code == BN_DOUBLECLICKED && dynamic_cast<CSkinButton*>(about)) code = BN_CLICKED;
        SendCommand(LOWORD(wParam), code);
        return 0;
    }
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (!about) break;
        const int id = static_cast<int>(header->idFrom);
        const int code = static_cast<int>(header->code);
        if (dynamic_cast<CSkinListCtrl*>(about)) {
            if (header->code == NM_DBLCLK) notifyItem = reinterpret_cast<const NMITEMACTIVATE*>(lParam)->iItem;
            if (header->code == LVN_COLUMNCLICK) notifyItem = reinterpret_cast<const NMLISTVIEW*>(lParam)->iSubItem;
        }
        OnNotify(id, code);
        notifyItem = -1;
        return 0;
    }
    case WM_HSCROLL:
    case WM_VSCROLL: {
        auto* bar = dynamic_cast<CSkinScrollBar*>(about);
        if (!bar) break;
        const int code = LOWORD(wParam);
        int pos = bar->GetScrollPos();
        if (code == SB_THUMBTRACK || code == SB_THUMBPOSITION) {
            pos = HIWORD(wParam);
            SCROLLINFO info{sizeof info, SIF_TRACKPOS, 0, 0, 0, 0, 0};
            if (code == SB_THUMBTRACK && ::GetScrollInfo(bar->Handle(), SB_CTL, &info)) pos = info.nTrackPos;
        }
        if (message == WM_VSCROLL)
            OnVScroll(code, pos, bar);
        else
            OnHScroll(code, pos, bar);
        return 0;
    }
    case WM_ERASEBKGND: {
        // The background bitmap unscaled from the top-left corner; a missing
        // one (not reported) leaves the plain brush.
        HDC dc = reinterpret_cast<HDC>(wParam);
        RECT client;
        ::GetClientRect(hwnd, &client);
        BITMAP size{};
        if (!background || !::GetObjectW(background, sizeof size, &size) || size.bmWidth < client.right ||
            size.bmHeight < client.bottom)
            ::FillRect(dc, &client, ControlBrush());
        if (background) {
            HDC source = ::CreateCompatibleDC(dc);
            HGDIOBJ old = ::SelectObject(source, background);
            ::BitBlt(dc, 0, 0, std::min<LONG>(client.right, size.bmWidth), std::min<LONG>(client.bottom, size.bmHeight),
                     source, 0, 0, SRCCOPY);
            ::SelectObject(source, old);
            ::DeleteDC(source);
        }
        return TRUE;
    }
    case WM_NCHITTEST: {
        // A press anywhere on the surface (labels let it through) moves the window.
        const LRESULT hit = ::DefWindowProcW(hwnd, message, wParam, lParam);
        return hit == HTCLIENT ? HTCAPTION : hit;
    }
    case WM_NCMOUSEMOVE:
        if (tooltip) {
            // The surface answers as a caption, so the tips of its labels see
            // the mouse only through here.
            POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            ::ScreenToClient(hwnd, &at);
            MSG relay{hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y), static_cast<DWORD>(::GetMessageTime()), {0, 0}};
            ::SendMessageW(tooltip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relay));
        }
        break;
    case WM_SETCURSOR:
        if (!WaitCursorShown()) break;
        ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
    case WM_MOUSEWHEEL:
        if (wheelBar && wheelBar->ReportWheel(GET_WHEEL_DELTA_WPARAM(wParam))) return 0;
        break;
    case WM_CONTEXTMENU: {
        HWND target = reinterpret_cast<HWND>(wParam);
        CSkinWindow* control = CSkinWindow::FromHandle(target);
        const bool onSurface = target == hwnd || dynamic_cast<CSkinLabel*>(control) ||
                               dynamic_cast<CSkinIconStatic*>(control);
        SkinPoint at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        if (lParam == -1) at = ClientToScreen({0, 0});  // from the keyboard
        if (OnContextMenu(onSurface, at)) return 0;
        break;
    }
    case WM_INITMENUPOPUP:
        for (const auto& [popupId, popup] : popups)
            if (reinterpret_cast<WPARAM>(popup) == wParam)
                if (auto it = popupOpeners.find(popupId); it != popupOpeners.end()) {
                    auto opener = it->second;
                    opener();
                    return 0;
                }
        break;
    case WM_TIMER:
        OnTimer(static_cast<int>(wParam));
        return 0;
    case WM_HELP:
        return OnHelpInfo();
    case WM_DROPFILES: {
        auto drop = reinterpret_cast<HDROP>(wParam);
        std::string path;
        if (::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) == 1) {
            std::wstring name(::DragQueryFileW(drop, 0, nullptr, 0) + 1, L'\0');
            name.resize(::DragQueryFileW(drop, 0, name.data(), static_cast<UINT>(name.size())));
            path = Utf8Text(name);
        }
        ::DragFinish(drop);
        if (!path.empty()) OnDropFile(path);
        return 0;
    }
    case WM_CLOSE:
        if (!ending && ::IsWindowVisible(hwnd)) OnClose();
        return 0;
    default:
        if (message == kPostCallMessage) {
            RunPosted();
            return 0;
        }
        break;
    }
    handled = false;
    return 0;
}
