// Opens one skinned window of ORN's templates with the sample content of
// SkinSample.h.
//   orn-skin-sample TEMPLATE [--hex] [--grab FILE]   offscreen: saves the window's own picture
//   orn-skin-sample TEMPLATE [--hex] --shot FILE     on X: shows the window at (40, 40), saves
//                                                    the whole screen and checks the shape
// --hex shows the details window's message as a hex dump. --shot exits 0
// when the screen shows the root window where the mask cuts the corners and
// the skin inside, 1 otherwise.

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <memory>

#include "skin/qt/CSkinDialog.h"
#include "tests/ui/SkinSample.h"

namespace {

// The shape seen on the screen: corners of the window show the root window,
// its middle shows the skin.
bool CheckShot(const QImage& screen, QPoint at, QSize size) {
    QRgb root = screen.pixel(2, 2);
    QRgb corner = screen.pixel(at);
    QRgb middle = screen.pixel(at + QPoint(size.width() / 2, size.height() / 2));
    QRgb cornerBR = screen.pixel(at + QPoint(size.width() - 1, size.height() - 1));
    std::printf("root %08x corner %08x bottom-right %08x middle %08x\n", root, corner, cornerBR, middle);
    return corner == root && cornerBR == root && middle != root;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: orn-skin-sample TEMPLATE [--grab FILE | --shot FILE]\n");
        return 2;
    }
    int t = QString(argv[1]).toInt();
    int next = 2;
    const bool hex = argc > next && QString(argv[next]) == "--hex";
    next += hex;
    QString mode = argc > next ? argv[next] : QString();
    QString file = argc > next + 1 ? argv[next + 1] : QString();
    std::unique_ptr<CSkinDialog> window = MakeSampleWindow(t, hex);
    CSkinDialog& dlg = *window;
    dlg.move(40, 40);
    int status = 0;
    QTimer::singleShot(mode == "--shot" ? 1500 : 100, &dlg, [&] {
        if (mode == "--grab") {
            dlg.grab().save(file);
        } else if (mode == "--shot") {
            QImage screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
            screen.save(file);
            status = CheckShot(screen, dlg.geometry().topLeft(), dlg.size()) ? 0 : 1;
        }
        if (!mode.isEmpty()) dlg.EndDialog(IDCANCEL);
    });
    dlg.DoModal();
    return status;
}
