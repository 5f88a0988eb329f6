// The message box interface: hook, presenter, fallback and title.

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/msgbox/MessageBox.h"

using Texts = std::vector<std::string>;

TEST(MessageBox, RecordersTakeEveryBoxAndRestoreWhatWasBefore) {
    Texts presented;
    SetMessageBoxPresenter(
        [&](const std::string&, const std::string& text, MessageIcon) { presented.push_back(text); });
    {
        CMessageBoxRecorder outer;
        ShowMessageBox("Some error occures!!!");
        {
            CMessageBoxRecorder inner;
            ShowMessageBox("Failed to launch help.", MessageIcon::None);
            ASSERT_EQ(inner.Boxes().size(), 1u);
            EXPECT_EQ(inner.Boxes()[0].title, "test-msgbox");  // the executable's name
            EXPECT_EQ(inner.Boxes()[0].icon, MessageIcon::None);
        }
        ShowMessageBox("Entry with same address and port already exists!!!");
        EXPECT_EQ(outer.Texts(),
                  (Texts{"Some error occures!!!", "Entry with same address and port already exists!!!"}));
        EXPECT_EQ(outer.Boxes()[0].icon, MessageIcon::Exclamation);
    }
    ShowMessageBox("Item with same address and port already exists!!!");
    EXPECT_EQ(presented, Texts{"Item with same address and port already exists!!!"});

    // Without a presenter the box goes to standard error.
    SetMessageBoxPresenter(nullptr);
    testing::internal::CaptureStderr();
    ShowMessageBox("Port number can not be bigger than 65535!!!");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "test-msgbox: Port number can not be bigger than 65535!!!\n");
}

TEST(MessageBox, BoxesFromSeveralThreadsAreAllRecorded) {
    CMessageBoxRecorder recorder;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 250; ++i) ShowMessageBox("box " + std::to_string(t));
        });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(recorder.Boxes().size(), 1000u);
}
