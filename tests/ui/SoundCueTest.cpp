#include "dialogs/SoundCue.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <atomic>
#include <thread>

#include "platform/sound/SoundPlayer.h"
#include "platform/sound/SoundRecorder.h"

namespace {

using namespace std::chrono_literals;

// Runs PlaySoundCue on a thread of its own and tells how long the call took.
// Meanwhile the window thread is busy (handles no events) unless it serves.
std::chrono::milliseconds PlayOnWorker(int id, int wait, bool windowServes = false) {
    std::atomic<long long> took{-1};
    std::thread worker([&] {
        QElapsedTimer timer;
        timer.start();
        PlaySoundCue(id, wait);
        took = timer.elapsed();
    });
    while (windowServes && took < 0) QTest::qWait(1);
    worker.join();
    return std::chrono::milliseconds(took);
}

}  // namespace

class SoundCueTest : public QObject {
    Q_OBJECT

private slots:
    void cuesPlayTheirResourcesOnTheWindowThread() {
        CSoundRecorder recorder;
        PlaySoundCue(kWelcomeCue, 0);
        PlaySoundCue(kStartCue, 0);
        PlaySoundCue(kStopCue, 0);
        PlaySoundCue(kEndCue, 1);
        QCOMPARE(recorder.CueIds(), (std::vector<int>{201, 198, 197, 200}));
        QCOMPARE(recorder.played[0].path, QStringLiteral(":/sounds/201.wav"));
        // Only the end cue is waited for.
        for (std::size_t i = 0; i < 4; ++i)
            QVERIFY(recorder.played[i].onWindowThread && recorder.played[i].wait == (i == 3));
    }

    void idWithoutResourceIsSilent() {
        CSoundRecorder recorder;
        QElapsedTimer timer;
        timer.start();
        for (const int id : {0, -1, 196, 199, 202, 65535}) PlaySoundCue(id, 1);
        QVERIFY2(timer.elapsed() < 50, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(PlayOnWorker(199, 1) < 50ms);
        QCoreApplication::processEvents();
        QVERIFY(recorder.played.empty());
    }

    // The capture thread plays the stop cue at a failed start, possibly
    // while the window thread waits for it: the call must not wait in turn.
    void workerHandsTheCueOverWithoutWaiting() {
        CSoundRecorder recorder;
        const auto elapsed = PlayOnWorker(kStopCue, 0);
        QVERIFY2(elapsed < 100ms, qPrintable(QString::number(elapsed.count())));
        QVERIFY(recorder.played.empty());  // not yet: the window thread was busy
        QTRY_COMPARE(recorder.CueIds(), std::vector<int>{197});
        QVERIFY(recorder.played[0].onWindowThread && !recorder.played[0].wait);
    }

    void workerWaitIsBoundedWhenTheWindowThreadIsBusy() {
        CSoundRecorder recorder;
        const auto bound = WaveResourceDuration(":/sounds/200.wav").value() + kSoundEndMargin;
        const auto elapsed = PlayOnWorker(kEndCue, 1);
        QVERIFY2(elapsed >= bound - 50ms && elapsed < bound + 300ms, qPrintable(QString::number(elapsed.count())));
        QTRY_COMPARE(recorder.CueIds(), std::vector<int>{200});
        // The window thread plays it on without waiting on the worker's behalf.
        QVERIFY(!recorder.played[0].wait);
    }

    void workerWaitLastsTheCueOnceItPlays() {
        CSoundRecorder recorder;
        const auto length = WaveResourceDuration(":/sounds/200.wav").value();
        const auto elapsed = PlayOnWorker(kEndCue, 1, true);
        QVERIFY2(elapsed >= length - 20ms && elapsed < length + kSoundEndMargin,
                 qPrintable(QString::number(elapsed.count())));
        QCOMPARE(recorder.CueIds(), std::vector<int>{200});
    }
};

QTEST_GUILESS_MAIN(SoundCueTest)
#include "SoundCueTest.moc"
