// The Qt presenter: a modal box with the exclamation icon and one OK button,
// titled with the executable's name, shown on the window thread even when
// another thread asks for it.

#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <thread>

#include "platform/msgbox/MessageBox.h"
#include "platform/msgbox/QtMessageBox.h"

namespace {

// Closes the next message box that opens and notes what it showed:
// "TITLE|TEXT|ICON|BUTTONS", and whether on the window thread.
void CloseNextBox(QString* seen) {
    QTimer::singleShot(20, [seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return CloseNextBox(seen);
        *seen = QString("%1|%2|%3|%4").arg(box->windowTitle(), box->text()).arg(box->icon()).arg(box->buttons().size());
        if (QThread::currentThread() != qApp->thread()) *seen += " elsewhere";
        box->button(QMessageBox::Ok)->click();
    });
}

}  // namespace

class TestQtMessageBox : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { InstallQtMessageBox(); }

    void exclamationBoxWithOkTitledWithTheProgram() {
        QString seen;
        CloseNextBox(&seen);
        ShowMessageBox("Port number can not be negative!!!");
        QCOMPARE(seen, QString("test-msgbox-qt|Port number can not be negative!!!|%1|1").arg(QMessageBox::Warning));
        CloseNextBox(&seen);
        ShowMessageBox("Failed to launch help.", MessageIcon::None);
        QCOMPARE(seen, QString("test-msgbox-qt|Failed to launch help.|%1|1").arg(QMessageBox::NoIcon));
    }

    void anotherThreadNeitherBlocksNorShowsItThere() {
        QString seen;
        // Returns without anyone closing a box.
        std::thread([] { ShowMessageBox("This program requires Linux 3.2!!!"); }).join();
        CloseNextBox(&seen);
        QTRY_COMPARE(seen, QString("test-msgbox-qt|This program requires Linux 3.2!!!|%1|1").arg(QMessageBox::Warning));
    }
};

QTEST_MAIN(TestQtMessageBox)
#include "test_msgbox_qt.moc"
