#pragma once
// The base of every ORN window on Windows: a captionless popup dialog built
// from its template (CreateDialogIndirectParam over the template's size, its
// controls made one by one from the template's entries), shaped by its mask
// bitmap (SetWindowRgn), painted with its background bitmap, moved by a press
// anywhere on its surface, layered for transparency. One dialog procedure
// finds the object in the window's user data and calls the virtual handlers
// below with the notifications the controls send (WM_COMMAND, WM_NOTIFY,
// WM_HSCROLL, WM_VSCROLL, WM_HELP).
//
// The same interface as the Qt back end's, without its types: the windows
// are written once against it.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "skin/MessageMap.h"
#include "skin/SkinIds.h"
#include "skin/SkinTypes.h"
#include "skin/win32/SkinWindow.h"

class CSkinScrollBar;
struct HMENU__;
struct HBITMAP__;

class CSkinDialog {
public:
    // backgroundBitmap and maskBitmap are resource ids (0: none). The window
    // and its controls are made (hidden) here, so subclass constructors may
    // already reach them.
    CSkinDialog(int templateId, int backgroundBitmap, int maskBitmap, CSkinDialog* parent = nullptr);
    virtual ~CSkinDialog();
    CSkinDialog(const CSkinDialog&) = delete;
    CSkinDialog& operator=(const CSkinDialog&) = delete;

    // Runs the window modally (its owner disabled): OnInitDialog, then the
    // user until EndDialog. Returns the EndDialog code.
    int DoModal();
    void EndDialog(int result);

    int TemplateId() const { return templateId; }
    const DialogTemplate& Template() const { return *dialogTemplate; }
    SkinHwnd Handle() const { return hwnd; }

    // The first control with that id (GetDlgItem), or nullptr.
    CSkinWindow* Item(int id) const;
    template <class T>
    T* Control(int id) const {
        return dynamic_cast<T*>(Item(id));
    }

    // Window-system style access to controls by id; texts in UTF-8.
    void SetDlgItemText(int id, const char* text);
    void SetDlgItemText(int id, const std::string& text);
    void GetDlgItemText(int id, std::string& text) const;
    void SetDlgItemInt(int id, long long value);
    // Decimal number in the control's text: blanks around it allowed, a sign
    // only when isSigned; anything else, or a value beyond 32 bits, gives 0
    // with *translated false.
    long long GetDlgItemInt(int id, bool* translated = nullptr, bool isSigned = true) const;
    void ShowItem(int id, bool show);
    void EnableItem(int id, bool enable);
    void FocusItem(int id, bool selectText = false);
    void CheckDlgButton(int id, bool checked);
    bool IsDlgButtonChecked(int id) const;

    // WM_COMMAND: runs the mapped handler or the default (IDOK, IDCANCEL).
    void SendCommand(int id, int code = BN_CLICKED);

    // The window's shape from a mask bitmap: run by the base after
    // OnInitDialog unless the window ran it itself; once per opening.
    void CutWindowRegion(int maskBitmap);
    bool RegionCut() const { return regionCut; }

    // A timer of this window: OnTimer(timerId) every ms milliseconds until
    // KillTimer. Setting a running timer again restarts it.
    void SetTimer(int timerId, int ms);
    void KillTimer(int timerId);

    // Runs call on the window's thread, later; from any thread. Dropped if
    // the window is gone by then. Calls posted together arrive with one
    // window message.
    void PostCall(std::function<void()> call);

    // The window's menu (a popup menu): a right click on the window shows it;
    // a command runs as its id's BN_CLICKED command, also from its shortcut.
    void AppendMenu(int commandId, const std::string& text, SkinShortcut shortcut = {}, bool checkable = false);
    void CheckMenuItem(int commandId, bool checked);
    // A multi-line edit's own context menu offers the command below its
    // editing entries.
    void AddToEditMenu(int editId, int commandId);
    void AppendPopupMenu(int popupId, const std::string& text, std::function<void()> onOpen = {});
    void AppendPopupEntry(int popupId, int commandId, const std::string& text, bool checkable = false);
    void ClearPopupMenu(int popupId);
    void AppendMenuSeparator();
    void EnableMenuItem(int commandId, bool enabled);
    void TrackPopupMenu(SkinPoint screenPos);
    SkinPoint ClientToScreen(SkinPoint pos) const;
    bool HasMenu() const { return menu != nullptr; }

    // Keys the window takes wherever its focus is (an accelerator table):
    // each press runs OnKeyDown.
    void AddAccelerator(unsigned virtualKey, unsigned modifiers);
    int FocusedItem() const;
    void SetItemTip(int id, const std::string& tip);
    // The wheel over the window's surface and its labels goes to bar.
    void SetWheelScrollBar(CSkinScrollBar* bar) { wheelBar = bar; }
    // DragAcceptFiles: a drop of one local file runs OnDropFile.
    void DragAcceptFile(bool accept);

