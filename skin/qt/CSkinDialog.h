#pragma once
// The base of every ORN window: a captionless, frameless dialog built from
// its template, shaped by its mask bitmap, painted with its background
// bitmap, moved by a press anywhere on its surface, with the skin's control
// colours. Qt's signals of its controls arrive as the window system's
// notifications (WM_COMMAND, WM_NOTIFY, WM_HSCROLL, WM_VSCROLL, WM_HELP) in
// the virtual handlers below, so that windows are written with those numbers.
//
// A window subclasses it with its template and bitmaps:
//
//   class CFiltersDlg : public CSkinDialog {
//   public:
//       CFiltersDlg() : CSkinDialog(129, 190, 191) {
//           MapClicked(1005, &CFiltersDlg::OnAddSource);
//       }
//   protected:
//       bool OnInitDialog() override;  // controls exist; Control<T>(id)
//       void OnOK() override;
//   };
//   ... if (dlg.DoModal() == IDOK) ...

#include <QDialog>
#include <QPixmap>
#include <QPoint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "skin/MessageMap.h"
#include "skin/SkinIds.h"
#include "skin/SkinTypes.h"

class CSkinScrollBar;
class QAction;
class QMenu;
struct ControlTemplate;
struct DialogTemplate;

class CSkinDialog : public QDialog {
    Q_OBJECT
public:
    // backgroundBitmap and maskBitmap are resource ids (0: none). The
    // controls are made from the template here, so subclass constructors
    // may already reach them.
    CSkinDialog(int templateId, int backgroundBitmap, int maskBitmap, QWidget* parent = nullptr);
    ~CSkinDialog() override;

    // Runs the window modally: OnInitDialog, then the user until EndDialog.
    // Returns the EndDialog code: IDOK, IDCANCEL or the window's own.
    int DoModal();
    void EndDialog(int result);

    int TemplateId() const { return templateId; }
    const DialogTemplate& Template() const { return *dialogTemplate; }

    // The first control with that id (GetDlgItem), or nullptr.
    QWidget* Item(int id) const;
    template <class T>
    T* Control(int id) const {
        return qobject_cast<T*>(Item(id));
    }

    // Window-system style access to controls by id.
    void SetDlgItemText(int id, const QString& text);
    void SetDlgItemText(int id, const char* text);  // 8-bit text, one byte per character
    QString GetDlgItemText(int id) const;
    // The same in UTF-8, for windows that name no toolkit type.
    void SetDlgItemText(int id, const std::string& text);
    void GetDlgItemText(int id, std::string& text) const;
    void SetDlgItemInt(int id, long long value);
    // Decimal number in the control's text: blanks around it allowed, a sign
    // only when isSigned; anything else, or a value beyond 32 bits, gives 0
    // with *translated false.
    long long GetDlgItemInt(int id, bool* translated = nullptr, bool isSigned = true) const;
    void ShowItem(int id, bool show);
    void EnableItem(int id, bool enable);
    // Gives the control the keyboard focus; selectText also selects an
    // edit's whole text.
    void FocusItem(int id, bool selectText = false);
    void CheckDlgButton(int id, bool checked);
    bool IsDlgButtonChecked(int id) const;

    // WM_COMMAND: runs the mapped handler or the default (IDOK, IDCANCEL).
    void SendCommand(int id, int code = BN_CLICKED);

    // Region set-up: the window's shape from a mask bitmap. The base runs it
    // with the constructor's mask after OnInitDialog unless the window ran
    // it itself; it is built once per opening.
    void CutWindowRegion(int maskBitmap);
    bool RegionCut() const { return regionCut; }

    // A timer of this window: OnTimer(timerId) every ms milliseconds until
    // KillTimer. Setting a running timer again restarts it.
    void SetTimer(int timerId, int ms);
    void KillTimer(int timerId);

    // Runs call on the window's thread, later; from any thread. Dropped if
    // the window is gone by then.
    void PostCall(std::function<void()> call);

    // The window's menu: a right click on the window shows it; a command
    // runs as its id's BN_CLICKED command (MapClicked), also from its
    // shortcut while the window is active.
    void AppendMenu(int commandId, const std::string& text, SkinShortcut shortcut = {}, bool checkable = false);
    void CheckMenuItem(int commandId, bool checked);
    // A multi-line edit's own context menu offers the command below its
    // editing entries.
    void AddToEditMenu(int editId, int commandId);
    QMenu* ContextMenu() const { return menu; }  // null until AppendMenu
    // A submenu of the window's menu with its own id: entries go in with
    // AppendPopupEntry; onOpen runs each time it is about to show.
    void AppendPopupMenu(int popupId, const std::string& text, std::function<void()> onOpen = {});
    void AppendPopupEntry(int popupId, int commandId, const std::string& text, bool checkable = false);
    QMenu* PopupMenu(int popupId) const;  // null if none
    void ClearPopupMenu(int popupId);
    void AppendMenuSeparator();
    void EnableMenuItem(int commandId, bool enabled);
    // TrackPopupMenu: the window's menu at a point of the screen.
    void TrackPopupMenu(SkinPoint screenPos);
    SkinPoint ClientToScreen(SkinPoint pos) const;

