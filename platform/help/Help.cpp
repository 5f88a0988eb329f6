#include "platform/help/Help.h"

#include "platform/help/HelpMap.h"
#include "platform/help/HelpWindow.h"
#include "platform/msgbox/MessageBox.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QUrl>

#include <filesystem>
#include <optional>
#include <system_error>

#ifndef ORN_HELP_INSTALL_DIR
#define ORN_HELP_INSTALL_DIR "/usr/share/orn/help"
#endif

namespace {

// The map is a short text; a larger file is not ours.
constexpr qint64 kMaxMapSize = 1024 * 1024;

CHelpService* installedService = nullptr;
QString helpDirectoryOverride;
QPointer<CHelpWindow> helpWindow;

// "help" beside the executable, whether it exists or not.
QString BesideHelpDirectory() {
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? QApplication::applicationDirPath() + "/help"
                 : QString::fromStdString((exe.parent_path() / "help").string());
}

std::optional<CHelpMap> ReadHelpMap(const QDir& dir) {
    QFile file(dir.filePath(kHelpMapFileName));
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    const QByteArray text = file.read(kMaxMapSize + 1);
    if (text.size() > kMaxMapSize) return std::nullopt;
    return ParseHelpMap(std::string_view(text.constData(), static_cast<std::size_t>(text.size())));
}

// The topic's file when it can be read; nothing otherwise.
std::optional<QUrl> TopicFile(const QDir& dir, const std::string& topic) {
    QFile file(dir.filePath(QString::fromStdString(topic)));
    if (!QFileInfo(file).isFile() || !file.open(QIODevice::ReadOnly)) return std::nullopt;
    return QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath());
}

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

class CHelpWindowService final : public CHelpService {
public:
    bool OpenContents() override { return Open(std::nullopt); }
    bool OpenContext(unsigned context) override { return Open(context); }
    QString FailureText() const override { return failure; }

private:
    bool Fail(const QString& why) {
        failure = why;
        // A build tree without topics falls back to the installed ones: say
        // that the first place was looked at too.
        const QString beside = BesideHelpDirectory();
        if (helpDirectoryOverride.isEmpty() && HelpDirectory() != beside)
            failure += QStringLiteral("\nThere is no help directory beside the program (%1).").arg(beside);
        return false;
    }

    bool Open(std::optional<unsigned> context) {
        failure.clear();
        const QDir dir(HelpDirectory());
        const QString mapPath = dir.filePath(kHelpMapFileName);
        const auto map = ReadHelpMap(dir);
        if (!map) return Fail(QStringLiteral("%1 cannot be read.").arg(mapPath));
        if (!map->contents) return Fail(QStringLiteral("%1 names no contents topic.").arg(mapPath));
        const std::string* const topic = context ? map->Topic(*context) : &*map->contents;
        if (topic == nullptr) return Fail(QStringLiteral("%1 names no topic for help context %2.").arg(mapPath).arg(*context));
        const auto unreadable = [&](const std::string& name) {
            return Fail(QStringLiteral("%1 cannot be read.").arg(dir.filePath(QString::fromStdString(name))));
        };
        const auto topicFile = TopicFile(dir, *topic);
        if (!topicFile) return unreadable(*topic);
        const auto contentsFile = TopicFile(dir, *map->contents);
        if (!contentsFile) return unreadable(*map->contents);

        if (!helpWindow) {
            helpWindow = new CHelpWindow;
            helpWindow->setAttribute(Qt::WA_DeleteOnClose, false);
            helpWindow->setWindowModality(Qt::WindowModal);
            QObject::connect(qApp, &QCoreApplication::aboutToQuit, helpWindow, &QObject::deleteLater);
        }
        helpWindow->ShowTopic(*topicFile, *contentsFile);
        ShowAboveModalWindows(*helpWindow);
        return true;
    }

    QString failure;
};

CHelpService& Service() {
    static CHelpWindowService program;
    return installedService ? *installedService : program;
}

}  // namespace

bool OpenHelpContents() { return Service().OpenContents(); }

bool OpenHelpContext(unsigned context) { return Service().OpenContext(context); }

namespace {

void ReportHelpFailure() {
    const QString why = Service().FailureText();
    ShowMessageBox(why.isEmpty() ? std::string(kHelpLaunchFailedText)
                                 : std::string(kHelpLaunchFailedText) + "\n" + why.toStdString(),
                   MessageIcon::None);
}

}  // namespace

void ShowHelpContents() {
    if (!OpenHelpContents()) ReportHelpFailure();
}

void ShowHelpContext(unsigned context) {
    if (!OpenHelpContext(context)) ReportHelpFailure();
}

void SetHelpService(CHelpService* service) { installedService = service; }

QString HelpDirectory() {
    if (!helpDirectoryOverride.isEmpty()) return helpDirectoryOverride;
    const QString beside = BesideHelpDirectory();
    // A build tree has the topics beside the program; an installed program
    // has them where the package put them.
    return QFileInfo(beside).isDir() ? beside : QStringLiteral(ORN_HELP_INSTALL_DIR);
}

void SetHelpDirectory(const QString& directory) { helpDirectoryOverride = directory; }

CHelpWindow* ProgramHelpWindow() { return helpWindow; }
