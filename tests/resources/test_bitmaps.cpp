// Every bitmap the windows load exists in the program's resources with its
// exact size and colour depth, the masks cut a shape, and the button faces
// carry their captions and differ between their states.

#include <QFile>
#include <QImage>
#include <QtTest>

#include "resources/art/SkinResources.h"

namespace {

struct Header {
    int width = 0, height = 0, bits = 0;
};

// Reads the size and depth from the BMP file header itself.
Header ReadHeader(int id) {
    QFile f(QStringLiteral(":/bitmaps/%1.bmp").arg(id));
    Header h;
    if (!f.open(QIODevice::ReadOnly)) return h;
    QByteArray b = f.read(30);
    if (b.size() < 30 || b[0] != 'B' || b[1] != 'M') return h;
    auto u32 = [&](int at) {
        return int(uchar(b[at]) | uchar(b[at + 1]) << 8 | uchar(b[at + 2]) << 16 | uchar(b[at + 3]) << 24);
    };
    h.width = u32(18);
    h.height = std::abs(u32(22));
    h.bits = uchar(b[28]) | uchar(b[29]) << 8;
    return h;
}

QImage Load(int id) { return QImage(QStringLiteral(":/bitmaps/%1.bmp").arg(id)).convertToFormat(QImage::Format_RGB32); }

bool IsYellow(QRgb c) { return qRed(c) > 180 && qGreen(c) > 180 && qBlue(c) < 100; }

int YellowPixels(const QImage& img) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) n += IsYellow(img.pixel(x, y));
    return n;
}

int DifferentPixels(const QImage& a, const QImage& b) {
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) n += a.pixel(x, y) != b.pixel(x, y);
    return n;
}

}  // namespace

class TestBitmaps : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { InitSkinResources(); }

    void sizesAndDepths_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("bits");
        auto row = [](int id, int w, int h, int bits) {
            QTest::addRow("%d", id) << id << w << h << bits;
        };
        row(131, 480, 358, 8), row(190, 365, 358, 8), row(188, 297, 222, 8);
        row(133, 480, 358, 1), row(191, 366, 358, 1), row(189, 297, 222, 1);
        for (int id : {140, 143, 159, 145, 146, 160, 149, 158, 155, 156, 157, 208, 209, 210, 202, 203, 204, 185, 186,
                       187, 173, 174, 175, 205, 206, 207, 170, 171, 172})
            row(id, 80, 20, 24);
        row(147, 80, 22, 24);
        for (int id : {176, 177, 178, 179, 180, 181, 182, 183, 184}) row(id, 45, 20, 24);
        for (int id : {137, 193, 194, 139, 195, 196}) row(id, 16, 14, 24);
    }
    void sizesAndDepths() {
        QFETCH(int, id);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, bits);
        Header h = ReadHeader(id);
        QCOMPARE(h.width, width);
        QCOMPARE(h.height, height);
        QCOMPARE(h.bits, bits);
        // Qt reads it back in the matching form: palette, mono or true colour.
        QImage img(QStringLiteral(":/bitmaps/%1.bmp").arg(id));
        QCOMPARE(img.size(), QSize(width, height));
        QCOMPARE(img.format(), bits == 8 ? QImage::Format_Indexed8 : bits == 1 ? QImage::Format_Mono
                                                                               : QImage::Format_RGB32);
    }

    void masksCutAShape() {
        // The main window's outline is not a rectangle: its corners are cut,
        // its middle stays.
        QImage m = Load(133);
        QCOMPARE(m.size(), QSize(480, 358));
        for (QPoint corner : {QPoint(0, 0), QPoint(479, 0), QPoint(0, 357), QPoint(479, 357)})
            QCOMPARE(m.pixel(corner) & 0xffffff, 0u);
        QCOMPARE(m.pixel(240, 179) & 0xffffff, 0xffffffu);
        // Each dialog keeps its whole control area: the mask is white under
        // every control of the windows that use it (checked at their centres
        // and near their corners).
        QImage dialog = Load(191);
        QCOMPARE(dialog.pixel(20, 40) & 0xffffff, 0xffffffu);
        QCOMPARE(dialog.pixel(344, 340) & 0xffffff, 0xffffffu);
    }

    void facesCarryCaptionsAndDifferByState() {
        const int triples[][3] = {{140, 143, 159}, {145, 146, 160}, {147, 149, 158}, {155, 156, 157}, {208, 209, 210},
                                  {202, 203, 204}, {185, 186, 187}, {173, 174, 175}, {205, 206, 207}, {176, 178, 177},
                                  {179, 180, 181}, {182, 183, 184}, {137, 193, 194}, {139, 195, 196}};
        for (const auto& t : triples) {
            QImage normal = Load(t[0]), selected = Load(t[1]), focus = Load(t[2]);
            QVERIFY2(YellowPixels(normal) >= 6, qPrintable(QString::number(t[0])));
            QVERIFY2(YellowPixels(selected) >= 6, qPrintable(QString::number(t[1])));
            // Visibly different: a good part of the face changes.
            const int area = normal.width() * 20 / 10;
            QVERIFY2(DifferentPixels(normal, selected.copy(normal.rect())) > area, qPrintable(QString::number(t[1])));
            QVERIFY2(DifferentPixels(normal, focus.copy(normal.rect())) > area, qPrintable(QString::number(t[2])));
            QVERIFY2(DifferentPixels(selected, focus.copy(selected.rect())) > area, qPrintable(QString::number(t[2])));
        }
        // Faces with different captions differ.
        QVERIFY(DifferentPixels(Load(185), Load(173)) > 50);
        QVERIFY(DifferentPixels(Load(137), Load(139)) > 5);
    }

    void applicationIcon() {
        for (int size : {16, 32, 48}) {
            QImage icon(QStringLiteral(":/icons/128-%1.png").arg(size));
            QCOMPARE(icon.size(), QSize(size, size));
            QVERIFY(YellowPixels(icon.convertToFormat(QImage::Format_RGB32)) > 0);
        }
    }
};

QTEST_GUILESS_MAIN(TestBitmaps)
#include "test_bitmaps.moc"
