#include "resources/templates/DialogTemplates.h"

#include <array>

namespace {

using K = ControlKind;

constexpr unsigned kButton = kOwnerDraw | kTabStop;
constexpr unsigned kHead = kAlignCenter | kHidden;  // the packet list's column heads
constexpr unsigned kEntryEdit = kAutoHScroll | kStaticEdge | kDialogFrame | kTabStop;
constexpr unsigned kDetailsStatic = kBorder | kGroup;
constexpr unsigned kDetailsEdit = kMultiLine | kBorder | kTabStop;

// Main window.
constexpr ControlTemplate kMain[] = {
    {1000, K::PushButton, "Start listening", 10, 22, 52, 12, kButton},
    {1001, K::PushButton, "Stop listening", 10, 38, 52, 12, kButton},
    {1003, K::PushButton, "Filters ...", 10, 54, 52, 12, kButton},
    {ID_HELP, K::PushButton, "Help", 10, 70, 52, 12, kButton},
    {1043, K::PushButton, "About", 10, 87, 52, 12, kButton},
    {IDOK, K::PushButton, "End", 10, 102, 52, 12, kButton},
    {1018, K::PushButton, nullptr, 289, 7, 10, 9, kButton},
    {1019, K::PushButton, nullptr, 303, 7, 10, 9, kButton},
    {1030, K::ScrollBar, nullptr, 172, 7, 112, 9, 0},
    {IDC_STATIC, K::Label, "Transparency", 124, 7, 45, 9, 0},
    {1023, K::ListView, nullptr, 88, 33, 206, 176,
     kHidden | kSingleSel | kOwnerDraw | kNoHeader | kNoScroll | kTabStop | kSixColumn},
    {1034, K::ScrollBar, nullptr, 298, 33, 10, 176, kVertical | kHidden},
    {1024, K::Label, "Src. addr.", 90, 22, 32, 8, kHead},
    {1025, K::Label, "port", 150, 22, 13, 8, kHead},
    {1026, K::Label, "Dest. addr.", 173, 22, 36, 8, kHead},
    {1027, K::Label, "port", 229, 22, 13, 8, kHead},
    {1028, K::Label, "Prot.", 253, 22, 16, 8, kHead},
    {1035, K::Label, "Len.", 274, 22, 15, 8, kHead},
    {1031, K::Label, "...", 7, 192, 59, 9, kAlignRight | kHidden},
    {1033, K::Label, "...", 7, 203, 59, 9, kAlignRight | kHidden},
    // Ours: the capture's losses, above the rate labels while there are any.
    {kLostLabel, K::Label, nullptr, 7, 181, 59, 9, kAlignRight | kHidden},
    {kUnloggedLabel, K::Label, nullptr, 7, 170, 59, 9, kAlignRight | kHidden},
};

// Filters dialog.
constexpr unsigned kFilterList = kBorder | kTabStop | kSingleSel | kOwnerDraw | kNoScroll;
constexpr ControlTemplate kFilters[] = {
    {1002, K::ListView, nullptr, 14, 42, 100, 71, kFilterList},
    {1004, K::ListView, nullptr, 125, 41, 100, 71, kFilterList},
    {1005, K::PushButton, "Add", 14, 119, 31, 12, kButton},
    {1007, K::PushButton, "Edit", 48, 119, 31, 12, kButton},
    {1016, K::PushButton, "Delete", 83, 119, 31, 12, kButton},
    {1009, K::PushButton, "Add", 127, 119, 31, 12, kButton},
    {1011, K::PushButton, "Edit", 161, 119, 31, 12, kButton},
    {1012, K::PushButton, "Delete", 195, 119, 31, 12, kButton},
    {1013, K::RadioButton, "Receive full info", 16, 148, 68, 8, kTabStop | kGroup},
    {1014, K::RadioButton, "Receive reduced info", 84, 148, 82, 8, kTabStop},
    {1017, K::CheckBox, "Receive messsages", 183, 173, 50, 19, kMultiLine | kTabStop},
    {IDC_STATIC, K::Label, "Reduced info", 17, 137, 51, 11, 0},
    {IDC_STATIC, K::Label, "Source filters", 29, 25, 72, 11, kAlignCenter},
    {IDC_STATIC, K::Label, "Destination filters", 141, 25, 72, 11, kAlignCenter},
    {IDCANCEL, K::PushButton, "Cancel", 32, 198, 54, 12, kButton},
    {IDOK, K::PushButton, "OK", 154, 198, 54, 12, kButton},
    {ID_HELP, K::PushButton, "Help", 95, 198, 52, 12, kButton},
};

// Filter entry dialog, with its service list.
constexpr const char* kServices[] = {"HTTP", "FTP", "SMTP", "POP3", "Whois", "Finger", "Telnet", "Other..."};
constexpr ControlTemplate kFilterEntry[] = {
    {IDC_STATIC, K::Label, "Address", 16, 34, 37, 12, kAlignCenter | kStaticEdge | kDialogFrame},
    {1006, K::Edit, nullptr, 57, 34, 61, 12, kEntryEdit},
    {104, K::PushButton, "Browse", 132, 34, 54, 12, kButton | kHidden},
    {IDC_STATIC, K::Label, "Port", 16, 76, 37, 12, kAlignCenter | kDialogFrame},
    {1008, K::Edit, nullptr, 58, 76, 61, 12, kEntryEdit},
    {1032, K::UpDown, "Spin1", 119, 76, 11, 12, kAutoBuddy | kSetBuddyInt | kAlignBuddyRight | kArrowKeys},
    {IDOK, K::PushButton, "OK", 132, 110, 54, 13, kButton},
    {IDCANCEL, K::PushButton, "Cancel", 12, 111, 54, 13, kButton},
    {1041, K::ComboBox, nullptr, 132, 76, 54, 149, kOwnerDraw | kTabStop, kServices},
    {ID_HELP, K::PushButton, "Help", 73, 111, 52, 12, kButton},
};

// Packet details dialog.
constexpr ControlTemplate kDetails[] = {
    {IDOK, K::PushButton, "OK", 173, 197, 54, 12, kButton},
    {IDC_STATIC, K::Label, "Source Addr:", 15, 25, 45, 10, kDetailsStatic},
    {1024, K::Label, "Static", 60, 25, 70, 10, kDetailsStatic},
    {IDC_STATIC, K::Label, "Source Port:", 134, 25, 42, 10, kDetailsStatic},
    {1025, K::Label, "Static", 176, 25, 51, 10, kDetailsStatic},
    {IDC_STATIC, K::Label, "Dest. Addr:", 15, 38, 45, 10, kDetailsStatic},
    {1026, K::Label, "Static", 60, 38, 70, 10, kDetailsStatic},
    {IDC_STATIC, K::Label, "Dest Port:", 134, 38, 42, 10, kDetailsStatic},
    {1027, K::Label, "Static", 176, 38, 51, 10, kDetailsStatic},
    {IDC_STATIC, K::Label, "Sub-protocol:", 15, 51, 45, 10, kDetailsStatic},
    {1029, K::Label, "Static", 60, 51, 70, 10, kDetailsStatic},
    {IDC_STATIC, K::Label, "Additional Info:", 176, 52, 51, 10, kDetailsStatic},
    {1036, K::Edit, nullptr, 15, 65, 212, 29, kDetailsEdit},
    {IDC_STATIC, K::Label, "Message Body:", 176, 97, 51, 10, kDetailsStatic},
    {1037, K::Edit, nullptr, 15, 110, 212, 85, kDetailsEdit},
    {ID_HELP, K::PushButton, "Help", 15, 197, 54, 12, kButton},
};

// Host browser.
constexpr ControlTemplate kHostBrowser[] = {
    {IDOK, K::PushButton, "OK", 132, 113, 54, 11, kButton},
    {IDCANCEL, K::PushButton, "Cancel", 14, 113, 54, 11, kButton},
    {1038, K::ListView, nullptr, 13, 33, 159, 74, kSingleSel | kOwnerDraw | kNoHeader | kBorder | kTabStop},
    {1040, K::ScrollBar, nullptr, 176, 33, 10, 74, kVertical},
    {IDC_STATIC, K::Label, "IP Address:", 18, 24, 37, 8, 0},
    {IDC_STATIC, K::Label, "Computer name:", 97, 24, 53, 8, 0},
    {ID_HELP, K::PushButton, "Help", 73, 113, 52, 11, kButton},
};

// About box.
constexpr ControlTemplate kAbout[] = {
    {IDOK, K::PushButton, "OK", 72, 93, 54, 13, kButton},
    {IDC_STATIC, K::Label, "ORN 2001", 96, 27, 44, 11, kAlignCenter},
    {IDC_STATIC, K::Label, "version 1.0", 95, 38, 44, 11, kAlignCenter},
    {IDC_STATIC, K::Icon, "128", 21, 57, 21, 20, 0},
};

constexpr const char* kFont = "MS Sans Serif";

constexpr std::array<DialogTemplate, 6> kTemplates = {{
    {100, 198, 136, kFont, 8, kAbout},
    {102, 320, 220, kFont, 8, kMain},
    {129, 243, 220, kFont, 8, kFilters},
    {130, 198, 136, kFont, 8, kFilterEntry},
    {132, 243, 220, kFont, 8, kDetails},
    {134, 198, 136, kFont, 8, kHostBrowser},
}};

// Rounds v * num / den to nearest, halves away from zero.
int MulDiv(int v, int num, int den) {
    long long p = static_cast<long long>(v) * num;
    long long q = p >= 0 ? (2 * p + den) / (2 * den) : -((-2 * p + den) / (2 * den));
    return static_cast<int>(q);
}

}  // namespace

const DialogTemplate* FindDialogTemplate(int id) {
    for (const DialogTemplate& t : kTemplates)
        if (t.id == id) return &t;
    return nullptr;
}

std::span<const DialogTemplate> AllDialogTemplates() { return kTemplates; }

const ControlTemplate* FindControl(const DialogTemplate& dialog, int id) {
    for (const ControlTemplate& c : dialog.controls)
        if (c.id == id) return &c;
    return nullptr;
}

// The template font's average character is 6 by 13 pixels; a dialog unit is
// a quarter of its width and an eighth of its height.
int DialogUnitsToPixelsX(int units) { return MulDiv(units, 6, 4); }
int DialogUnitsToPixelsY(int units) { return MulDiv(units, 13, 8); }

PixelRect ControlRectInPixels(const ControlTemplate& c) {
    return {DialogUnitsToPixelsX(c.x), DialogUnitsToPixelsY(c.y), DialogUnitsToPixelsX(c.cx),
            DialogUnitsToPixelsY(c.cy)};
}

PixelRect DialogSizeInPixels(const DialogTemplate& d) {
    return {0, 0, DialogUnitsToPixelsX(d.cx), DialogUnitsToPixelsY(d.cy)};
}
