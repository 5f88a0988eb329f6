#include "skin/qt/CSkinDialog.h"

#include <QAbstractButton>
#include <QAction>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QEventLoop>
#include <QFileDialog>
#include <QMimeData>
#include <QPointer>
#include <QWheelEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcut>
#include <QTimerEvent>
#include <QWindow>
#include <memory>

#include "platform/msgbox/QtMessageBox.h"
#include "resources/templates/DialogTemplates.h"
#include "skin/DialogInt.h"
#include "skin/qt/CSkinButton.h"
#include "skin/qt/CSkinComboBox.h"
#include "skin/qt/CSkinControls.h"
#include "skin/qt/CSkinListCtrl.h"
#include "skin/qt/SkinLook.h"
#include "skin/qt/WindowRegion.h"

namespace {

QRect PixelGeometry(const ControlTemplate& c) {
    PixelRect r = ControlRectInPixels(c);
    return QRect(r.x, r.y, r.width, r.height);
}

}  // namespace

CSkinDialog::CSkinDialog(int id, int backgroundId, int maskId, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      templateId(id),
      dialogTemplate(FindDialogTemplate(id)),
      backgroundBitmap(backgroundId),
      maskBitmap(maskId) {
    Q_ASSERT_X(dialogTemplate, "CSkinDialog", "unknown dialog template");
    InstallQtMessageBox();
    setFont(SkinFont());
    setAttribute(Qt::WA_OpaquePaintEvent);
    PixelRect size = DialogSizeInPixels(*dialogTemplate);
    setFixedSize(size.width, size.height);
    if (backgroundBitmap) background = LoadSkinBitmap(backgroundBitmap);
    BuildControls();
    // WM_HELP: F1 anywhere in the window.
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    help->setContext(Qt::WindowShortcut);
    connect(help, &QShortcut::activated, this, [this] { OnHelpInfo(); });
}

CSkinDialog::~CSkinDialog() = default;

// ---- building from the template ---------------------------------------------

void CSkinDialog::BuildControls() {
    QWidget* previous = nullptr;
    for (const ControlTemplate& c : dialogTemplate->controls) {
        QWidget* w = CreateControl(c, previous);
        ApplyControlColours(w);
        if (c.kind != ControlKind::Label && c.kind != ControlKind::Icon)
            w->setFocusPolicy(c.style & kTabStop ? Qt::StrongFocus
                              : (c.kind == ControlKind::ScrollBar || c.kind == ControlKind::UpDown) ? Qt::NoFocus
                                                                                                  : Qt::ClickFocus);
        if (c.style & kHidden) w->hide();
        w->setObjectName(QStringLiteral("control%1").arg(c.id));
        controls.emplace_back(c.id, w);
        if (c.id != IDC_STATIC) WireNotifications(c.id, w);
        previous = w;
    }
}

QWidget* CSkinDialog::CreateControl(const ControlTemplate& c, QWidget* previous) {
    const QString text = c.text ? QString::fromLatin1(c.text) : QString();
    const QRect geometry = PixelGeometry(c);
    QWidget* w = nullptr;
    switch (c.kind) {
    case ControlKind::PushButton: {
        auto* b = new CSkinButton(this);
        b->setText(text);  // never drawn; the bitmap carries the caption
        w = b;
        break;
    }
    case ControlKind::Label:
        w = new CSkinLabel(text, c.style, this);
        break;
    case ControlKind::Icon:
        w = new CSkinIconStatic(text.toInt(), this);
        break;
    case ControlKind::Edit:
        if (c.style & kMultiLine)
            w = new CSkinMultiEdit(c.style, this);
        else
            w = new CSkinEdit(c.style, this);
        break;
    case ControlKind::ListView: {
        auto* list = new CSkinListCtrl(c.style & kSixColumn ? CSkinListCtrl::Use::SixColumn
                                                            : CSkinListCtrl::Use::TwoColumn,
                                       this);
        list->SetHeaderVisible(!(c.style & kNoHeader));
        list->SetBorder(c.style & kBorder);
        w = list;
        break;
    }
    case ControlKind::ScrollBar:
        w = new CSkinScrollBar(c.style & kVertical ? Qt::Vertical : Qt::Horizontal, this);
        break;
    case ControlKind::RadioButton:
        w = new CSkinRadioButton(text, c.style, this);
        break;
    case ControlKind::CheckBox:
        w = new CSkinCheckBox(text, c.style, this);
        break;
    case ControlKind::ComboBox: {
        auto* combo = new CSkinComboBox(this);
        for (const char* item : c.items) combo->AddString(QString::fromLatin1(item));
        combo->SetCurSel(-1);
        // The template's height is the dropped-down list's extent.
        int listHeight = geometry.height() - CSkinComboBox::kClosedHeight;
        combo->setMaxVisibleItems(std::max(1, listHeight / CSkinComboBox::kItemHeight));
        combo->setGeometry(geometry.x(), geometry.y(), geometry.width(), CSkinComboBox::kClosedHeight);
        return combo;
    }
    case ControlKind::UpDown: {
        auto* spin = new CSkinUpDown(c.style, this);
        spin->setGeometry(geometry);
        if (c.style & kAutoBuddy) spin->SetBuddy(qobject_cast<QLineEdit*>(previous));
        return spin;
    }
    }
    w->setGeometry(geometry);
    return w;
}

// The one place where Qt's signals become the window system's notifications.
void CSkinDialog::WireNotifications(int id, QWidget* w) {
    if (auto* b = qobject_cast<QAbstractButton*>(w)) {
        connect(b, &QAbstractButton::clicked, this, [this, id] { SendCommand(id, BN_CLICKED); });
    } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
        connect(e, &QLineEdit::textChanged, this, [this, id] { SendCommand(id, EN_CHANGE); });
    } else if (auto* m = qobject_cast<QPlainTextEdit*>(w)) {
        connect(m, &QPlainTextEdit::textChanged, this, [this, id] { SendCommand(id, EN_CHANGE); });
    } else if (auto* combo = qobject_cast<CSkinComboBox*>(w)) {
        connect(combo, &CSkinComboBox::selectionChanged, this, [this, id] { SendCommand(id, CBN_SELCHANGE); });
    } else if (auto* list = qobject_cast<CSkinListCtrl*>(w)) {
        connect(list, &CSkinListCtrl::doubleClicked, this, [this, id] { OnNotify(id, NM_DBLCLK); });
        connect(list, &CSkinListCtrl::headerClicked, this, [this, id](int column) {
            notifyItem = column;
            OnNotify(id, LVN_COLUMNCLICK);
            notifyItem = -1;
        });
    } else if (auto* bar = qobject_cast<CSkinScrollBar*>(w)) {
        connect(bar, &CSkinScrollBar::scrolled, this, [this, bar](int code, int pos) {
            if (bar->orientation() == Qt::Vertical)
                OnVScroll(code, pos, bar);
            else
                OnHScroll(code, pos, bar);
        });
    }
}

