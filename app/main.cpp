// orn: the interactive IPv4 packet monitor.

#include <QApplication>
#include <cstdio>
#include <cstring>

#include "app/CaptureApp.h"

namespace {
CCaptureApp theApp;

int Usage(const std::string& message, int status) {
    std::fputs(message.c_str(), status == 0 ? stdout : stderr);
    return status;
}
}  // namespace

int main(int argc, char** argv) {
    CCommandLine line;
    std::string message;
    int status = 0;
    // Help needs no display.
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i)
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            ParseCommandLine({argv[i]}, line, message, status);
            return Usage(message, status);
        }
    QApplication app(argc, argv);
    std::vector<std::string> arguments;  // without the ones Qt took
    for (const QString& a : QApplication::arguments().mid(1)) arguments.push_back(a.toLocal8Bit().toStdString());
    if (!ParseCommandLine(arguments, line, message, status)) return Usage(message, status);
    theApp.InitInstance(line);
    return 0;
}
