#include "resources/art/SkinResources.h"

#include <QtGlobal>

// rcc's registration function; naming it here keeps the resources linked in
// from the static library.
int qInitResources_orn_skin();

void InitSkinResources() {
    static const int once = qInitResources_orn_skin();
    (void)once;
}
