#include "windows/CPacketDetailsDlg.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPlainTextEdit>

#include "platform/help/Help.h"
#include "platform/msgbox/MessageBox.h"
#include "skin/qt/CSkinButton.h"
#include "skin/qt/CSkinControls.h"

namespace {

struct HelpTopic {
    std::string_view name;
    unsigned context;
};

// In the order they are compared; 10025 has no protocol.
constexpr HelpTopic kHelpTopics[] = {
    {"AH", 10001},     {"CBT", 10002},    {"EGP", 10003},    {"ESP", 10004},   {"GGP", 10005},
    {"GRE", 10006},    {"HMP", 10007},    {"ICMP", 10008},   {"ICMPv6", 10009}, {"IDRP", 10010},
    {"IFMP", 10011},   {"IGMP", 10012},   {"IPinIP", 10013}, {"IPPCP", 10014}, {"IRTP", 10015},
    {"MEP", 10016},    {"MTP", 10017},    {"NARP", 10018},   {"NETBLT", 10019}, {"NVP", 10020},
    {"OSPF", 10021},   {"PIM", 10022},    {"RDP", 10023},    {"RSVP", 10024},  {"SDRP", 10026},
    {"SKIP", 10027},   {"TCP", 10028},    {"TMux", 10029},   {"UDP", 10030},   {"VMTP", 10031},
    {"VRRP", 10032},
};
static_assert(std::size(kHelpTopics) == 31);

constexpr int kDetailsBackground = 190;
constexpr int kDetailsMask = 191;
constexpr int kMessageBox = 1037;

// The message view of the program's run.
bool hexView = false;

// A fixed-width field up to its terminator, one byte per character.
template <std::size_t N>
QString Text(const char (&field)[N]) {
    return QString::fromLatin1(field, int(qstrnlen(field, N)));
}

}  // namespace

std::optional<unsigned> PacketHelpContext(std::string_view protocolName) {
    for (const HelpTopic& topic : kHelpTopics)
        if (topic.name == protocolName) return topic.context;
    return std::nullopt;
}

CHeldBytes MessageOf(const CPacketRecord& r) { return r.Message(); }

QString MessageBoxText(const CHeldBytes& message, bool hex) {
    if (message.released) return QString::fromLatin1(kReleasedMessageText);
    const std::span<const std::uint8_t> bytes = message.bytes;
    if (!hex) {
        std::size_t end = 0;
        while (end < bytes.size() && bytes[end] != 0) ++end;
        return QString::fromLatin1(reinterpret_cast<const char*>(bytes.data()), qsizetype(end));
    }
    // "0000  47 45 54 20 2f 20 48 54  54 50 2f 31 2e 31 0d 0a  GET / HTTP/1.1.."
    static constexpr char kDigits[] = "0123456789abcdef";
    QString text;
    text.reserve(qsizetype(bytes.size() / 16 + 1) * 73);
    for (std::size_t line = 0; line < bytes.size(); line += 16) {
        if (line) text += QLatin1Char('\n');
        text += QStringLiteral("%1  ").arg(line, 4, 16, QLatin1Char('0'));
        QString ascii;
        for (std::size_t i = line; i < line + 16; ++i) {
            if (i > line) text += QLatin1String(i == line + 8 ? "  " : " ");
            if (i < bytes.size()) {
                const std::uint8_t b = bytes[i];
                text += QLatin1Char(kDigits[b >> 4]);
                text += QLatin1Char(kDigits[b & 15]);
                ascii += QLatin1Char(b >= 0x20 && b < 0x7f ? char(b) : '.');
            } else {
                text += QLatin1String("  ");
            }
        }
        text += QLatin1String("  ") + ascii;
    }
    return text;
}

bool CPacketDetailsDlg::HexView() { return hexView; }
void CPacketDetailsDlg::SetHexView(bool hex) { hexView = hex; }