// ---- lookup and texts ---------------------------------------------------------

QWidget* CSkinDialog::Item(int id) const {
    for (const auto& [cid, w] : controls)
        if (cid == id) return w;
    return nullptr;
}

void CSkinDialog::SetDlgItemText(int id, const QString& text) {
    QWidget* w = Item(id);
    if (auto* multi = qobject_cast<CSkinMultiEdit*>(w))
        multi->SetText(text);
    else if (auto* edit = qobject_cast<QLineEdit*>(w))
        edit->setText(text);
    else if (auto* label = qobject_cast<QLabel*>(w))
        label->setText(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(w))
        button->setText(text);
    else if (w)
        w->setWindowTitle(text);
}

void CSkinDialog::SetDlgItemText(int id, const char* text) {
    SetDlgItemText(id, QString::fromLatin1(text ? text : ""));
}

QString CSkinDialog::GetDlgItemText(int id) const {
    QWidget* w = Item(id);
    if (auto* multi = qobject_cast<QPlainTextEdit*>(w)) return multi->toPlainText();
    if (auto* edit = qobject_cast<QLineEdit*>(w)) return edit->text();
    if (auto* label = qobject_cast<QLabel*>(w)) return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->text();
    if (auto* combo = qobject_cast<QComboBox*>(w)) return combo->currentText();
    return w ? w->windowTitle() : QString();
}

void CSkinDialog::SetDlgItemText(int id, const std::string& text) {
    SetDlgItemText(id, QString::fromStdString(text));
}

