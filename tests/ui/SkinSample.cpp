#include "tests/ui/SkinSample.h"

#include <cstring>
#include <string>
#include <vector>

#include "decode/IpDatagram.h"
#include "dialogs/CConversationsDlg.h"
#include "dialogs/CPacketDetailsDlg.h"
#include "skin/CSkinButton.h"
#include "skin/CSkinControls.h"
#include "skin/CSkinListCtrl.h"

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
        list->SetBkColor(kListBackground);
        const int w = list->GetWidth();
        const int widths[] = {2 * w / 8 + 11, w / 8 - 5, 2 * w / 8 + 11, w / 8 - 5, w / 8 - 7, w / 8 - 5};
        for (int k = 0; k < 6; ++k) list->InsertColumn(k, "", LVCFMT_LEFT, widths[k]);
        const char* protocols[] = {"TCP", "UDP", "ICMP", "TCP", "IGMP", "UDP", "TCP"};
        for (int i = 0; i < 13; ++i) {
            const int row = list->InsertItem(list->GetItemCount(), "192.168.7." + std::to_string(10 + i));
            list->SetItemText(row, 1, std::to_string(1024 + 37 * i));
            list->SetItemText(row, 2, "10.20.30." + std::to_string(200 - i));
            list->SetItemText(row, 3, i % 3 ? "443" : "53");
            list->SetItemText(row, 4, protocols[i % 7]);
            list->SetItemText(row, 5, std::to_string(40 + 97 * i));
        }
        list->SetSelectedRow(4);
    }
    void Hosts() {
        auto* list = Control<CSkinListCtrl>(1038);
        list->SetBkColor(kListBackground);
        list->InsertColumn(0, "Address", LVCFMT_LEFT, list->GetWidth() / 2);
        list->InsertColumn(1, "Name", LVCFMT_LEFT, list->GetWidth() / 2);
        for (int i = 0; i < 8; ++i) {
            const int row = list->InsertItem(i, "192.168.7." + std::to_string(1 + i * 3));
            list->SetItemText(row, 1, i == 5 ? "" : "host-" + std::to_string(i + 1));
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

}  // namespace

std::unique_ptr<CSkinDialog> MakeSampleWindow(int t, bool hex) {
    CPacketDetailsDlg::SetHexView(hex);
    if (t == 132) {
        auto details = std::make_unique<CPacketDetailsDlg>();
        details->SetRecord(SampleRecord());
        return details;
    }
    if (t == kConversationsDialog) {
        static CPacketStore store;
        std::shared_ptr<CPacketRecord> none;
        for (int i = 0; i < 3; ++i) store.Append(std::const_pointer_cast<CPacketRecord>(SampleRecord()), none);
        return std::make_unique<CConversationsDlg>(store);
    }
    return std::make_unique<CSampleDlg>(t);
}