CPacketDetailsDlg::CPacketDetailsDlg(QWidget* parent)
    : CSkinDialog(132, kDetailsBackground, kDetailsMask, parent), menu(new QMenu(this)) {
    MapClicked(ID_HELP, &CPacketDetailsDlg::OnHelp);

    QAction* hex = menu->addAction(QStringLiteral("Message as hex"));
    hex->setCheckable(true);
    hex->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    hex->setShortcutContext(Qt::WindowShortcut);
    addAction(hex);
    connect(hex, &QAction::triggered, this, [this] { ToggleHexView(); });
    connect(menu, &QMenu::aboutToShow, hex, [hex] { hex->setChecked(hexView); });

    // Ctrl+C copies the whole entry, unless a text box has a selection of its own.
    QAction* copy = menu->addAction(QStringLiteral("Copy the entry\tCtrl+C"));
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WindowShortcut);
    addAction(copy);
    connect(copy, &QAction::triggered, this, [this] { QGuiApplication::clipboard()->setText(EntryText()); });
    for (int id : {1036, kMessageBox})
        if (QWidget* box = Item(id)) box->installEventFilter(this);

    // The message box offers the entry below its own editing entries.
    if (auto* box = Control<QPlainTextEdit>(kMessageBox)) {
        box->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(box, &QWidget::customContextMenuRequested, this, [box, hex](QPoint at) {
            std::unique_ptr<QMenu> own(box->createStandardContextMenu(at));
            own->addSeparator();
            own->addAction(hex);
            hex->setChecked(hexView);
            own->exec(box->mapToGlobal(at));
        });
    }
}

QString CPacketDetailsDlg::EntryText() const {
    const auto text = [this](int id) { return GetDlgItemText(id); };
    return QStringLiteral("Source Addr: %1\tSource Port: %2\nDest. Addr: %3\tDest Port: %4\nSub-protocol: %5\n"
                          "Additional Info: %6\nMessage Body:\n%7\n")
        .arg(text(1024), text(1025), text(1026), text(1027), text(1029), text(1036), text(kMessageBox));
}

bool CPacketDetailsDlg::eventFilter(QObject* watched, QEvent* e) {
    // A text box takes Ctrl+C for itself; without a selection it lets the
    // window's Copy have it.
    if (e->type() == QEvent::ShortcutOverride && static_cast<QKeyEvent*>(e)->matches(QKeySequence::Copy))
        if (auto* box = qobject_cast<QPlainTextEdit*>(watched); box && !box->textCursor().hasSelection()) return true;
    return CSkinDialog::eventFilter(watched, e);
}

void CPacketDetailsDlg::ToggleHexView() {
    hexView = !hexView;
    ShowMessage();
}

void CPacketDetailsDlg::contextMenuEvent(QContextMenuEvent* e) {
    menu->exec(e->globalPos());
    e->accept();
}

void CPacketDetailsDlg::ShowMessage() {
    auto* box = Control<CSkinMultiEdit>(kMessageBox);
    if (!box) return;
    box->SetFixedPitch(hexView);
    box->SetText(record ? MessageBoxText(MessageOf(*record), hexView) : QString());
}

bool CPacketDetailsDlg::OnInitDialog() {
    CSkinDialog::OnInitDialog();
    CutWindowRegion(kDetailsMask);
    if (auto* help = Control<CSkinButton>(ID_HELP)) help->LoadBitmaps(202, 203, 204, 0);
    if (auto* ok = Control<CSkinButton>(IDOK)) ok->LoadBitmaps(185, 186, 187, 0);
    if (record) {
        SetDlgItemText(1024, Text(record->sourceAddress));
        SetDlgItemText(1025, Text(record->sourcePort));
        SetDlgItemText(1026, Text(record->destinationAddress));
        SetDlgItemText(1027, Text(record->destinationPort));
        SetDlgItemText(1029, Text(record->protocolName));
        SetDlgItemText(1036, Text(record->protocolText));
    }
    ShowMessage();
    return true;
}

void CPacketDetailsDlg::OnHelp() {
    if (!record) return;
    const CPacketRecord& r = *record;
    const auto context = PacketHelpContext(std::string_view(r.protocolName, qstrnlen(r.protocolName, sizeof r.protocolName)));
    if (!context) return;
    // Our help layer reports nothing of its own when the help file cannot be
    // opened; tell the user as the main window's Help does.
    ShowHelpContext(*context);
}