void CSkinDialog::GetDlgItemText(int id, std::string& text) const { text = GetDlgItemText(id).toStdString(); }

void CSkinDialog::SetDlgItemInt(int id, long long value) { SetDlgItemText(id, QString::number(value)); }

long long CSkinDialog::GetDlgItemInt(int id, bool* translated, bool isSigned) const {
    const QString text = GetDlgItemText(id);
    return ParseDialogInt(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()), std::size_t(text.size())),
                          translated, isSigned);
}

void CSkinDialog::ShowItem(int id, bool show) {
    if (QWidget* w = Item(id)) w->setVisible(show);
}

void CSkinDialog::EnableItem(int id, bool enable) {
    if (QWidget* w = Item(id)) w->setEnabled(enable);
}

void CSkinDialog::FocusItem(int id, bool selectText) {
    QWidget* w = Item(id);
    if (!w) return;
    w->setFocus();
    if (auto* edit = qobject_cast<QLineEdit*>(w); edit && selectText) edit->selectAll();
}

void CSkinDialog::CheckDlgButton(int id, bool checked) {
    if (auto* b = qobject_cast<QAbstractButton*>(Item(id))) {
        b->setCheckable(true);
        b->setChecked(checked);
    }
}

bool CSkinDialog::IsDlgButtonChecked(int id) const {
    auto* b = qobject_cast<QAbstractButton*>(Item(id));
    return b && b->isChecked();
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

void CSkinDialog::OnHScroll(int, int, CSkinScrollBar*) {}
void CSkinDialog::OnTimer(int) {}

void CSkinDialog::SetTimer(int timerId, int ms) {
    KillTimer(timerId);
    timers[timerId] = startTimer(ms);
}

void CSkinDialog::KillTimer(int timerId) {
    if (auto it = timers.find(timerId); it != timers.end()) {
        killTimer(it->second);
        timers.erase(it);
    }
}

void CSkinDialog::timerEvent(QTimerEvent* e) {
    for (const auto& [id, qtId] : timers)
        if (qtId == e->timerId()) {
            OnTimer(id);
            return;
        }
    QDialog::timerEvent(e);
}

void CSkinDialog::AppendMenu(int commandId, const std::string& text, SkinShortcut shortcut, bool checkable) {
    if (!menu) menu = new QMenu(this);
    QAction* action = menu->addAction(QString::fromStdString(text));
    action->setCheckable(checkable);
    if (shortcut.standardCopy) {
        action->setShortcut(QKeySequence::Copy);
        // A text box takes the Copy keys for itself; one without a selection
        // lets the window's command have them.
        if (!copyShortcut)
            for (const auto& [id, w] : controls)
                if (qobject_cast<QPlainTextEdit*>(w)) w->installEventFilter(this);
        copyShortcut = true;
    } else if (shortcut.ctrlLetter) {
        action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_A + (shortcut.ctrlLetter - 'A'))));
    }
    action->setShortcutContext(Qt::WindowShortcut);
    action->setData(commandId);
    addAction(action);
    connect(action, &QAction::triggered, this, [this, commandId] { SendCommand(commandId, BN_CLICKED); });
    menuCommands[commandId] = action;
}

void CSkinDialog::CheckMenuItem(int commandId, bool checked) {
    if (auto it = menuCommands.find(commandId); it != menuCommands.end()) it->second->setChecked(checked);
}

void CSkinDialog::AddToEditMenu(int editId, int commandId) {
    auto* box = qobject_cast<QPlainTextEdit*>(Item(editId));
    auto it = menuCommands.find(commandId);
    if (!box || it == menuCommands.end()) return;
    box->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(box, &QWidget::customContextMenuRequested, this, [box, action = it->second](QPoint at) {
        std::unique_ptr<QMenu> own(box->createStandardContextMenu(at));
        own->addSeparator();
        own->addAction(action);
        own->exec(box->mapToGlobal(at));
    });
}

void CSkinDialog::AppendPopupMenu(int popupId, const std::string& text, std::function<void()> onOpen) {
    if (!menu) menu = new QMenu(this);
    QMenu* popup = menu->addMenu(QString::fromStdString(text));
    popups[popupId] = popup;
    if (onOpen) connect(popup, &QMenu::aboutToShow, this, std::move(onOpen));
}

