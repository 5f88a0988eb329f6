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

// What the player was asked to start for a sound of that length: 2 bytes a frame.
std::string StartOf(int milliseconds) { return "start " + std::to_string(kCueSampleRate * milliseconds / 1000 * 2); }

QByteArray Bytes(const std::vector<std::uint8_t>& v) {
    return QByteArray(reinterpret_cast<const char*>(v.data()), qsizetype(v.size()));
}

}  // namespace

class QtSoundPlayerTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    QString File(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }
    // A silent 16-bit mono image of the given length.
    QString Wave(const QString& name, int milliseconds) {
        const std::vector<std::int16_t> silence(kCueSampleRate * milliseconds / 1000, 0);
        return File(name, Bytes(EncodePcm16Wave(silence, kCueSampleRate)));
    }

private slots:
    // Played out, the end never reported (bounded, and cut off), no device.
    void aWaitEndsWithTheSoundOrItsBound() {
        const qint64 bound = 300 + kSoundEndMargin.count();
        const struct {
            CFakeOutput::Mode mode;
            bool played;
            qint64 least, most;
            std::vector<std::string> log;
        } cases[] = {{CFakeOutput::Mode::PlaysOut, true, 250, bound, {StartOf(300)}},
                     {CFakeOutput::Mode::NeverEnds, true, bound - 40, bound + 300, {StartOf(300), "stop"}},
                     {CFakeOutput::Mode::NoDevice, false, 0, 100, {StartOf(300)}}};
        const QString path = Wave("300.wav", 300);
        for (const auto& c : cases) {
            std::vector<std::string> log;
            CQtSoundPlayer player(std::make_unique<CFakeOutput>(c.mode, log));
            bool played = !c.played;
            const qint64 elapsed = ElapsedMs([&] { played = player.PlayWaveResource(path, true); });
            QCOMPARE(played, c.played);
            QVERIFY2(elapsed >= c.least && elapsed < c.most, qPrintable(QString::number(elapsed)));
            QCOMPARE(log, c.log);
        }
    }

    void aNewSoundCutsOffTheOneAndEndsItsWait() {
        std::vector<std::string> log;
        CQtSoundPlayer player(std::make_unique<CFakeOutput>(CFakeOutput::Mode::NeverEnds, log));
        const QString longSound = Wave("long.wav", 2000), shortSound = Wave("short.wav", 200);
        QVERIFY(player.PlayWaveResource(shortSound, false));
        QVERIFY(player.PlayWaveResource(longSound, false));
        // The newer cue arrives while the first one is waited for, as a cue
        // handed over from the capture thread would, and is not cut off by
        // the wait that it ended.
        QTimer::singleShot(50, &player, [&] { player.PlayWaveResource(shortSound, false); });
        const qint64 elapsed = ElapsedMs([&] { player.PlayWaveResource(longSound, true); });
        QVERIFY2(elapsed < 500, qPrintable(QString::number(elapsed)));
        QCOMPARE(log, (std::vector<std::string>{StartOf(200), "stop", StartOf(2000), "stop", StartOf(2000), "stop",
                                                StartOf(200)}));
    }

    void damagedOrMissingImagesAreSilentAndLeaveTheSoundAlone() {
        std::vector<std::string> log;
        CQtSoundPlayer player(std::make_unique<CFakeOutput>(CFakeOutput::Mode::NeverEnds, log));
        const QString good = Wave("good.wav", 400);
        QByteArray garbage(4096, '\0');
        for (int i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>(i * 37 + 11);
        QVERIFY(player.PlayWaveResource(good, false));
        for (const QString& path : {File("garbage.wav", garbage), File("empty.wav", {}), File("cut.wav", "RIFF"),
                                    dir.filePath("missing.wav"), QString(":/sounds/199.wav"), dir.path()}) {
            bool played = true;
            const qint64 elapsed = ElapsedMs([&] { played = player.PlayWaveResource(path, true); });
            QVERIFY2(!played && elapsed < 50 && !WaveResourceDuration(path),
                     qPrintable(path + ": " + QString::number(elapsed)));
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
            QCOMPARE(file.readAll(), Bytes(EncodePcm16Wave(SynthesizeCue(id), kCueSampleRate)));
            const qint64 elapsed = ElapsedMs([&] { player.PlayWaveResource(path, true); });
            QVERIFY2(elapsed < WaveResourceDuration(path).value().count() + kSoundEndMargin.count() + 200,
                     qPrintable(path + ": " + QString::number(elapsed)));
        }
    }
};

QTEST_GUILESS_MAIN(QtSoundPlayerTest)
#include "QtSoundPlayerTest.moc"
