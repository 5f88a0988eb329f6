#include "ui/SoundCue.h"

#include "platform/sound/SoundPlayer.h"
#include "platform/sound/SoundRecorder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>

#include <chrono>
#include <functional>
#include <future>
#include <thread>

namespace {

using namespace std::chrono_literals;

enum class WindowThread { Busy, Serving };

// Runs PlaySoundCue on a thread of its own and tells how long the call took.
// A busy window thread handles no events meanwhile: a call that waits for
// it shows as the full time-out.
std::chrono::milliseconds PlayOnWorker(int id, int wait, std::chrono::milliseconds timeout,
                                       WindowThread window = WindowThread::Busy) {
    std::packaged_task<std::chrono::milliseconds()> task([id, wait] {
        QElapsedTimer timer;
        timer.start();
        PlaySoundCue(id, wait);
        return std::chrono::milliseconds(timer.elapsed());
    });
    std::future<std::chrono::milliseconds> done = task.get_future();
    std::thread worker(std::move(task));
    if (window == WindowThread::Serving) {
        QElapsedTimer timer;
        timer.start();
        while (done.wait_for(1ms) != std::future_status::ready && timer.elapsed() < timeout.count()) {
            QCoreApplication::processEvents();
        }
    }
    const bool returned = done.wait_for(timeout) == std::future_status::ready;
    if (!returned) {
        // Let the window thread serve the worker so that it can be joined.
        while (done.wait_for(10ms) != std::future_status::ready) QCoreApplication::processEvents();
    }
    worker.join();
    return returned ? done.get() : timeout;
}

qint64 ElapsedMs(const std::function<void()>& action) {
    QElapsedTimer timer;
    timer.start();
    action();
    return timer.elapsed();
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
        QCOMPARE(recorder.played[3].path, QStringLiteral(":/sounds/200.wav"));
        QVERIFY(!recorder.played[0].wait && !recorder.played[2].wait);
        QVERIFY(recorder.played[3].wait);
        for (const auto& sound : recorder.played) QVERIFY(sound.onWindowThread);
    }

    void idWithoutResourceIsSilent() {
        CSoundRecorder recorder;
        const qint64 elapsed = ElapsedMs([] {
            for (const int id : {0, -1, 196, 199, 202, 65535}) {
                PlaySoundCue(id, 1);
                PlaySoundCue(id, 0);
            }
        });
        QVERIFY(recorder.played.empty());
        QVERIFY2(elapsed < 50, qPrintable(QString::number(elapsed)));
        const auto worker = PlayOnWorker(199, 1, 2s);
        QVERIFY2(worker < 50ms, qPrintable(QString::number(worker.count())));
        QCoreApplication::processEvents();
        QVERIFY(recorder.played.empty());
    }

    // The capture thread plays the stop cue at a failed start, possibly
    // while the window thread waits for it: the call must not wait in turn.
    void workerHandsTheCueOverWithoutWaiting() {
        CSoundRecorder recorder;
        const auto elapsed = PlayOnWorker(kStopCue, 0, 2s);
        QVERIFY2(elapsed < 100ms, qPrintable(QString::number(elapsed.count())));
        QVERIFY(recorder.played.empty());   // not yet: the window thread was busy
        QTRY_COMPARE(recorder.CueIds(), std::vector<int>{197});
        QVERIFY(recorder.played[0].onWindowThread);
        QVERIFY(!recorder.played[0].wait);
    }

    void workerWaitIsBoundedWhenTheWindowThreadIsBusy() {
        CSoundRecorder recorder;
        const auto length = WaveResourceDuration(":/sounds/200.wav");
        QVERIFY(length);
        const auto bound = *length + kSoundEndMargin;
        const auto elapsed = PlayOnWorker(kEndCue, 1, bound + 1s);
        QVERIFY2(elapsed >= bound - 50ms && elapsed < bound + 300ms, qPrintable(QString::number(elapsed.count())));
        QTRY_COMPARE(recorder.CueIds(), std::vector<int>{200});
        // The window thread plays it on without waiting on the worker's behalf.
        QVERIFY(!recorder.played[0].wait);
    }

    void workerWaitLastsTheCueOnceItPlays() {
        CSoundRecorder recorder;
        const auto length = WaveResourceDuration(":/sounds/200.wav");
        QVERIFY(length);
        const auto elapsed = PlayOnWorker(kEndCue, 1, 3s, WindowThread::Serving);
        QVERIFY2(elapsed >= *length - 20ms && elapsed < *length + kSoundEndMargin,
                 qPrintable(QString::number(elapsed.count())));
        QCOMPARE(recorder.CueIds(), std::vector<int>{200});
    }
};

QTEST_GUILESS_MAIN(SoundCueTest)
#include "SoundCueTest.moc"
