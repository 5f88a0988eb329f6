#include "skin/Skin.h"

#include <QApplication>

void BeginWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
void EndWaitCursor() { QApplication::restoreOverrideCursor(); }
int WheelScrollLines() { return QApplication::wheelScrollLines(); }
