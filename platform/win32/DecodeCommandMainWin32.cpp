// orn-decode on Windows: the arguments in UTF-8 as everywhere else, and the
// standard streams in binary mode, so that entries keep their bare line feeds,
// the messages their bytes, and a capture read from standard input ("-") its
// carriage returns.
#include <fcntl.h>
#include <io.h>
#include <stdio.h>

#include "capture/DecodeCommand.h"
#include "platform/win32/WideText.h"

int wmain(int argc, wchar_t** argv) {
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) arguments.push_back(Utf8Text(argv[i]));
    return RunDecodeCommand(arguments, _fileno(stdout), _fileno(stderr));
}
