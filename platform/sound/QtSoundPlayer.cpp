#include "platform/sound/QtSoundPlayer.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QMediaDevices>
#include <QPointer>
#include <QTimer>

namespace {

// Far above any cue; keeps a wrong path (a device file, say) from being read
// without end.
constexpr qint64 kMaxWaveImageSize = 16 * 1024 * 1024;

QByteArray ReadWaveImage(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QByteArray image = file.read(kMaxWaveImageSize + 1);
    if (image.size() > kMaxWaveImageSize) return {};
    return image;
}

std::optional<CWaveInfo> ParseWaveImage(const QByteArray& image) {
    return ParseWave(std::span(reinterpret_cast<const std::uint8_t*>(image.constData()),
                               static_cast<std::size_t>(image.size())));
}

std::optional<QAudioFormat::SampleFormat> SinkSampleFormat(WaveSampleFormat format) {
    switch (format) {
    case WaveSampleFormat::UInt8: return QAudioFormat::UInt8;
    case WaveSampleFormat::Int16: return QAudioFormat::Int16;
    case WaveSampleFormat::Int32: return QAudioFormat::Int32;
    case WaveSampleFormat::Float32: return QAudioFormat::Float;
    case WaveSampleFormat::Int24: break;   // Qt has no 24-bit sample format
    }
    return std::nullopt;
}

class CSinkAudioOutput final : public CAudioOutput {
public:
    ~CSinkAudioOutput() override { Stop(); }

    bool Start(const QByteArray& pcm, const CWaveInfo& info) override {
        Stop();
        const auto sampleFormat = SinkSampleFormat(info.sampleFormat);
        if (!sampleFormat) return false;
        QAudioFormat format;
        format.setSampleRate(static_cast<int>(info.sampleRate));
        format.setChannelCount(info.channels);
        format.setSampleFormat(*sampleFormat);
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (device.isNull() || !device.isFormatSupported(format)) return false;

        data = pcm;
        buffer.setBuffer(&data);
        buffer.open(QIODevice::ReadOnly);
        sink = std::make_unique<QAudioSink>(device, format);
        QAudioSink* const started = sink.get();
        connect(started, &QAudioSink::stateChanged, this, [this, started](QAudio::State state) {
            if (sink.get() != started) return;
            const bool drained = state == QAudio::IdleState;
            const bool failed = state == QAudio::StoppedState && started->error() != QAudio::NoError;
            if (!drained && !failed) return;
            emit Finished();
            // Release the device once the sink's own signal has returned.
            QMetaObject::invokeMethod(this, [this, started] {
                if (sink.get() == started) Stop();
            }, Qt::QueuedConnection);
        });
        sink->start(&buffer);
        if (sink->state() == QAudio::StoppedState && sink->error() != QAudio::NoError) {
            Stop();
            return false;
        }
        return true;
    }

    void Stop() override {
        if (sink) {
            sink->disconnect(this);
            sink->stop();
            sink.reset();
        }
        buffer.close();
        data.clear();
    }

private:
    QByteArray data;
    QBuffer buffer;
    std::unique_ptr<QAudioSink> sink;
};

CSoundPlayer* installedPlayer = nullptr;
QPointer<CQtSoundPlayer> programPlayer;

}  // namespace

std::unique_ptr<CAudioOutput> MakeDeviceAudioOutput() { return std::make_unique<CSinkAudioOutput>(); }

CQtSoundPlayer::CQtSoundPlayer(QObject* parent) : CQtSoundPlayer(MakeDeviceAudioOutput(), parent) {}

CQtSoundPlayer::CQtSoundPlayer(std::unique_ptr<CAudioOutput> audioOutput, QObject* parent)
    : QObject(parent), output(std::move(audioOutput)) {
    connect(output.get(), &CAudioOutput::Finished, this, [this] { endedSound = currentSound; });
}

CQtSoundPlayer::~CQtSoundPlayer() = default;

bool CQtSoundPlayer::PlayWaveResource(const QString& path, bool wait) {
    const QByteArray image = ReadWaveImage(path);
    const auto info = ParseWaveImage(image);
    if (!info) return false;
    const QByteArray pcm = image.mid(static_cast<qsizetype>(info->dataOffset),
                                     static_cast<qsizetype>(info->dataSize));
    const std::uint64_t sound = ++currentSound;
    emit Superseded();
    output->Stop();
    if (!output->Start(pcm, *info)) return false;
    if (wait) WaitForEnd(sound, info->Duration() + kSoundEndMargin);
    return true;
}

void CQtSoundPlayer::WaitForEnd(std::uint64_t sound, std::chrono::milliseconds bound) {
    // The sink is fed from this thread's event loop, so the wait runs one, but
    // without user input: the window must not act while its cue plays out.
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(output.get(), &CAudioOutput::Finished, &loop, &QEventLoop::quit);
    connect(this, &CQtSoundPlayer::Superseded, &loop, &QEventLoop::quit);
    deadline.start(bound);
    if (endedSound != sound && currentSound == sound) loop.exec(QEventLoop::ExcludeUserInputEvents);
    // A sound that outlives its bound is cut off; a newer one plays on.
    if (currentSound == sound && endedSound != sound) output->Stop();
}

CSoundPlayer& SoundPlayer() {
    if (installedPlayer) return *installedPlayer;
    if (!programPlayer) programPlayer = new CQtSoundPlayer(QCoreApplication::instance());
    return *programPlayer;
}

void SetSoundPlayer(CSoundPlayer* player) { installedPlayer = player; }

std::optional<std::chrono::milliseconds> WaveResourceDuration(const QString& path) {
    const auto info = ParseWaveImage(ReadWaveImage(path));
    if (!info) return std::nullopt;
    return info->Duration();
}
