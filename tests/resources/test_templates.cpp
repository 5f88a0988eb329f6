// The dialog templates: unit conversion, window sizes against their bitmaps,
// control positions in pixels, and the styles the windows rely on.

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "resources/templates/DialogTemplates.h"

namespace {

PixelRect Rect(int templateId, int controlId) {
    const DialogTemplate* t = FindDialogTemplate(templateId);
    EXPECT_NE(t, nullptr);
    const ControlTemplate* c = t ? FindControl(*t, controlId) : nullptr;
    EXPECT_NE(c, nullptr) << "control " << controlId << " of " << templateId;
    return c ? ControlRectInPixels(*c) : PixelRect{};
}

}  // namespace

TEST(DialogUnits, RoundToNearestWithHalvesAwayFromZero) {
    // 1.5 pixels a unit across, 1.625 down.
    for (auto [units, pixels] : {std::pair{320, 480}, {243, 365}, {31, 47}, {1, 2}, {0, 0}, {-1, -2}})
        EXPECT_EQ(DialogUnitsToPixelsX(units), pixels) << units;
    for (auto [units, pixels] : {std::pair{220, 358}, {136, 221}, {12, 20}, {11, 18}, {9, 15}, {-4, -7}})
        EXPECT_EQ(DialogUnitsToPixelsY(units), pixels) << units;
}

TEST(DialogTemplates, WindowsMatchTheirBitmaps) {
    struct Expect {
        int id, width, height;
    };
    // Backgrounds 131 (480 x 358), 190 (365 x 358) and 188 (297 x 222) cover them.
    for (Expect e : {Expect{102, 480, 358}, Expect{129, 365, 358}, Expect{132, 365, 358}, Expect{130, 297, 221},
                     Expect{134, 297, 221}, Expect{100, 297, 221}}) {
        const DialogTemplate* t = FindDialogTemplate(e.id);
        ASSERT_NE(t, nullptr) << e.id;
        EXPECT_EQ(DialogSizeInPixels(*t), (PixelRect{0, 0, e.width, e.height})) << e.id;
        EXPECT_STREQ(t->faceName, "MS Sans Serif");
        EXPECT_EQ(t->pointSize, 8);
    }
    EXPECT_EQ(FindDialogTemplate(101), nullptr);
    EXPECT_EQ(AllDialogTemplates().size(), 6u);
}

TEST(DialogTemplates, ControlPositionsInPixels) {
    // Each edge rounds separately: x and width, y and height.
    EXPECT_EQ(Rect(102, 1023), (PixelRect{132, 54, 309, 286}));  // 20 rows of 14 pixels
    EXPECT_EQ(Rect(102, 1018), (PixelRect{434, 11, 15, 15}));
    EXPECT_EQ(Rect(129, 1005), (PixelRect{21, 193, 47, 20}));
    EXPECT_EQ(Rect(130, IDOK), (PixelRect{198, 179, 81, 21}));
    EXPECT_EQ(Rect(134, 1038), (PixelRect{20, 54, 239, 120}));  // 8 rows inside a border
    EXPECT_EQ(Rect(134, IDOK), (PixelRect{198, 184, 81, 18}));
}

TEST(DialogTemplates, ControlsLieInsideTheirWindowsAndIdsAreUnique) {
    for (const DialogTemplate& t : AllDialogTemplates()) {
        PixelRect w = DialogSizeInPixels(t);
        std::set<int> ids;
        for (const ControlTemplate& c : t.controls) {
            PixelRect r = ControlRectInPixels(c);
            // A combo box's height is the extent of its dropped-down list.
            int height = c.kind == ControlKind::ComboBox ? 20 : r.height;
            EXPECT_GE(r.x, 0) << t.id << "/" << c.id;
            EXPECT_GE(r.y, 0) << t.id << "/" << c.id;
            EXPECT_LE(r.x + r.width, w.width) << t.id << "/" << c.id;
            EXPECT_LE(r.y + height, w.height) << t.id << "/" << c.id;
            if (c.id != IDC_STATIC) {
                EXPECT_TRUE(ids.insert(c.id).second) << "duplicate " << c.id << " in " << t.id;
            }
        }
    }
}

TEST(DialogTemplates, StylesTheWindowsRelyOn) {
    // The main window starts with the list, its scroll bar, its heads and the
    // rate labels hidden, and nothing else.
    std::set<int> hidden;
    for (const ControlTemplate& c : FindDialogTemplate(102)->controls)
        if (c.style & kHidden) hidden.insert(c.id);
    EXPECT_EQ(hidden, (std::set<int>{1023, 1034, 1024, 1025, 1026, 1027, 1028, 1035, 1031, 1033, kLostLabel, kUnloggedLabel}));
    EXPECT_TRUE(FindControl(*FindDialogTemplate(130), 104)->style & kHidden);  // Browse

    // Only the packet list is the six-column one; only the Filters lists show a header.
    for (const DialogTemplate& t : AllDialogTemplates())
        for (const ControlTemplate& c : t.controls)
            if (c.kind == ControlKind::ListView) {
                EXPECT_EQ(bool(c.style & kSixColumn), c.id == 1023) << c.id;
                EXPECT_EQ(!(c.style & kNoHeader), t.id == 129) << c.id;
            }

    const DialogTemplate& entry = *FindDialogTemplate(130);
    std::string services;
    for (const char* s : FindControl(entry, 1041)->items) services += std::string(s) + "|";
    EXPECT_EQ(services, "HTTP|FTP|SMTP|POP3|Whois|Finger|Telnet|Other...|");
    // The up-down's buddy (the edit just before it) is the filter dialogs' test.
}
