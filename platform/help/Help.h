#pragma once
// The program's help: HTML topics in the "help" directory beside the
// executable, with a map from help context to topic (HelpMap.h), shown in a
// help window of the program on Linux and in the default browser on
// Windows. The calls stand in for WinHelp's HELP_FINDER and HELP_CONTEXT.
// Window thread only.

#include "platform/help/HelpMap.h"

#include <filesystem>
#include <optional>
#include <string>

// The first line of the box of ShowHelpContents and ShowHelpContext.
inline constexpr char kHelpLaunchFailedText[] = "Failed to launch help.";

// Contexts of the windows that have their own topic; the packet details
// dialog's are 10001 to 10032, by protocol name.
inline constexpr unsigned kFiltersHelpContext = 129;
inline constexpr unsigned kFilterEntryHelpContext = 130;
inline constexpr unsigned kHostBrowserHelpContext = 134;

class CHelpService {
public:
    virtual ~CHelpService() = default;
    virtual bool OpenContents() = 0;
    virtual bool OpenContext(unsigned context) = 0;
    // After a failed Open call: where it looked and what it found there;
    // empty where the service cannot say.
    virtual std::string FailureText() const { return {}; }
};

// Opens the help at the contents topic (HELP_FINDER). False, and nothing
// opened, when the map or the topic cannot be read.
bool OpenHelpContents();

// Opens the help at the topic of a context (HELP_CONTEXT). False, and
// nothing opened, when the map cannot be read, does not know the context, or
// its topic cannot be read.
bool OpenHelpContext(unsigned context);

// The windows' Help buttons and F1: as the calls above, and when the help
// cannot open, a box says so and where it looked.
void ShowHelpContents();
void ShowHelpContext(unsigned context);

// Installs a service in place of the program's own (tests install a
// recorder); nullptr restores it. The caller keeps ownership.
void SetHelpService(CHelpService* service);

// The help directory: ProgramHelpDirectory(), unless SetHelpDirectory gave
// another; an empty path restores it.
std::filesystem::path HelpDirectory();
void SetHelpDirectory(const std::filesystem::path& directory);

// What each platform provides: "help" in the executable's directory (on
// Linux, when there is none, the installed topics, /usr/share/orn/help), and
// its service, the help window on Linux, the browser on Windows.
std::filesystem::path ProgramHelpDirectory();
CHelpService& ProgramHelpService();

// The program's services: the topic's files are found in HelpDirectory() by
// the map, then shown.
class CHelpFileService : public CHelpService {
public:
    bool OpenContents() override { return Open(std::nullopt); }
    bool OpenContext(unsigned context) override { return Open(context); }
    std::string FailureText() const override { return failure; }

protected:
    // Shows the topic; false, with the reason in failure, when it cannot.
    virtual bool Show(const CHelpTopicFiles& files) = 0;
    // Added to the failure text when the files cannot be found.
    virtual std::string LookupNote() const { return {}; }

    std::string failure;

private:
    bool Open(std::optional<unsigned> context);
};