    // Keys the window takes wherever its focus is (an accelerator table):
    // each press runs OnKeyDown. modifiers: kKeyShift, kKeyCtrl, kKeyAlt.
    void AddAccelerator(unsigned virtualKey, unsigned modifiers);
    // The id of the control with the keyboard focus, or 0.
    int FocusedItem() const;
    void SetItemTip(int id, const std::string& tip);
    // The wheel over the window's surface and its labels goes to bar.
    void SetWheelScrollBar(CSkinScrollBar* bar) { wheelBar = bar; }
    // DragAcceptFiles: a drop of one local file runs OnDropFile.
    void DragAcceptFile(bool accept);

    // The file windows (GetOpenFileName, GetSaveFileName): the chosen file
    // as a UTF-8 path, empty when cancelled. types: "Capture files
    // (*.pcap *.cap)" style entries; a saved name gets defaultExtension.
    std::string AskOpenFileName(const std::string& title, const std::string& directory,
                                const std::vector<std::string>& types);
    std::string AskSaveFileName(const std::string& title, const std::string& directory,
                                const std::vector<std::string>& types, const std::string& defaultExtension);

    // The window itself: title, icon by resource id, the layered alpha
    // (SetLayeredWindowAttributes: 255 opaque), ShowWindow's SW_ codes.
    void SetWindowText(const std::string& title);
    void SetIcon(int iconId);
    void SetLayeredAlpha(int alpha);
    void ShowWindow(int command);
    bool IsIconic() const;
    bool IsWindowVisible() const;
    // WM_CLOSE sent to the window.
    void SendClose();
    // The main window: an application window of its own with a taskbar
    // entry, whose run (DoModal) hiding it does not end.
    void MakeMainWindow();
    // EndDialog ran for this opening.
    bool Ending() const { return ending; }

    // Starts moving the window with the mouse, as a press on a caption would.
    void StartWindowMove(QPoint globalPos);

protected:
    // Message map: a handler for a notification of one control.
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

    // Handlers. Returning true from OnInitDialog gives the focus to the first
    // tab stop.
    virtual bool OnInitDialog();
    virtual void OnOK();      // EndDialog(IDOK)
    virtual void OnCancel();  // EndDialog(IDCANCEL)
    virtual void OnClose();   // WM_CLOSE: the Cancel command
    // WM_HELP (F1): runs the handler mapped to ID_HELP, if any; returns true.
    virtual bool OnHelpInfo();
    virtual bool OnCommand(int id, int code);
    virtual bool OnNotify(int id, int code);
    virtual void OnHScroll(int code, int pos, CSkinScrollBar* bar);
    virtual void OnVScroll(int code, int pos, CSkinScrollBar* bar);
    virtual void OnTimer(int timerId);
    // WM_KEYDOWN: accelerators, and keys no control took. True: handled.
    virtual bool OnKeyDown(unsigned virtualKey, unsigned modifiers);
    // WM_CONTEXTMENU from a right click that no control took; onSurface: on
    // the window's surface or a label. True: handled. Default: the window's
    // menu, if any.
    virtual bool OnContextMenu(bool onSurface, SkinPoint screenPos);
    virtual void OnDropFile(const std::string& path);
    // While a notification's handler runs: the row or column it is about
    // (LVN_COLUMNCLICK: the column), else -1.
    int NotifyItem() const { return notifyItem; }
    // Background erase, and the main window's paint: the background bitmap
    // unscaled from the top-left corner.
    virtual void OnPaintBackground(QPainter& painter);
    // Left press on the surface, not on a control: moves the window.
    virtual void OnLButtonDown(QPoint pos, QPoint globalPos);

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

public:
    int exec() override;
    void done(int result) override;
    void accept() override;
    void reject() override;

private:
    void BuildControls();
    QWidget* CreateControl(const ControlTemplate& c, QWidget* previous);
    void WireNotifications(int id, QWidget* control);
    void InitForOpening();

    int templateId;
    const DialogTemplate* dialogTemplate;
    int backgroundBitmap;
    int maskBitmap;
    QPixmap background;
    std::vector<std::pair<int, QWidget*>> controls;  // template order
    CMessageMap messages;
    QMenu* menu = nullptr;
    std::map<int, QAction*> menuCommands;
    bool copyShortcut = false;  // a command has the Copy keys
    std::map<int, QMenu*> popups;
    CSkinScrollBar* wheelBar = nullptr;
    bool mainWindow = false;
    std::map<int, int> timers;  // timerId: Qt's timer
    int notifyItem = -1;
    bool initialised = false;  // OnInitDialog ran for this opening
    bool regionCut = false;
    bool ending = false;
    bool endedInInit = false;
    bool manualMove = false;
    QPoint moveOffset;
};
