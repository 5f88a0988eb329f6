#pragma once
// Drives modal windows from tests: act runs once the topmost modal window is
// a T and is showing, from inside that window's own event loop.

#include <QApplication>
#include <QTimer>
#include <functional>

template <class T>
void WhenModal(std::function<void(T&)> act) {
    auto* timer = new QTimer(qApp);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act] {
        auto* w = dynamic_cast<T*>(QApplication::activeModalWidget());
        if (!w || !w->isVisible()) return;
        timer->stop();
        timer->deleteLater();
        act(*w);
    });
    timer->start();
}