void CSkinDialog::AppendPopupEntry(int popupId, int commandId, const std::string& text, bool checkable) {
    QMenu* popup = PopupMenu(popupId);
    if (!popup) return;
    QAction* action = popup->addAction(QString::fromStdString(text));
    action->setCheckable(checkable);
    action->setData(commandId);
    connect(action, &QAction::triggered, this, [this, commandId] { SendCommand(commandId, BN_CLICKED); });
    menuCommands[commandId] = action;
}

QMenu* CSkinDialog::PopupMenu(int popupId) const {
    auto it = popups.find(popupId);
    return it == popups.end() ? nullptr : it->second;
}

void CSkinDialog::ClearPopupMenu(int popupId) {
    QMenu* popup = PopupMenu(popupId);
    if (!popup) return;
    for (QAction* action : popup->actions())
        for (auto it = menuCommands.begin(); it != menuCommands.end();)
            it = it->second == action ? menuCommands.erase(it) : std::next(it);
    popup->clear();
}

void CSkinDialog::AppendMenuSeparator() {
    if (!menu) menu = new QMenu(this);
    menu->addSeparator();
}

void CSkinDialog::EnableMenuItem(int commandId, bool enabled) {
    if (auto it = menuCommands.find(commandId); it != menuCommands.end()) it->second->setEnabled(enabled);
}

void CSkinDialog::TrackPopupMenu(SkinPoint at) {
    if (menu) menu->exec(QPoint(at.x, at.y));
}

SkinPoint CSkinDialog::ClientToScreen(SkinPoint pos) const {
    const QPoint p = mapToGlobal(QPoint(pos.x, pos.y));
    return {p.x(), p.y()};
}

namespace {

constexpr std::pair<unsigned, int> kVirtualKeys[] = {
    {VK_RETURN, Qt::Key_Return}, {VK_RETURN, Qt::Key_Enter}, {VK_SPACE, Qt::Key_Space},
    {VK_PRIOR, Qt::Key_PageUp},  {VK_NEXT, Qt::Key_PageDown}, {VK_END, Qt::Key_End},
    {VK_HOME, Qt::Key_Home},     {VK_UP, Qt::Key_Up},         {VK_DOWN, Qt::Key_Down},
    {VK_F3, Qt::Key_F3},
};

int QtKey(unsigned vk) {
    if (vk >= 'A' && vk <= 'Z') return Qt::Key_A + int(vk - 'A');
    for (auto [v, key] : kVirtualKeys)
        if (v == vk) return key;
    return 0;
}

unsigned VirtualKey(int key) {
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return 'A' + unsigned(key - Qt::Key_A);
    for (auto [v, k] : kVirtualKeys)
        if (k == key) return v;
    return 0;
}

unsigned KeyModifiers(Qt::KeyboardModifiers m) {
    return (m & Qt::ShiftModifier ? kKeyShift : 0) | (m & Qt::ControlModifier ? kKeyCtrl : 0) |
           (m & Qt::AltModifier ? kKeyAlt : 0);
}

QString FileTypes(const std::vector<std::string>& types) {
    QStringList list;
    for (const std::string& t : types) list << QString::fromStdString(t);
    return list.join(QStringLiteral(";;"));
}

}  // namespace

void CSkinDialog::AddAccelerator(unsigned vk, unsigned modifiers) {
    int combination = QtKey(vk);
    if (modifiers & kKeyShift) combination |= Qt::SHIFT;
    if (modifiers & kKeyCtrl) combination |= Qt::CTRL;
    if (modifiers & kKeyAlt) combination |= Qt::ALT;
    auto* shortcut = new QShortcut(QKeySequence(combination), this);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this, [this, vk, modifiers] { OnKeyDown(vk, modifiers); });
}

bool CSkinDialog::OnKeyDown(unsigned, unsigned) { return false; }

int CSkinDialog::FocusedItem() const {
    const QWidget* focus = focusWidget();
    for (const auto& [id, w] : controls)
        if (w == focus) return id;
    return 0;
}

void CSkinDialog::SetItemTip(int id, const std::string& tip) {
    if (QWidget* w = Item(id)) w->setToolTip(QString::fromStdString(tip));
}

void CSkinDialog::DragAcceptFile(bool accept) { setAcceptDrops(accept); }
void CSkinDialog::OnDropFile(const std::string&) {}

