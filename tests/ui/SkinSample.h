#pragma once
// One skinned window of ORN's templates with sample content, written against
// the skin's window API only, so that the Linux and the Windows sample
// programs show the same windows and their pictures can be compared: the
// main window and the host browser with sample rows, the details window with
// a decoded HTTP request (hex: as a hex dump), the conversations of three
// such requests, the others as they come from their templates.

#include <memory>

#include "skin/CSkinDialog.h"

std::unique_ptr<CSkinDialog> MakeSampleWindow(int templateId, bool hex);
