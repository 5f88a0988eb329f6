#pragma once
// Drives modal windows from tests: act runs once the topmost modal window is
// a T and is showing, from inside that window's own event loop, with the
// window active (so that its shortcuts work); a skinned window that act left
// open is then ended with OK.

#include <QApplication>
#include <QTimer>
#include <functional>

#include "skin/qt/CSkinDialog.h"

template <class T>
void WhenModal(std::function<void(T&)> act) {
    auto* timer = new QTimer(qApp);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act] {
        auto* w = dynamic_cast<T*>(QApplication::activeModalWidget());
        if (!w || !w->isVisible()) return;
        timer->stop();
        timer->deleteLater();
        QApplication::setActiveWindow(w);
        act(*w);
        if (auto* d = dynamic_cast<CSkinDialog*>(w); d && d->isVisible()) d->EndDialog(IDOK);
    });
    timer->start();
}