namespace {

// The one local file that a drop brings; empty for anything else.
QString DroppedFile(const QMimeData* data) {
    if (!data || !data->hasUrls() || data->urls().size() != 1 || !data->urls()[0].isLocalFile()) return {};
    return data->urls()[0].toLocalFile();
}

}  // namespace

void CSkinDialog::dragEnterEvent(QDragEnterEvent* e) {
    if (!DroppedFile(e->mimeData()).isEmpty()) e->acceptProposedAction();
}

void CSkinDialog::dropEvent(QDropEvent* e) {
    const QString file = DroppedFile(e->mimeData());
    if (file.isEmpty()) return;
    e->acceptProposedAction();
    OnDropFile(file.toStdString());
}

std::string CSkinDialog::AskOpenFileName(const std::string& title, const std::string& directory,
                                         const std::vector<std::string>& types) {
    QFileDialog dialog(this, QString::fromStdString(title), QString::fromStdString(directory), FileTypes(types));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first().toStdString();
}

std::string CSkinDialog::AskSaveFileName(const std::string& title, const std::string& directory,
                                         const std::vector<std::string>& types, const std::string& extension) {
    QFileDialog dialog(this, QString::fromStdString(title), QString::fromStdString(directory), FileTypes(types));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QString::fromStdString(extension));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first().toStdString();
}

void CSkinDialog::SetWindowText(const std::string& title) { setWindowTitle(QString::fromStdString(title)); }
void CSkinDialog::SetIcon(int iconId) { setWindowIcon(LoadSkinIcon(iconId)); }
void CSkinDialog::SetLayeredAlpha(int alpha) { setWindowOpacity(alpha / 255.0); }

void CSkinDialog::ShowWindow(int command) {
    switch (command) {
    case SW_HIDE: hide(); break;
    case SW_MINIMIZE: showMinimized(); break;
    case SW_RESTORE:
        showNormal();
        raise();
        activateWindow();
        break;
    default: break;
    }
}

bool CSkinDialog::IsIconic() const { return isMinimized(); }
bool CSkinDialog::IsWindowVisible() const { return isVisible(); }
void CSkinDialog::SendClose() { close(); }

void CSkinDialog::MakeMainWindow() {
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    mainWindow = true;
}

int CSkinDialog::exec() {
    if (!mainWindow) return QDialog::exec();
    // Like a modal run, except that hiding the window (to the tray) does not
    // end it, as it would end QDialog's own.
    QPointer<CSkinDialog> alive(this);
    show();
    if (!ending) {
        QEventLoop loop;
        connect(this, &QDialog::finished, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::DialogExec);
    }
    return alive ? result() : IDCANCEL;
}

void CSkinDialog::wheelEvent(QWheelEvent* e) {
    if (wheelBar && wheelBar->ReportWheel(e->angleDelta()))
        e->accept();
    else
        QDialog::wheelEvent(e);
}

bool CSkinDialog::OnContextMenu(bool, SkinPoint at) {
    if (!menu) return false;
    TrackPopupMenu(at);
    return true;
}

void CSkinDialog::contextMenuEvent(QContextMenuEvent* e) {
    // Labels do not take the mouse: a click on one is on the surface.
    QWidget* child = childAt(e->pos());
    const bool onSurface = !child || qobject_cast<CSkinLabel*>(child);
    if (OnContextMenu(onSurface, {e->globalPos().x(), e->globalPos().y()}))
        e->accept();
    else
        QDialog::contextMenuEvent(e);
}

bool CSkinDialog::eventFilter(QObject* watched, QEvent* e) {
    if (copyShortcut && e->type() == QEvent::ShortcutOverride && static_cast<QKeyEvent*>(e)->matches(QKeySequence::Copy))
        if (auto* box = qobject_cast<QPlainTextEdit*>(watched); box && !box->textCursor().hasSelection()) return true;
    return QDialog::eventFilter(watched, e);
}

void CSkinDialog::PostCall(std::function<void()> call) {
    QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}
void CSkinDialog::OnVScroll(int, int, CSkinScrollBar*) {}

bool CSkinDialog::OnInitDialog() { return true; }
void CSkinDialog::OnOK() { EndDialog(IDOK); }
void CSkinDialog::OnCancel() { EndDialog(IDCANCEL); }
void CSkinDialog::OnClose() { SendCommand(IDCANCEL, BN_CLICKED); }

