// The Qt presenter: a modal box with the exclamation icon and one OK button,
// titled with the executable's name, shown on the window thread even when
// another thread asks for it.

#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <thread>

#include "platform/msgbox/MessageBox.h"
#include "platform/msgbox/QtMessageBox.h"

namespace {

struct Seen {
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttons = 0;
    bool onWindowThread = false;
};

// Closes the next message box that opens and notes what it showed.
void CloseNextBox(Seen* seen) {
    QTimer::singleShot(20, [seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            CloseNextBox(seen);
            return;
        }
        seen->title = box->windowTitle();
        seen->text = box->text();
        seen->icon = box->icon();
        seen->buttons = int(box->buttons().size());
        seen->onWindowThread = QThread::currentThread() == qApp->thread();
        box->button(QMessageBox::Ok)->click();
    });
}

}  // namespace

class TestQtMessageBox : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { InstallQtMessageBox(); }

    void exclamationBoxWithOkTitledWithTheProgram() {
        Seen seen;
        CloseNextBox(&seen);
        ShowMessageBox("Port number can not be negative!!!");
        QCOMPARE(seen.title, QFileInfo(QCoreApplication::applicationFilePath()).fileName());
        QCOMPARE(seen.text, QString("Port number can not be negative!!!"));
        QCOMPARE(seen.icon, QMessageBox::Warning);
        QCOMPARE(seen.buttons, 1);

        CloseNextBox(&seen);
        ShowMessageBox("Failed to launch help.", MessageIcon::None);
        QCOMPARE(seen.icon, QMessageBox::NoIcon);
    }

    void anotherThreadNeitherBlocksNorShowsItThere() {
        Seen seen;
        std::thread worker([] { ShowMessageBox("This program requires Linux 3.2!!!"); });
        worker.join();  // returned without anyone closing a box
        CloseNextBox(&seen);
        QTRY_COMPARE(seen.text, QString("This program requires Linux 3.2!!!"));
        QVERIFY(seen.onWindowThread);
    }
};

QTEST_MAIN(TestQtMessageBox)
#include "test_msgbox_qt.moc"
