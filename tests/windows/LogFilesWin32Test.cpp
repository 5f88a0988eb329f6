// The log's files on Windows: the folder made with its parents, files made
// only new, cut back, the reasons for a folder that cannot be, and the
// default place beside the executable.
#include "platform/logfiles/LogFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "capture/LogDirectory.h"
#include "tests/capture/CaptureTestSupport.h"

TEST(LogFilesWin32, FolderAndFilesAreMadeNewAndCutBack) {
    CTempDir dir;
    std::string error;
    auto folder = OpenLogFolder(dir.path + "/a/b/Log", true, error);
    ASSERT_TRUE(folder) << error;
    ILogFolder::Made made{};
    auto file = folder->MakeFile("ORN_1.log", made, error);
    ASSERT_TRUE(file) << error;
    EXPECT_EQ(made, ILogFolder::Made::Yes);
    const std::string first = "0123456789", second = "abc";
    const LogPiece pieces[] = {{first.data(), first.size()}, {second.data(), second.size()}};
    EXPECT_EQ(file->Write(pieces, 2, error), 13);
    EXPECT_TRUE(file->CutBack(4, error));
    EXPECT_EQ(file->Write(pieces + 1, 1, error), 3);
    file.reset();
    EXPECT_EQ(ReadFile(dir.path + "/a/b/Log/ORN_1.log"), "0123abc");
    EXPECT_FALSE(folder->MakeFile("ORN_1.log", made, error));
    EXPECT_EQ(made, ILogFolder::Made::NameTaken);

    std::ofstream(dir.path + "/plain") << "x";
    EXPECT_FALSE(OpenLogFolder(dir.path + "/plain/Log", true, error));
    EXPECT_EQ(error, dir.path + "/plain/Log: Not a directory");
    EXPECT_FALSE(OpenLogFolder(dir.path + "/missing/Log", false, error));
}

TEST(LogFilesWin32, TheLogGoesBesideAWritableProgramElseIntoLocalAppData) {
    const LogPlace place = DefaultLogDirectory();
    EXPECT_EQ(std::filesystem::path(place.directory).parent_path(), std::filesystem::current_path());
    LogPlaceFacts facts;
    facts.exeDirectory = "C:\\Program Files\\ORN";
    facts.localAppData = "C:\\Users\\u\\AppData\\Local";
    EXPECT_EQ(ChooseLogDirectory(facts, {}).directory, "C:\\Users\\u\\AppData\\Local\\ORN\\Log");
    facts.exeDirectoryOurs = true;
    EXPECT_EQ(ChooseLogDirectory(facts, {}).directory, "C:\\Program Files\\ORN\\Log");
    facts = {};
    EXPECT_TRUE(ChooseLogDirectory(facts, {}).directory.empty());
    // A user's folder outside the ANSI code page still names it.
    ASSERT_EQ(_wputenv_s(L"LOCALAPPDATA", L"C:\\Users\\J\u00f6rg \u5c71\u7530\\AppData\\Local"), 0);
    EXPECT_EQ(GatherLogPlaceFacts().localAppData, "C:\\Users\\J\xc3\xb6rg \xe5\xb1\xb1\xe7\x94\xb0\\AppData\\Local");
}