// ---- opening and ending -----------------------------------------------------------

void CSkinDialog::InitForOpening() {
    if (initialised) return;
    initialised = true;
    ending = false;
    endedInInit = false;
    bool focusFirst = OnInitDialog();
    if (!regionCut && maskBitmap) CutWindowRegion(maskBitmap);
    if (focusFirst) {
        for (const auto& [id, w] : controls)
            if (w->focusPolicy() & Qt::TabFocus && !w->isHidden() && w->isEnabled()) {
                w->setFocus(Qt::OtherFocusReason);
                break;
            }
    }
}

int CSkinDialog::DoModal() {
    initialised = false;
    regionCut = false;
    InitForOpening();
    if (endedInInit) return result();
    return exec();
}

void CSkinDialog::EndDialog(int code) { done(code); }

void CSkinDialog::done(int code) {
    if (!isVisible()) endedInInit = true;
    ending = true;
    manualMove = false;
    initialised = false;
    regionCut = false;
    QDialog::done(code);
}

void CSkinDialog::accept() { SendCommand(IDOK, BN_CLICKED); }
void CSkinDialog::reject() { SendCommand(IDCANCEL, BN_CLICKED); }

void CSkinDialog::showEvent(QShowEvent* e) {
    InitForOpening();
    QDialog::showEvent(e);
}

void CSkinDialog::closeEvent(QCloseEvent* e) {
    if (ending || !isVisible()) {
        QDialog::closeEvent(e);
        return;
    }
    e->ignore();
    OnClose();
}

void CSkinDialog::CutWindowRegion(int maskId) {
    regionCut = true;
    QImage mask = LoadSkinBitmapImage(maskId);
    if (mask.isNull()) return;  // a missing bitmap is not reported
    setMask(BuildWindowRegion(mask, size()));
}

// ---- painting and moving ------------------------------------------------------------

void CSkinDialog::OnPaintBackground(QPainter& p) {
    // A missing bitmap is not reported; the window shows the plain brush.
    if (background.isNull())
        p.fillRect(rect(), QColor::fromRgb(kControlBrushRgb));
    else
        p.drawPixmap(0, 0, background);
}

void CSkinDialog::paintEvent(QPaintEvent*) {
    QPainter p(this);
    OnPaintBackground(p);
}

void CSkinDialog::OnLButtonDown(QPoint, QPoint globalPos) { StartWindowMove(globalPos); }

void CSkinDialog::StartWindowMove(QPoint globalPos) {
    QWindow* handle = windowHandle();
    if (handle && handle->startSystemMove()) return;
    // No window-manager move here: follow the mouse ourselves.
    manualMove = true;
    moveOffset = globalPos - pos();
}

void CSkinDialog::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) {
        OnLButtonDown(e->position().toPoint(), e->globalPosition().toPoint());
        e->accept();
        return;
    }
    QDialog::mousePressEvent(e);
}

void CSkinDialog::mouseMoveEvent(QMouseEvent* e) {
    if (manualMove && (e->buttons() & Qt::LeftButton)) {
        move(e->globalPosition().toPoint() - moveOffset);
        e->accept();
        return;
    }
    QDialog::mouseMoveEvent(e);
}

void CSkinDialog::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) manualMove = false;
    QDialog::mouseReleaseEvent(e);
}

void CSkinDialog::keyPressEvent(QKeyEvent* e) {
    if (const unsigned vk = VirtualKey(e->key()); vk && OnKeyDown(vk, KeyModifiers(e->modifiers()))) return;
    if (e->modifiers() & ~(Qt::KeypadModifier)) {
        QDialog::keyPressEvent(e);
        return;
    }
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // A focused button is the default one; otherwise the OK command.
        if (auto* b = qobject_cast<QAbstractButton*>(focusWidget()); b && b->isEnabled() && b->isVisible() &&
                                                                     qobject_cast<CSkinButton*>(b))
            b->click();
        else
            SendCommand(IDOK, BN_CLICKED);
        return;
    case Qt::Key_Escape:
        SendCommand(IDCANCEL, BN_CLICKED);
        return;
    default:
        QDialog::keyPressEvent(e);
    }
}
