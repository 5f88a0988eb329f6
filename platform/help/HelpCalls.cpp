#include "platform/help/Help.h"

#include "platform/msgbox/MessageBox.h"

namespace {

CHelpService* installedService = nullptr;
std::filesystem::path helpDirectoryOverride;

CHelpService& Service() { return installedService ? *installedService : ProgramHelpService(); }

void ReportHelpFailure() {
    const std::string why = Service().FailureText();
    ShowMessageBox(why.empty() ? std::string(kHelpLaunchFailedText) : kHelpLaunchFailedText + ("\n" + why),
                   MessageIcon::None);
}

}  // namespace

bool OpenHelpContents() { return Service().OpenContents(); }

bool OpenHelpContext(unsigned context) { return Service().OpenContext(context); }

void ShowHelpContents() {
    if (!OpenHelpContents()) ReportHelpFailure();
}

void ShowHelpContext(unsigned context) {
    if (!OpenHelpContext(context)) ReportHelpFailure();
}

void SetHelpService(CHelpService* service) { installedService = service; }

std::filesystem::path HelpDirectory() {
    return helpDirectoryOverride.empty() ? ProgramHelpDirectory() : helpDirectoryOverride;
}

void SetHelpDirectory(const std::filesystem::path& directory) { helpDirectoryOverride = directory; }

bool CHelpFileService::Open(std::optional<unsigned> context) {
    const CHelpTopicFiles files = FindHelpTopic(HelpDirectory(), context);
    failure = files.failure;
    if (!failure.empty()) {
        failure += LookupNote();
        return false;
    }
    return Show(files);
}
