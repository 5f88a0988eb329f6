#include "platform/help/HelpWindow.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

CHelpWindow::CHelpWindow(QWidget* parent)
    : QWidget(parent, Qt::Window),
      browser(new QTextBrowser(this)),
      contentsButton(new QPushButton(tr("&Contents"), this)),
      backButton(new QPushButton(tr("&Back"), this)),
      forwardButton(new QPushButton(tr("&Forward"), this)) {
    setObjectName("helpWindow");
    resize(720, 600);
    // Closing help never ends the program, even while the main window is
    // hidden to the tray.
    setAttribute(Qt::WA_QuitOnClose, false);

    browser->setOpenLinks(false);
    browser->setOpenExternalLinks(false);
    backButton->setEnabled(false);
    forwardButton->setEnabled(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(contentsButton);
    buttons->addWidget(backButton);
    buttons->addWidget(forwardButton);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(browser);

    connect(contentsButton, &QPushButton::clicked, this, [this] {
        if (contentsTopic.isValid()) browser->setSource(contentsTopic);
    });
    connect(backButton, &QPushButton::clicked, browser, &QTextBrowser::backward);
    connect(forwardButton, &QPushButton::clicked, browser, &QTextBrowser::forward);
    connect(browser, &QTextBrowser::backwardAvailable, backButton, &QPushButton::setEnabled);
    connect(browser, &QTextBrowser::forwardAvailable, forwardButton, &QPushButton::setEnabled);
    connect(browser, &QTextBrowser::anchorClicked, this, &CHelpWindow::FollowLink);
    connect(browser, &QTextBrowser::sourceChanged, this, &CHelpWindow::UpdateTitle);

    auto* back = new QAction(this);
    back->setShortcuts(QKeySequence::Back);
    connect(back, &QAction::triggered, browser, &QTextBrowser::backward);
    auto* forward = new QAction(this);
    forward->setShortcuts(QKeySequence::Forward);
    connect(forward, &QAction::triggered, browser, &QTextBrowser::forward);
    auto* close = new QAction(this);
    close->setShortcut(Qt::Key_Escape);
    connect(close, &QAction::triggered, this, &QWidget::close);
    addActions({back, forward, close});
    UpdateTitle();
}

void CHelpWindow::ShowTopic(const QUrl& topic, const QUrl& contents) {
    contentsTopic = contents;
    browser->setSearchPaths({QFileInfo(contents.toLocalFile()).absolutePath()});
    if (browser->source() == topic) {
        browser->reload();
    } else {
        browser->setSource(topic);
    }
}

QUrl CHelpWindow::Topic() const { return browser->source(); }

bool CHelpWindow::IsHelpFile(const QUrl& url) const {
    if (!url.isLocalFile() || !contentsTopic.isLocalFile()) return false;
    const QFileInfo file(url.toLocalFile());
    const QString helpDir = QFileInfo(contentsTopic.toLocalFile()).canonicalPath();
    return file.isFile() && !helpDir.isEmpty() && file.canonicalPath() == helpDir;
}

void CHelpWindow::FollowLink(const QUrl& link) {
    const QUrl target = browser->source().resolved(link);
    if (link.isRelative() && link.path().isEmpty()) {
        browser->scrollToAnchor(link.fragment());   // "#fields" within the topic
        return;
    }
    if (!IsHelpFile(target)) return;
    browser->setSource(target);
    if (target.hasFragment()) browser->scrollToAnchor(target.fragment());
}

void CHelpWindow::UpdateTitle() {
    const QString topic = browser->documentTitle();
    setWindowTitle(topic.isEmpty() ? tr("ORN Help") : tr("ORN Help - %1").arg(topic));
}
