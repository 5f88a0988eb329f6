// Mouse clicks go through the window system, where modal windows block
// input, not straight to the widget.
#define QTEST_QPA_MOUSE_HANDLING

#include "platform/help/Help.h"
#include "platform/help/HelpWindow.h"
#include "platform/msgbox/MessageBox.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {

QString TopicName(const CHelpWindow* window) { return window->Topic().fileName(); }

void Write(const QString& path, const QByteArray& text) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        qFatal("cannot write %s", qPrintable(path));
}

const QByteArray kPage = "<html><head><title>T</title></head><body><p>text</p></body></html>";

}  // namespace

class HelpWindowTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { SetHelpDirectory({}); }

    // Runs first, before any window exists. The windows' calls say where
    // the help was looked for (the cases of the lookup: HelpMapTest).
    void unreadableHelpGivesFalseAndNoWindow() {
        QTemporaryDir dir;
        CMessageBoxRecorder boxes;
        SetHelpDirectory(dir.filePath("missing").toStdString());
        QVERIFY(!OpenHelpContents());
        ShowHelpContext(10028);
        QCOMPARE(ProgramHelpWindow(), nullptr);
        const std::string said = "Failed to launch help.\n" + dir.path().toStdString() + "/missing/topics.map cannot be read.";
        QCOMPARE(boxes.Texts(), std::vector<std::string>{said});

        // Once readable, the same calls succeed.
        SetHelpDirectory(dir.path().toStdString());
        Write(dir.filePath("topics.map"), "contents index.html\n129 index.html\n");
        Write(dir.filePath("index.html"), kPage);
        QVERIFY(OpenHelpContext(129) && ProgramHelpWindow());
        ProgramHelpWindow()->close();
    }

    // Closing the window keeps it, history and all, and never ends the program.
    void contextsAndContentsShareOneWindowWithItsHistory() {
        QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
        QCOMPARE(QString::fromStdString(HelpDirectory().string()), QCoreApplication::applicationDirPath() + "/help");
        QVERIFY(OpenHelpContext(10028));
        CHelpWindow* const window = ProgramHelpWindow();
        QVERIFY(window && window->isVisible());
        QCOMPARE(TopicName(window), QStringLiteral("tcp.html"));
        QVERIFY2(window->windowTitle().contains("TCP"), qPrintable(window->windowTitle()));

        QVERIFY(OpenHelpContext(kFiltersHelpContext));
        QCOMPARE(TopicName(window), QStringLiteral("filters.html"));
        QVERIFY(OpenHelpContents());
        QCOMPARE(TopicName(window), QStringLiteral("index.html"));
        QCOMPARE(ProgramHelpWindow(), window);
        QVERIFY(!OpenHelpContext(10025));        // no topic: the window stays as it was
        QCOMPARE(TopicName(window), QStringLiteral("index.html"));

        QVERIFY(window->BackButton()->isEnabled() && !window->ForwardButton()->isEnabled());
        const std::pair<QWidget*, const char*> steps[] = {{window->BackButton(), "filters.html"},
                                                           {window->BackButton(), "tcp.html"},
                                                           {window->ForwardButton(), "filters.html"},
                                                           {window->ContentsButton(), "index.html"}};
        for (auto [button, topic] : steps) {
            QTest::mouseClick(button, Qt::LeftButton);
            QCOMPARE(TopicName(window), QString(topic));
        }
        window->close();
        QCoreApplication::processEvents();
        QCOMPARE(lastClosed.count(), 0);
        QVERIFY(OpenHelpContext(10030));
        QCOMPARE(ProgramHelpWindow(), window);
        QVERIFY(window->isVisible() && window->BackButton()->isEnabled());
        window->close();
    }

    void linksStayInsideTheHelp() {
        QVERIFY(OpenHelpContents());
        CHelpWindow* const window = ProgramHelpWindow();
        QTextBrowser* const browser = window->Browser();
        emit browser->anchorClicked(QUrl("udp.html"));
        QCOMPARE(TopicName(window), QStringLiteral("udp.html"));
        QVERIFY(window->windowTitle().contains("UDP"));

        // An anchor far down the contents topic scrolls there.
        emit browser->anchorClicked(QUrl("index.html#protocols"));
        QCOMPARE(TopicName(window), QStringLiteral("index.html"));
        QTRY_VERIFY(browser->verticalScrollBar()->value() > 0);
        emit browser->anchorClicked(QUrl("#start"));
        QTRY_VERIFY(browser->verticalScrollBar()->value() < browser->verticalScrollBar()->maximum());

        // Nothing outside the help directory is opened.
        for (const char* link : {"http://example.com/", "mailto:someone@example.com", "../CMakeCache.txt",
                                 "file:///etc/passwd", "nothere.html"}) {
            emit browser->anchorClicked(QUrl(link));
            QVERIFY2(TopicName(window) == QStringLiteral("index.html"), link);
        }
        window->close();
    }

    // The main window and every dialog run application-modal; help must
    // take input all the same, also when it was opened before the dialog.
    void helpTakesInputWhileADialogIsModal() {
        QVERIFY(OpenHelpContents());
        CHelpWindow* const window = ProgramHelpWindow();

        QDialog dialog;
        auto* button = new QPushButton("press", &dialog);
        (new QVBoxLayout(&dialog))->addWidget(button);
        QSignalSpy pressed(button, &QPushButton::clicked);
        dialog.setModal(true);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(QApplication::activeModalWidget(), &dialog);

        QVERIFY(OpenHelpContext(10028));
        QCOMPARE(TopicName(window), QStringLiteral("tcp.html"));
        QTest::mouseClick(window->BackButton(), Qt::LeftButton);
        QCOMPARE(TopicName(window), QStringLiteral("index.html"));
        // The dialog still takes input too.
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(pressed.count(), 1);
        dialog.close();
        window->close();
    }
};

QTEST_MAIN(HelpWindowTest)
#include "HelpWindowTest.moc"
