#include "skin/Skin.h"

#include <QApplication>
#include <QClipboard>

void BeginWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
void EndWaitCursor() { QApplication::restoreOverrideCursor(); }
void SetClipboardText(const std::string& text) { QGuiApplication::clipboard()->setText(QString::fromStdString(text)); }
int WheelScrollLines() { return QApplication::wheelScrollLines(); }
