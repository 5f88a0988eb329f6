#pragma once
// The Qt presenter of ShowMessageBox: a QMessageBox on the window thread.

// Installs it; safe to call more than once. A test hook still wins.
void InstallQtMessageBox();
