// Every bitmap the windows load exists in the program's resources with its
// exact size and colour depth, the masks cut a shape, and the button faces
// carry their captions and differ between their states.

#include <QFile>
#include <QImage>
#include <QtEndian>
#include <QtTest>

#include "resources/art/SkinResources.h"

namespace {

QString Path(int id) { return QStringLiteral(":/bitmaps/%1.bmp").arg(id); }
QImage Load(int id) { return QImage(Path(id)).convertToFormat(QImage::Format_RGB32); }

int YellowPixels(const QImage& img) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QRgb c = img.pixel(x, y);
            n += qRed(c) > 180 && qGreen(c) > 180 && qBlue(c) < 100;
        }
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

    // Read from the BMP file header itself, and by Qt in the matching form.
    void sizesAndDepths() {
        struct Size {
            int width, height, bits;
            std::vector<int> ids;
        };
        const Size sizes[] = {
            {480, 358, 8, {131}}, {365, 358, 8, {190}}, {297, 222, 8, {188}}, {645, 358, 8, {211}},
            {480, 358, 1, {133}}, {366, 358, 1, {191}}, {297, 222, 1, {189}}, {645, 358, 1, {212}},
            {80, 20, 24, {140, 143, 159, 145, 146, 160, 149, 158, 155, 156, 157, 208, 209, 210, 202, 203, 204, 185,
                          186, 187, 173, 174, 175, 205, 206, 207, 170, 171, 172}},
            {80, 22, 24, {147}},
            {45, 20, 24, {176, 177, 178, 179, 180, 181, 182, 183, 184}},
            {16, 14, 24, {137, 193, 194, 139, 195, 196}}};
        for (const Size& s : sizes)
            for (int id : s.ids) {
                QFile f(Path(id));
                QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(Path(id)));
                const QByteArray b = f.read(30);
                auto u32 = [&](int at) { return qFromLittleEndian<qint32>(b.constData() + at); };
                QVERIFY(b.startsWith("BM"));
                QCOMPARE(QList<int>({u32(18), std::abs(u32(22)), qFromLittleEndian<qint16>(b.constData() + 28)}),
                         QList<int>({s.width, s.height, s.bits}));
                const QImage img(Path(id));
                QCOMPARE(img.size(), QSize(s.width, s.height));
                QCOMPARE(img.format(), s.bits == 8   ? QImage::Format_Indexed8
                                       : s.bits == 1 ? QImage::Format_Mono
                                                     : QImage::Format_RGB32);
            }
    }

    void masksCutAShape() {
        // The main window's outline is not a rectangle: its corners are cut,
        // its middle stays.
        const QImage m = Load(133);
        for (QPoint corner : {QPoint(0, 0), QPoint(479, 0), QPoint(0, 357), QPoint(479, 357)})
            QCOMPARE(m.pixel(corner) & 0xffffff, 0u);
        QCOMPARE(m.pixel(240, 179) & 0xffffff, 0xffffffu);
        // The dialogs' mask keeps their whole control area.
        const QImage dialog = Load(191);
        QCOMPARE(dialog.pixel(20, 40) & 0xffffff, 0xffffffu);
        QCOMPARE(dialog.pixel(344, 340) & 0xffffff, 0xffffffu);
    }

    void facesCarryCaptionsAndDifferByState() {
        const int triples[][3] = {{140, 143, 159}, {145, 146, 160}, {147, 149, 158}, {155, 156, 157}, {208, 209, 210},
                                  {202, 203, 204}, {185, 186, 187}, {173, 174, 175}, {205, 206, 207}, {176, 178, 177},
                                  {179, 180, 181}, {182, 183, 184}, {137, 193, 194}, {139, 195, 196}};
        for (const auto& t : triples) {
            const QImage faces[] = {Load(t[0]), Load(t[1]), Load(t[2])};
            // Each visibly different from the others: a good part of the face changes.
            const int area = faces[0].width() * 2;
            for (int i = 0; i < 3; ++i) {
                QVERIFY2(YellowPixels(faces[i]) >= 6, qPrintable(QString::number(t[i])));
                QVERIFY2(DifferentPixels(faces[i], faces[(i + 1) % 3].copy(faces[i].rect())) > area,
                         qPrintable(QString::number(t[i])));
            }
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
