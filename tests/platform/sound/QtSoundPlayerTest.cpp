#include "platform/sound/QtSoundPlayer.h"
#include "platform/sound/WaveFile.h"
#include "resources/sounds/CueSynth.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <string>
#include <vector>

namespace {

// Plays nothing; keeps a log of what it was asked, and reports the end of a
// sound after its length, never, or cannot start at all.
class CFakeOutput final : public CAudioOutput {
public:
    enum class Mode { PlaysOut, NeverEnds, NoDevice };

    CFakeOutput(Mode mode, std::vector<std::string>& log) : mode(mode), log(log) {
        playout.setSingleShot(true);
        connect(&playout, &QTimer::timeout, this, [this] {
            playing = false;
            emit Finished();
        });
    }

    bool Start(const QByteArray& pcm, const CWaveInfo& info) override {
        log.push_back("start " + std::to_string(pcm.size()));
        if (mode == Mode::NoDevice) return false;
        playing = true;
        if (mode == Mode::PlaysOut) playout.start(info.Duration());
        return true;
    }

    void Stop() override {
        if (playing) log.push_back("stop");
        playing = false;
        playout.stop();
    }

private:
    Mode mode;
    std::vector<std::string>& log;
    QTimer playout;
    bool playing = false;
};

qint64 ElapsedMs(const std::function<void()>& action) {
    QElapsedTimer timer;
    timer.start();
    action();
    return timer.elapsed();
}

}  // namespace

class QtSoundPlayerTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir;

    // A 16-bit mono image of the given length; its data chunk has 2 bytes a frame.
    QString Wave(const QString& name, int milliseconds) {
        const std::vector<std::int16_t> samples(kCueSampleRate * milliseconds / 1000, 0);
        const std::vector<std::uint8_t> image = EncodePcm16Wave(samples, kCueSampleRate);
        return File(name, QByteArray(reinterpret_cast<const char*>(image.data()),
                                     static_cast<qsizetype>(image.size())));
    }

    QString File(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    static std::string StartOf(int milliseconds) {
        return "start " + std::to_string(kCueSampleRate * milliseconds / 1000 * 2);
    }

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    void waitReturnsWhenTheSoundHasPlayedOut() {
        std::vector<std::string> log;
        CQtSoundPlayer player(std::make_unique<CFakeOutput>(CFakeOutput::Mode::PlaysOut, log));
        const QString path = Wave("300.wav", 300);
        bool played = false;
        const qint64 elapsed = ElapsedMs([&] { played = player.PlayWaveResource(path, true); });
        QVERIFY(played);
        QVERIFY2(elapsed >= 250 && elapsed < 300 + kSoundEndMargin.count(), qPrintable(QString::number(elapsed)));
        QCOMPARE(log, std::vector<std::string>{StartOf(300)});
    }

    void waitIsBoundedWhenTheEndNeverComes() {
        std::vector<std::string> log;
        CQtSoundPlayer player(std::make_unique<CFakeOutput>(CFakeOutput::Mode::NeverEnds, log));
        const QString path = Wave("300.wav", 300);
        const qint64 elapsed = ElapsedMs([&] { player.PlayWaveResource(path, true); });
        const qint64 bound = 300 + kSoundEndMargin.count();
        QVERIFY2(elapsed >= bound - 40 && elapsed < bound + 300, qPrintable(QString::number(elapsed)));
        // The sound that outlived its bound is cut off.
        QCOMPARE(log, (std::vector<std::string>{StartOf(300), "stop"}));
    }

    void withoutDeviceNothingWaits() {
        std::vector<std::string> log;
        CQtSoundPlayer player(std::make_unique<CFakeOutput>(CFakeOutput::Mode::NoDevice, log));
        const QString path = Wave("800.wav", 800);
        bool played = true;
        const qint64 elapsed = ElapsedMs([&] { played = player.PlayWaveResource(path, true); });
        QVERIFY(!played);
        QVERIFY2(elapsed < 100, qPrintable(QString::number(elapsed)));
    }

    void newSoundCutsOffTheOne() {
        std::vector<std::string> log;
        CQtSoundPlayer player(std::make_unique<CFakeOutput>(CFakeOutput::Mode::NeverEnds, log));
        const QString first = Wave("first.wav", 600);
        const QString second = Wave("second.wav", 200);
        QVERIFY(player.PlayWaveResource(first, false));
        QVERIFY(player.PlayWaveResource(second, false));
        QCOMPARE(log, (std::vector<std::string>{StartOf(600), "stop", StartOf(200)}));
    }

    void waitEndsWhenANewerSoundCutsItOff() {
        std::vector<std::string> log;
        CQtSoundPlayer player(std::make_unique<CFakeOutput>(CFakeOutput::Mode::NeverEnds, log));
        const QString longSound = Wave("long.wav", 2000);
        const QString shortSound = Wave("short.wav", 200);
        // The newer cue arrives while the first one is waited for, as a cue
        // handed over from the capture thread would.
        QTimer::singleShot(50, &player, [&] { player.PlayWaveResource(shortSound, false); });
        const qint64 elapsed = ElapsedMs([&] { player.PlayWaveResource(longSound, true); });
        QVERIFY2(elapsed < 500, qPrintable(QString::number(elapsed)));
        // The newer sound is not cut off by the wait that it ended.
        QCOMPARE(log, (std::vector<std::string>{StartOf(2000), "stop", StartOf(200)}));
    }

    void damagedOrMissingImagesAreSilentAndLeaveTheSoundAlone() {
        std::vector<std::string> log;
        CQtSoundPlayer player(std::make_unique<CFakeOutput>(CFakeOutput::Mode::NeverEnds, log));
        const QString good = Wave("good.wav", 400);
        QFile file(good);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray image = file.readAll();
        QByteArray garbage(4096, '\0');
        for (int i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>(i * 37 + 11);
        const QString damaged[] = {
            File("truncated-header.wav", image.left(30)),
            File("truncated-before-data.wav", image.left(44)),
            File("garbage.wav", garbage),
            File("empty.wav", {}),
            dir.filePath("missing.wav"),
            ":/sounds/199.wav",
            dir.path(),   // a directory
        };
        QVERIFY(player.PlayWaveResource(good, false));
        for (const QString& path : damaged) {
            bool played = true;
            const qint64 elapsed = ElapsedMs([&] { played = player.PlayWaveResource(path, true); });
            QVERIFY2(!played, qPrintable(path));
            QVERIFY2(elapsed < 50, qPrintable(path + ": " + QString::number(elapsed)));
            QVERIFY(!WaveResourceDuration(path));
        }
        QCOMPARE(log, std::vector<std::string>{StartOf(400)});
    }

    // The program's compiled-in cues are the synthesised ones, and on the
    // real device output (none in a test machine, usually) a wait for any of
    // them ends within its length and the margin.
    void programCuesPlayWithinTheirLength() {
        CQtSoundPlayer player;
        for (const int id : kCueIds) {
            const QString path = QStringLiteral(":/sounds/%1.wav").arg(id);
            QFile file(path);
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
            const std::vector<std::uint8_t> expected = EncodePcm16Wave(SynthesizeCue(id), kCueSampleRate);
            QCOMPARE(file.readAll(), QByteArray(reinterpret_cast<const char*>(expected.data()),
                                                static_cast<qsizetype>(expected.size())));
            const auto length = WaveResourceDuration(path);
            QVERIFY(length);
            const qint64 elapsed = ElapsedMs([&] { player.PlayWaveResource(path, true); });
            QVERIFY2(elapsed < length->count() + kSoundEndMargin.count() + 200,
                     qPrintable(path + ": " + QString::number(elapsed)));
        }
    }
};

QTEST_GUILESS_MAIN(QtSoundPlayerTest)
#include "QtSoundPlayerTest.moc"
