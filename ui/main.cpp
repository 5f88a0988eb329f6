// orn: the interactive IPv4 packet monitor.

#include <QApplication>

#include "ui/CaptureApp.h"

namespace {
CCaptureApp theApp;
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    theApp.InitInstance();
    return 0;
}
