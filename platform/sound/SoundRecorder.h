#pragma once
// A sound player for tests: records what would have played, plays nothing.
// It installs itself for its lifetime.

#include "platform/sound/SoundPlayer.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QThread>

#include <vector>

class CSoundRecorder final : public CSoundPlayer {
public:
    struct CPlayed {
        QString path;
        bool wait = false;
        bool onWindowThread = false;   // called on the application's thread
    };

    CSoundRecorder() { SetSoundPlayer(this); }
    ~CSoundRecorder() override { SetSoundPlayer(nullptr); }
    CSoundRecorder(const CSoundRecorder&) = delete;
    CSoundRecorder& operator=(const CSoundRecorder&) = delete;

    bool PlayWaveResource(const QString& path, bool wait) override {
        const QCoreApplication* app = QCoreApplication::instance();
        played.push_back({path, wait, app && QThread::currentThread() == app->thread()});
        return true;
    }

    // The cue ids played, in order: ":/sounds/198.wav" is 198.
    std::vector<int> CueIds() const {
        std::vector<int> ids;
        for (const CPlayed& sound : played) ids.push_back(QFileInfo(sound.path).baseName().toInt());
        return ids;
    }

    std::vector<CPlayed> played;
};
