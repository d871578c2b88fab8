// Entry of the tests over the Qt widget set: GoogleTest inside the application object, so
// exceptions that escape event handlers take the same road as in the program.
#include "framework/Application.h"
#include "framework/widgets/qt/QtWidgetSet.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    tolvar::TQtApplication app(argc, argv);
    tolvar::SetApplicationTitle("Test title");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
