#include "platform/msgbox/QtMessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

#include <cstdio>

#include "platform/msgbox/MessageBox.h"

namespace {

void ShowNow(const QString& title, const QString& text, MessageIcon icon) {
    QMessageBox box(icon == MessageIcon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon, title, text,
                    QMessageBox::Ok);
    box.setObjectName("ornMessageBox");
    box.exec();
}

void Present(const std::string& title, const std::string& text, MessageIcon icon) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!qobject_cast<QApplication*>(app)) {
        std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
        return;
    }
    QString t = QString::fromStdString(title), s = QString::fromStdString(text);
    if (QThread::currentThread() == app->thread()) {
        ShowNow(t, s, icon);
        return;
    }
    // Another thread must not wait for the user here: the window thread may be
    // waiting for that thread to end.
    QMetaObject::invokeMethod(app, [t, s, icon] { ShowNow(t, s, icon); }, Qt::QueuedConnection);
}

}  // namespace

void InstallQtMessageBox() { SetMessageBoxPresenter(Present); }
