// Entry of the widget tests: GoogleTest inside the application object, so exceptions that
// escape event handlers take the same road as in the program.
#include "framework/widgets/Application.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    tolvar::TApplication app(argc, argv);
    tolvar::SetApplicationTitle("Test title");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
