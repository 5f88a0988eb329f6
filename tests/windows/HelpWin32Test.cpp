// The help on Windows over a stand-in for ShellExecuteW (a test must not
// start a browser): the file that each call opens, by the same map as on
// Linux, and the box when the help cannot open.
#include "platform/help/Help.h"
#include "platform/help/HelpMap.h"
#include "platform/help/HelpWin32.h"
#include "platform/msgbox/MessageBox.h"

#include <shellapi.h>

#include <gtest/gtest.h>

#include <fstream>

namespace {

struct COpened {
    std::wstring verb, file, directory;
    INT show;
};
std::vector<COpened> opened;
INT_PTR shellAnswer = 42;

HINSTANCE WINAPI StandIn(HWND, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory, INT show) {
    EXPECT_EQ(parameters, nullptr);
    opened.push_back({verb, file, directory, show});
    return reinterpret_cast<HINSTANCE>(shellAnswer);
}

class HelpWin32 : public testing::Test {
protected:
    HelpWin32() : previous(SetHelpShellExecute(&StandIn)) {
        opened.clear();
        shellAnswer = 42;
    }
    ~HelpWin32() override {
        SetHelpShellExecute(previous);
        SetHelpDirectory({});
    }
    ShellExecuteCall previous;
};

TEST_F(HelpWin32, TopicsBesideTheProgramOpenInTheBrowser) {
    // The build copies the topics beside the test, as beside orn.exe.
    ASSERT_TRUE(OpenHelpContext(10028));
    ASSERT_TRUE(OpenHelpContext(kFiltersHelpContext));
    ASSERT_TRUE(OpenHelpContents());
    EXPECT_FALSE(OpenHelpContext(10025));   // a context without a topic opens nothing
    ASSERT_EQ(opened.size(), 3u);
    const std::filesystem::path built = ORN_HELP_BUILD_DIR;
    const char* const topics[] = {"tcp.html", "filters.html", "index.html"};
    for (std::size_t i = 0; i < opened.size(); ++i) {
        const std::filesystem::path file = opened[i].file;
        EXPECT_EQ(opened[i].verb, L"open");
        EXPECT_EQ(opened[i].show, SW_SHOWNORMAL);
        EXPECT_TRUE(file.is_absolute()) << PathText(file);
        EXPECT_TRUE(std::filesystem::equivalent(file, built / topics[i])) << PathText(file);
        EXPECT_TRUE(std::filesystem::equivalent(opened[i].directory, built)) << PathText(opened[i].directory);
    }
}

TEST_F(HelpWin32, HelpThatCannotOpenSaysWhereItLooked) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / L"orn-help-test-\u00e9";
    std::filesystem::remove_all(dir);
    ASSERT_TRUE(std::filesystem::create_directory(dir));
    CMessageBoxRecorder boxes;
    SetHelpDirectory(dir / "missing");
    ShowHelpContents();
    SetHelpDirectory(dir);
    std::ofstream(dir / "topics.map") << "contents index.html\n129 gone.html\n";
    std::ofstream(dir / "index.html") << "<html></html>";
    ShowHelpContext(129);
    ShowHelpContext(130);
    shellAnswer = SE_ERR_NOASSOC;
    ShowHelpContents();
    ASSERT_EQ(opened.size(), 1u);   // only the last call found its topic

    const std::string where = PathText(dir);
    const std::string failed = std::string(kHelpLaunchFailedText) + "\n" + where + "\\";
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{
                                 failed + "missing\\topics.map cannot be read.",
                                 failed + "gone.html cannot be read.",
                                 failed + "topics.map names no topic for help context 130.",
                                 failed + "index.html could not be opened in the browser (no program is set to open it).",
                             }));
    std::filesystem::remove_all(dir);
}

}  // namespace
