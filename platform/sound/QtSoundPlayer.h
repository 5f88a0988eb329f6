#pragma once
// The program's own sound player on Qt Multimedia. It reads and checks the
// WAV header itself and feeds the PCM to an audio sink, so that a damaged
// image is refused before anything plays and a waiting call knows how long
// the sound lasts: without an audio device nothing reports the end of a
// sound, and a wait must never hang on that.

#include "platform/sound/SoundPlayer.h"
#include "platform/sound/WaveFile.h"

#include <QByteArray>
#include <QObject>

#include <cstdint>
#include <memory>

// One stream of PCM to an audio device; a seam for tests.
class CAudioOutput : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Starts playing pcm, the sample data of an image described by format.
    // False when nothing can play (no device, a format the device refuses).
    virtual bool Start(const QByteArray& pcm, const CWaveInfo& format) = 0;
    // Cuts off what plays; nothing when nothing plays.
    virtual void Stop() = 0;

signals:
    // The last started sound has played out, or the device gave up on it.
    void Finished();
};

// The default device through QAudioSink.
std::unique_ptr<CAudioOutput> MakeDeviceAudioOutput();

class CQtSoundPlayer final : public QObject, public CSoundPlayer {
    Q_OBJECT
public:
    explicit CQtSoundPlayer(QObject* parent = nullptr);
    CQtSoundPlayer(std::unique_ptr<CAudioOutput> output, QObject* parent = nullptr);
    ~CQtSoundPlayer() override;

    bool PlayWaveResource(const QString& path, bool wait) override;

signals:
    // A newer sound has cut off the one a waiting call waits for.
    void Superseded();

private:
    void WaitForEnd(std::uint64_t sound, std::chrono::milliseconds bound);

    std::unique_ptr<CAudioOutput> output;
    std::uint64_t currentSound = 0;   // counts the sounds started
    std::uint64_t endedSound = 0;     // the last one that reported its end
};
