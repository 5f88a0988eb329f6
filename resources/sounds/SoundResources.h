#pragma once
// Where the program's WAVE resources live among its compiled-in resources.

#include <QString>

// ":/sounds/<id>.wav"; whether it exists is for the caller to ask.
QString SoundCueResourcePath(int id);