    // GetOpenFileName, GetSaveFileName: the chosen file as a UTF-8 path,
    // empty when cancelled.
    std::string AskOpenFileName(const std::string& title, const std::string& directory,
                                const std::vector<std::string>& types);
    std::string AskSaveFileName(const std::string& title, const std::string& directory,
                                const std::vector<std::string>& types, const std::string& defaultExtension);

    void SetWindowText(const std::string& title);
    void SetIcon(int iconId);
    void SetLayeredAlpha(int alpha);  // SetLayeredWindowAttributes; 255 opaque
    void ShowWindow(int command);
    bool IsIconic() const;
    bool IsWindowVisible() const;
    void SendClose();  // WM_CLOSE
    // The main window: no owner, a taskbar entry; hiding it does not end DoModal.
    void MakeMainWindow();
    bool Ending() const { return ending; }

    // The dialog procedure's message handling (public for the procedure).
    std::intptr_t HandleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam, bool& handled);

protected:
    void MapCommand(int id, int code, std::function<void()> handler);
    void MapClicked(int id, std::function<void()> handler) { MapCommand(id, BN_CLICKED, std::move(handler)); }
    void MapNotify(int id, int code, std::function<void()> handler);
    template <class D>
    void MapClicked(int id, void (D::*fn)()) {
        MapCommand(id, BN_CLICKED, [this, fn] { (static_cast<D*>(this)->*fn)(); });
    }
    template <class D>
    void MapCommand(int id, int code, void (D::*fn)()) {
        MapCommand(id, code, [this, fn] { (static_cast<D*>(this)->*fn)(); });
    }
    template <class D>
    void MapNotify(int id, int code, void (D::*fn)()) {
        MapNotify(id, code, [this, fn] { (static_cast<D*>(this)->*fn)(); });
    }

    virtual bool OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    virtual void OnClose();
    virtual bool OnHelpInfo();
    virtual bool OnCommand(int id, int code);
    virtual bool OnNotify(int id, int code);
    virtual void OnHScroll(int code, int pos, CSkinScrollBar* bar);
    virtual void OnVScroll(int code, int pos, CSkinScrollBar* bar);
    virtual void OnTimer(int timerId);
    virtual bool OnKeyDown(unsigned virtualKey, unsigned modifiers);
    virtual bool OnContextMenu(bool onSurface, SkinPoint screenPos);
    virtual void OnDropFile(const std::string& path);
    int NotifyItem() const { return notifyItem; }

private:
    friend struct CSkinDialogAccess;  // the dialog procedure and subclasses in CSkinDialog.cpp
    void BuildControls();
    void InitForOpening();
    void ShowFirstTime();
    void ApplyPendingFocus();
    bool PreTranslate(const void* msg);  // a MSG of the modal loop; true: consumed
    bool ControlTakesKey(SkinHwnd focus, unsigned virtualKey, unsigned modifiers, const void* msg) const;
    void MenuCommand(int commandId);
    void ShowEditMenu(SkinHwnd edit, int commandId, SkinPoint screenPos);
    std::string AskFileName(bool save, const std::string& title, const std::string& directory,
                            const std::vector<std::string>& types, const std::string& defaultExtension);
    void RunPosted();

    int templateId;
    const DialogTemplate* dialogTemplate;
    int backgroundBitmap;
    int maskBitmap;
    CSkinDialog* parent;
    SkinHwnd hwnd = nullptr;
    HFONT__* font = nullptr;
    std::vector<std::pair<int, std::unique_ptr<CSkinWindow>>> controls;  // template order
    CMessageMap messages;
    HMENU__* menu = nullptr;
    std::map<int, HMENU__*> popups;
    std::map<int, std::function<void()>> popupOpeners;
    std::map<int, SkinShortcut> shortcuts;  // command id: its keys
    std::vector<std::pair<unsigned, unsigned>> accelerators;  // key, modifiers
    std::map<int, int> editMenuCommands;  // edit id: command id
    CSkinScrollBar* wheelBar = nullptr;
    SkinHwnd tooltip = nullptr;
    std::mutex postedMutex;
    std::vector<std::function<void()>> posted;
    bool postPending = false;
    std::shared_ptr<bool> alive;  // cleared when the window goes
    bool mainWindow = false;
    int notifyItem = -1;
    int result = 0;
    bool initialised = false;
    bool regionCut = false;
    bool ending = false;
    bool running = false;  // DoModal's loop
    HBITMAP__* background = nullptr;
    CSkinWindow* creating = nullptr;  // the control whose Create runs
    std::map<int, bool> checkable;    // command id: toggles its check when run
    int pendingFocus = 0;             // FocusItem before the window shows
    bool pendingSelect = false;
    bool focusFirst = false;          // OnInitDialog asked for the first tab stop
    bool shownBefore = false;         // placed once, centred, at the first showing
};
