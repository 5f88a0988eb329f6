#pragma once
// The help window: one topic at a time, with Contents, Back and Forward.
// Links between topics are followed inside the window; links that lead out
// of the help directory are not followed.

#include <QUrl>
#include <QWidget>

class QPushButton;
class QTextBrowser;

class CHelpWindow final : public QWidget {
    Q_OBJECT
public:
    explicit CHelpWindow(QWidget* parent = nullptr);

    // Shows topic, a file of the help directory whose contents topic is contents.
    void ShowTopic(const QUrl& topic, const QUrl& contents);
    QUrl Topic() const;
    QTextBrowser* Browser() const { return browser; }

    QPushButton* ContentsButton() const { return contentsButton; }
    QPushButton* BackButton() const { return backButton; }
    QPushButton* ForwardButton() const { return forwardButton; }

private:
    void FollowLink(const QUrl& link);
    bool IsHelpFile(const QUrl& url) const;
    void UpdateTitle();

    QTextBrowser* browser;
    QPushButton* contentsButton;
    QPushButton* backButton;
    QPushButton* forwardButton;
    QUrl contentsTopic;
};

// The program's help window while it exists (tests look at it); nullptr before
// the first successful Open call.
CHelpWindow* ProgramHelpWindow();
