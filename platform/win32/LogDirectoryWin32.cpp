// Where the capture log goes on Windows: "Log" beside the executable where
// files can be made there, else ORN\Log in the user's local application data
// (a program in Program Files without administrator rights).
#include "capture/LogDirectory.h"

LogPlace ChooseLogDirectory(const LogPlaceFacts& facts, const std::string&) {
    if (!facts.exeDirectory.empty() && facts.exeDirectoryOurs) return {facts.exeDirectory + "\\Log", {}};
    if (!facts.localAppData.empty()) return {facts.localAppData + "\\ORN\\Log", {}};
    return {{}, "the program's directory is not writable and LOCALAPPDATA is not set"};
}

LogPlace DefaultLogDirectory() { return ChooseLogDirectory(GatherLogPlaceFacts(), {}); }
