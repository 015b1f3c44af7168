#include "base/Resources.h"

#include "TestEnvironment.h"
#include "app/VornApplication.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    TestEnvironment::isolate();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    VornApplication app(argc, argv);
    initVornResources();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
