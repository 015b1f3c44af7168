#include "base/Resources.h"

#include <QtGlobal>

static void initOnce() {
    Q_INIT_RESOURCE(resources);
}

void initVornResources() {
    initOnce();
}
