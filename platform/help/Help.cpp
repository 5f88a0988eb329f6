#include "platform/help/Help.h"

#include "platform/help/HelpWindow.h"

#include <QApplication>
#include <QPointer>
#include <QUrl>

#include <filesystem>
#include <optional>
#include <system_error>

#ifndef ORN_HELP_INSTALL_DIR
#define ORN_HELP_INSTALL_DIR "/usr/share/orn/help"
#endif

namespace {

QPointer<CHelpWindow> helpWindow;

// "help" beside the executable, whether it exists or not.
std::filesystem::path BesideHelpDirectory() {
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path((QApplication::applicationDirPath() + "/help").toStdString())
                 : exe.parent_path() / "help";
}

QUrl FileUrl(const std::filesystem::path& path) { return QUrl::fromLocalFile(QString::fromStdString(path.string())); }

// An application-modal window (the main window runs as one, and so does
// every dialog) blocks input to every window outside it. The help window is
// therefore window-modal without a parent: that blocks nothing, but puts it
// on the stack of modal windows, where the newest is never blocked by an
// older one. Shown again, it goes back to the top of the stack, above a
// dialog that was opened after it.
void ShowAboveModalWindows(CHelpWindow& window) {
    QWidget* const modal = QApplication::activeModalWidget();
    if (window.isVisible() && modal != nullptr && modal != &window) window.hide();
    window.show();
    window.raise();
    window.activateWindow();
}

class CHelpWindowService final : public CHelpFileService {
    // A build tree without topics falls back to the installed ones: say
    // that the first place was looked at too.
    std::string LookupNote() const override {
        const std::filesystem::path beside = BesideHelpDirectory();
        if (HelpDirectory() == beside || HelpDirectory() != ProgramHelpDirectory()) return {};
        return "\nThere is no help directory beside the program (" + beside.string() + ").";
    }

    bool Show(const CHelpTopicFiles& files) override {
        if (!helpWindow) {
            helpWindow = new CHelpWindow;
            helpWindow->setAttribute(Qt::WA_DeleteOnClose, false);
            helpWindow->setWindowModality(Qt::WindowModal);
            QObject::connect(qApp, &QCoreApplication::aboutToQuit, helpWindow, &QObject::deleteLater);
        }
        helpWindow->ShowTopic(FileUrl(files.topic), FileUrl(files.contents));
        ShowAboveModalWindows(*helpWindow);
        return true;
    }
};

}  // namespace

CHelpService& ProgramHelpService() {
    static CHelpWindowService program;
    return program;
}

std::filesystem::path ProgramHelpDirectory() {
    const std::filesystem::path beside = BesideHelpDirectory();
    // A build tree has the topics beside the program; an installed program
    // has them where the package put them.
    std::error_code error;
    return std::filesystem::is_directory(beside, error) ? beside : std::filesystem::path(ORN_HELP_INSTALL_DIR);
}

CHelpWindow* ProgramHelpWindow() { return helpWindow; }
