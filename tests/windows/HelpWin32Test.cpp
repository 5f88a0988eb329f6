// The help on Windows over a stand-in for ShellExecuteW (a test must not
// start a browser): the file that each call opens, by the same lookup as on
// Linux (its cases: HelpMapTest), and the box when the help cannot open.
#include "platform/help/Help.h"
#include "platform/help/HelpMap.h"
#include "platform/help/HelpWin32.h"
#include "platform/msgbox/MessageBox.h"

#include <shellapi.h>

#include <gtest/gtest.h>

namespace {

std::vector<std::filesystem::path> opened;   // the file, then its directory
INT_PTR shellAnswer = 42;   // success

HINSTANCE WINAPI StandIn(HWND, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory, INT show) {
    EXPECT_EQ(std::wstring(verb), L"open");
    EXPECT_EQ(parameters, nullptr);
    EXPECT_EQ(show, SW_SHOWNORMAL);
    opened.insert(opened.end(), {file, directory});
    return reinterpret_cast<HINSTANCE>(shellAnswer);
}

TEST(HelpWin32, TopicsBesideTheProgramOpenInTheBrowser) {
    SetHelpShellExecute(&StandIn);
    // The build copies the topics beside the test, as beside orn.exe.
    ASSERT_TRUE(OpenHelpContext(10028));
    ASSERT_TRUE(OpenHelpContext(kFiltersHelpContext));
    ASSERT_TRUE(OpenHelpContents());
    EXPECT_FALSE(OpenHelpContext(10025));   // a context without a topic opens nothing
    const std::filesystem::path built = ORN_HELP_BUILD_DIR;
    const std::filesystem::path expected[] = {built / "tcp.html", built, built / "filters.html", built,
                                              built / "index.html", built};
    ASSERT_EQ(opened.size(), std::size(expected));
    for (std::size_t i = 0; i < opened.size(); ++i) {
        EXPECT_TRUE(opened[i].is_absolute() && std::filesystem::equivalent(opened[i], expected[i]))
            << Utf8PathText(opened[i]);
    }

    // Help that cannot open says where it looked.
    CMessageBoxRecorder boxes;
    shellAnswer = SE_ERR_NOASSOC;
    ShowHelpContents();
    SetHelpDirectory(built / "missing");
    ShowHelpContents();
    const std::string failed = std::string(kHelpLaunchFailedText) + "\n";
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{
                                 failed + Utf8PathText(opened.end()[-2]) +
                                     " could not be opened in the browser (no program is set to open it).",
                                 failed + Utf8PathText(built / "missing" / "topics.map") + " cannot be read."}));
}

}  // namespace
