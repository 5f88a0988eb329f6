#pragma once
// Where the capture log goes unless its owner says otherwise: "Log" beside
// the executable while that directory is ours and writable (a build tree),
// else the user's state directory, $XDG_STATE_HOME/orn/Log (by default
// ~/.local/state/orn/Log), for an installed program. Root that runs with
// another user's HOME or XDG_STATE_HOME (sudo -E) takes its own home from
// the account database instead: root's logs never go into a user's tree.

#include <string>

#include "platform/logfiles/LogFiles.h"

struct LogPlace {
    std::string directory;  // empty: nowhere to go,
    std::string why;        // and why not
};

// The choice for the running program.
LogPlace DefaultLogDirectory();

// The choice itself; installedBinDirectory is the one the package installs
// the program to, which never holds logs.
LogPlace ChooseLogDirectory(const LogPlaceFacts& facts, const std::string& installedBinDirectory);
