#include "platform/help/Help.h"

#include "platform/msgbox/MessageBox.h"

namespace {

CHelpService* installedService = nullptr;

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
