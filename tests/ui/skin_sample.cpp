// Opens one skinned window of ORN's templates (the main window and the host
// browser with sample rows, the details window with a decoded HTTP request,
// the others as they come from their templates).
//   orn-skin-sample TEMPLATE [--hex] [--grab FILE]   offscreen: saves the window's own picture
//   orn-skin-sample TEMPLATE [--hex] --shot FILE     on X: shows the window at (40, 40), saves
//                                                    the whole screen and checks the shape
// --hex shows the details window's message as a hex dump. --shot exits 0
// when the screen shows the root window where the mask cuts the corners and
// the skin inside, 1 otherwise.

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <memory>

#include "decode/IpDatagram.h"
#include "dialogs/CConversationsDlg.h"
#include "dialogs/CPacketDetailsDlg.h"
#include "skin/qt/CSkinButton.h"
#include "skin/qt/CSkinComboBox.h"
#include "skin/qt/CSkinControls.h"
#include "skin/qt/CSkinDialog.h"
#include "skin/qt/CSkinListCtrl.h"
#include "skin/qt/SkinLook.h"

namespace {

struct Faces {
    int templateId, control, normal, selected, focus;
};
const Faces kFaces[] = {
    {102, 1000, 140, 143, 159}, {102, 1001, 145, 146, 160}, {102, 1003, 147, 149, 158}, {102, 1, 155, 156, 157},
    {102, 57670, 202, 203, 204}, {102, 1043, 208, 209, 210}, {102, 1018, 137, 193, 194}, {102, 1019, 139, 195, 196},
    {129, 1005, 176, 178, 178}, {129, 1009, 176, 178, 178}, {129, 1007, 179, 180, 181}, {129, 1011, 179, 180, 181},
    {129, 1016, 182, 183, 184}, {129, 1012, 182, 183, 184}, {129, 1, 185, 186, 187},    {129, 2, 173, 174, 175},
    {129, 57670, 202, 203, 204}, {130, 104, 205, 206, 207}, {130, 1, 185, 186, 187},    {130, 2, 173, 174, 175},
    {130, 57670, 202, 203, 204}, {132, 1, 185, 186, 187},   {132, 57670, 202, 203, 204}, {134, 1, 185, 186, 187},
    {134, 2, 173, 174, 175},    {134, 57670, 202, 203, 204}, {100, 1, 185, 186, 187},
};

int Background(int t) { return t == 102 ? 131 : (t == 129 || t == 132) ? 190 : 188; }
int Mask(int t) { return t == 102 ? 133 : (t == 129 || t == 132) ? 191 : 189; }

class CSampleDlg : public CSkinDialog {
public:
    explicit CSampleDlg(int t) : CSkinDialog(t, Background(t), Mask(t)) {}

protected:
    bool OnInitDialog() override {
        for (const Faces& f : kFaces)
            if (f.templateId == TemplateId())
                if (auto* b = Control<CSkinButton>(f.control)) b->LoadBitmaps(f.normal, f.selected, f.focus, 0);
        switch (TemplateId()) {
        case 102: Main(); break;
        case 134: Hosts(); break;
        }
        return true;
    }

private:
    void Main() {
        for (int id : {1031, 1033, 1034, 1023, 1024, 1025, 1026, 1027, 1028, 1035, kLostLabel, kUnloggedLabel})
            ShowItem(id, true);
        ShowItem(1000, false);
        SetDlgItemText(kLostLabel, "12 lost");
        SetDlgItemText(kUnloggedLabel, "12345 not logged");
        SetDlgItemText(1031, "1834 B/s");
        SetDlgItemText(1033, "100000 packets/sec");
        Control<CSkinScrollBar>(1030)->SetScrollRange(20, 100);
        Control<CSkinScrollBar>(1030)->SetScrollPos(100);
        auto* list = Control<CSkinListCtrl>(1023);
        list->SetBkColor(QColor::fromRgb(kListBackgroundRgb));
        int w = list->width();
        const int widths[] = {2 * w / 8 + 11, w / 8 - 5, 2 * w / 8 + 11, w / 8 - 5, w / 8 - 7, w / 8 - 5};
        for (int k = 0; k < 6; ++k) list->InsertColumn(k, QString(), LVCFMT_LEFT, widths[k]);
        const char* protocols[] = {"TCP", "UDP", "ICMP", "TCP", "IGMP", "UDP", "TCP"};
        for (int i = 0; i < 13; ++i) {
            int row = list->InsertItem(list->GetItemCount(), QStringLiteral("192.168.7.%1").arg(10 + i));
            list->SetItemText(row, 1, QString::number(1024 + 37 * i));
            list->SetItemText(row, 2, QStringLiteral("10.20.30.%1").arg(200 - i));
            list->SetItemText(row, 3, i % 3 ? "443" : "53");
            list->SetItemText(row, 4, protocols[i % 7]);
            list->SetItemText(row, 5, QString::number(40 + 97 * i));
        }
        list->SetSelectedRow(4);
    }
    void Hosts() {
        auto* list = Control<CSkinListCtrl>(1038);
        list->SetBkColor(QColor::fromRgb(kListBackgroundRgb));
        list->InsertColumn(0, "Address", LVCFMT_LEFT, list->width() / 2);
        list->InsertColumn(1, "Name", LVCFMT_LEFT, list->width() / 2);
        for (int i = 0; i < 8; ++i) {
            int row = list->InsertItem(i, QStringLiteral("192.168.7.%1").arg(1 + i * 3));
            list->SetItemText(row, 1, i == 5 ? "" : QStringLiteral("host-%1").arg(i + 1));
        }
        list->SetSelectedRow(2);
        Control<CSkinScrollBar>(1040)->SetScrollRange(1, 100);
        Control<CSkinScrollBar>(1040)->SetScrollPos(1);
    }
};

// A TCP segment of an HTTP request from 192.168.7.10 to 10.20.30.40, decoded
// with full info and its message.
std::shared_ptr<const CPacketRecord> SampleRecord() {
    const char request[] = "GET /index.html HTTP/1.1\r\nHost: 10.20.30.40\r\nUser-Agent: orn-sample\r\n\r\n";
    std::vector<std::uint8_t> d = {0x45, 0, 0, 0, 0x1c, 0x46, 0x40, 0, 64, 6, 0, 0, 192, 168, 7, 10, 10, 20, 30, 40,
                                   0xc3, 0x50, 0, 80, 0xb6, 0x0b, 0x3e, 0x51, 0x9f, 0x2a, 0x81, 0x07, 0x50, 0x18, 0xfa, 0xf0,
                                   0x6d, 0x1c, 0, 0};
    d.insert(d.end(), request, request + std::strlen(request));
    d[2] = std::uint8_t(d.size() >> 8), d[3] = std::uint8_t(d.size());
    auto record = std::make_shared<CPacketRecord>();
    static char text[kDecodedTextSize];
    int accepted = 0, length = 0;
    DecodeIpDatagram(d, std::uint32_t(d.size()), accepted, text, length, {}, {}, {}, {}, 1, 1, *record);
    return record;
}

// The shape seen on the screen: corners of the window show the root window,
// its middle shows the skin.
bool CheckShot(const QImage& screen, QPoint at, QSize size) {
    QRgb root = screen.pixel(2, 2);
    QRgb corner = screen.pixel(at);
    QRgb middle = screen.pixel(at + QPoint(size.width() / 2, size.height() / 2));
    QRgb cornerBR = screen.pixel(at + QPoint(size.width() - 1, size.height() - 1));
    std::printf("root %08x corner %08x bottom-right %08x middle %08x\n", root, corner, cornerBR, middle);
    return corner == root && cornerBR == root && middle != root;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: orn-skin-sample TEMPLATE [--grab FILE | --shot FILE]\n");
        return 2;
    }
    int t = QString(argv[1]).toInt();
    int next = 2;
    if (argc > next && QString(argv[next]) == "--hex") CPacketDetailsDlg::SetHexView(true), ++next;
    QString mode = argc > next ? argv[next] : QString();
    QString file = argc > next + 1 ? argv[next + 1] : QString();
    std::unique_ptr<CSkinDialog> window;
    if (t == 132) {
        auto details = std::make_unique<CPacketDetailsDlg>();
        details->SetRecord(SampleRecord());
        window = std::move(details);
    } else if (t == kConversationsDialog) {
        static CPacketStore store;
        std::shared_ptr<CPacketRecord> none;
        for (int i = 0; i < 3; ++i) store.Append(std::const_pointer_cast<CPacketRecord>(SampleRecord()), none);
        window = std::make_unique<CConversationsDlg>(store);
    } else {
        window = std::make_unique<CSampleDlg>(t);
    }
    CSkinDialog& dlg = *window;
    dlg.move(40, 40);
    int status = 0;
    QTimer::singleShot(mode == "--shot" ? 1500 : 100, &dlg, [&] {
        if (mode == "--grab") {
            dlg.grab().save(file);
        } else if (mode == "--shot") {
            QImage screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
            screen.save(file);
            status = CheckShot(screen, dlg.geometry().topLeft(), dlg.size()) ? 0 : 1;
        }
        if (!mode.isEmpty()) dlg.EndDialog(IDCANCEL);
    });
    dlg.DoModal();
    return status;
}
