#pragma once
// What a window's message queue gives (PostMessage, a one-shot SetTimer), for
// an object that is not a window: calls run later on the window thread.
// Calls and a timer still pending when the object goes are dropped.

#include <functional>
#include <memory>

class CWindowThreadQueue {
public:
    // Made on the window thread; onTimer runs there when the timer fires.
    explicit CWindowThreadQueue(std::function<void()> onTimer);
    ~CWindowThreadQueue();
    CWindowThreadQueue(const CWindowThreadQueue&) = delete;
    CWindowThreadQueue& operator=(const CWindowThreadQueue&) = delete;

    // Any thread: call runs on the window thread after the calls before it.
    void Post(std::function<void()> call);

    // Window thread: onTimer once, ms from now, unless stopped first.
    void StartTimer(int ms);
    void StopTimer();
    bool TimerActive() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};
