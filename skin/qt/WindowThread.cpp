#include "skin/WindowThread.h"

#include <QObject>
#include <QTimer>

struct CWindowThreadQueue::Impl {
    QObject context;  // the queued calls go with it
    QTimer timer;
};

CWindowThreadQueue::CWindowThreadQueue(std::function<void()> onTimer) : impl(std::make_unique<Impl>()) {
    impl->timer.setSingleShot(true);
    QObject::connect(&impl->timer, &QTimer::timeout, &impl->context, std::move(onTimer));
}

CWindowThreadQueue::~CWindowThreadQueue() = default;

void CWindowThreadQueue::Post(std::function<void()> call) {
    QMetaObject::invokeMethod(&impl->context, std::move(call), Qt::QueuedConnection);
}

void CWindowThreadQueue::StartTimer(int ms) { impl->timer.start(ms); }
void CWindowThreadQueue::StopTimer() { impl->timer.stop(); }
bool CWindowThreadQueue::TimerActive() const { return impl->timer.isActive(); }
