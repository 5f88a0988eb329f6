#include "dialogs/SoundCue.h"

#include "platform/sound/SoundPlayer.h"
#include "resources/sounds/SoundResources.h"

#include <QCoreApplication>
#include <QFile>
#include <QSemaphore>
#include <QThread>

#include <atomic>
#include <memory>

namespace {

struct CHandOver {
    QSemaphore started;
    std::atomic<bool> playing{false};
};

}  // namespace

void PlaySoundCue(int id, int wait) {
    const QString path = SoundCueResourcePath(id);
    if (!QFile::exists(path)) return;   // no such resource: silent, and nothing is cut off
    QCoreApplication* const app = QCoreApplication::instance();
    if (app == nullptr) return;         // no window thread to play on
    if (QThread::currentThread() == app->thread()) {
        SoundPlayer().PlayWaveResource(path, wait != 0);
        return;
    }

    // A blocking hand-over could deadlock: the window thread may itself be
    // waiting for this thread (Stop waits for the capture thread).
    const auto handOver = wait != 0 ? std::make_shared<CHandOver>() : nullptr;
    QMetaObject::invokeMethod(app, [path, handOver] {
        const bool playing = SoundPlayer().PlayWaveResource(path, false);
        if (handOver) {
            handOver->playing = playing;
            handOver->started.release();
        }
    }, Qt::QueuedConnection);
    if (!handOver) return;

    const auto length = WaveResourceDuration(path);
    if (!length) return;
    const auto bound = *length + kSoundEndMargin;
    if (handOver->started.tryAcquire(1, static_cast<int>(bound.count())) && handOver->playing) {
        QThread::msleep(static_cast<unsigned long>(length->count()));
    }
}
