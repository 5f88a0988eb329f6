#include "resources/sounds/SoundResources.h"

QString SoundCueResourcePath(int id) { return QStringLiteral(":/sounds/%1.wav").arg(id); }
