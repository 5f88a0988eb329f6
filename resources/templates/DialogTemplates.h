#pragma once
// Every window of ORN is a dialog template: a fixed table of controls with
// their numeric ids, kinds, texts, styles and positions in dialog units.
// The tables are plain data so that the skin, the artwork generator and the
// tests all read the same layout.

#include <span>

// Control ids that several windows share.
constexpr int IDC_STATIC = -1;  // labels nobody looks up
#ifndef IDOK  // Windows' own, where its headers came first
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
#endif
constexpr int ID_HELP = 57670;
// The main window's label of the capture's losses, an addition of ours.
constexpr int kLostLabel = 1044;
// Ours too: the records shown whose capture log entries were not written.
constexpr int kUnloggedLabel = 1048;
// Ours too: the main window's display filter and its "M of N" count, shown
// while a filter is set; the display filter and Find dialogs, and their edit.
constexpr int kDisplayFilterLabel = 1045;
constexpr int kDisplayFilterCount = 1046;
constexpr int kDisplayFilterDialog = 136;
constexpr int kFindDialog = 137;
constexpr int kTextLineEdit = 1047;
// Ours: the conversations window, its list, scroll bar and count.
constexpr int kConversationsDialog = 138;
constexpr int kConversationList = 1050;
constexpr int kConversationScroll = 1051;
constexpr int kConversationCount = 1052;

enum class ControlKind {
    PushButton,   // always a bitmap button in ORN
    Label,        // static text
    Icon,         // static showing an icon resource (text is its id)
    Edit,         // single line, or multi-line with kMultiLine
    ListView,     // report view
    ScrollBar,    // horizontal, or vertical with kVertical
    RadioButton,  // automatic radio button
    CheckBox,     // automatic check box
    ComboBox,     // drop-down list
    UpDown,       // spin arrows bound to a buddy edit
};

// Window styles of one control, as bits.
enum ControlStyle : unsigned {
    kHidden = 1u << 0,          // created without the visible style
    kAlignCenter = 1u << 1,     // text alignment (left otherwise)
    kAlignRight = 1u << 2,
    kBorder = 1u << 3,          // thin line border
    kStaticEdge = 1u << 4,      // sunken one-pixel edge
    kDialogFrame = 1u << 5,     // raised double frame
    kMultiLine = 1u << 6,       // edits: several lines; buttons: wrapped text
    kTabStop = 1u << 7,
    kGroup = 1u << 8,
    kAutoHScroll = 1u << 9,     // edits scroll sideways instead of wrapping
    kOwnerDraw = 1u << 10,      // owner-drawn (fixed item height)
    kVertical = 1u << 11,       // scroll bars
    kNoHeader = 1u << 12,       // list views
    kNoScroll = 1u << 13,       // list views
    kSingleSel = 1u << 14,      // list views
    kSixColumn = 1u << 15,      // the packet list's colours and offsets
    kAutoBuddy = 1u << 16,      // up-down: the preceding control is its buddy
    kSetBuddyInt = 1u << 17,    // up-down writes its position into the buddy
    kAlignBuddyRight = 1u << 18,// up-down sits inside the buddy's right edge
    kArrowKeys = 1u << 19,      // up-down steps with the buddy's arrow keys
};

struct ControlTemplate {
    int id;
    ControlKind kind;
    const char* text;  // nullptr: no text
    int x, y, cx, cy;  // dialog units
    unsigned style;
    std::span<const char* const> items = {};  // initial items of a combo box
};

struct DialogTemplate {
    int id;
    int cx, cy;  // dialog units
    const char* faceName;
    int pointSize;
    std::span<const ControlTemplate> controls;
};

// nullptr for an unknown id.
const DialogTemplate* FindDialogTemplate(int id);
std::span<const DialogTemplate> AllDialogTemplates();

// The first control with that id, or nullptr.
const ControlTemplate* FindControl(const DialogTemplate& dialog, int id);

// Dialog units to pixels for the template font (8-point sans at 96 dpi): one
// unit is 1.5 pixels across and 1.625 down. Positions and sizes are converted
// separately and rounded to nearest, halves away from zero.
int DialogUnitsToPixelsX(int units);
int DialogUnitsToPixelsY(int units);

struct PixelRect {
    int x, y, width, height;
    bool operator==(const PixelRect&) const = default;
};
PixelRect ControlRectInPixels(const ControlTemplate& control);
PixelRect DialogSizeInPixels(const DialogTemplate& dialog);  // x, y are 0
