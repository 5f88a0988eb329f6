#pragma once
// Where the capture log goes unless its owner says otherwise: "Log" beside
// the executable while that directory is writable (a build tree), else the
// user's state directory, $XDG_STATE_HOME/orn/Log (by default
// ~/.local/state/orn/Log), for an installed program.

#include <string>

// The choice for the running program; makes the parents of a state
// directory. Empty when there is nowhere to go.
std::string DefaultLogDirectory();

// The choice itself: exeDirectory is the executable's directory (empty when
// unknown), installedBinDirectory the one the package installs it to, which
// never holds logs. stateHome and home as the environment gives them (null
// when unset).
std::string ChooseLogDirectory(const std::string& exeDirectory, bool exeDirectoryWritable,
                               const std::string& installedBinDirectory, const char* stateHome, const char* home);
