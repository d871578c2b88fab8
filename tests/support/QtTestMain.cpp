// Entry of the tests over the Qt widget set: GoogleTest inside the application object, so
// exceptions that escape event handlers take the same road as in the program.
#include "framework/Application.h"
#include "framework/widgets/qt/QtWidgetSet.h"

#include <filesystem>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Updates run here leave their records beside the test, never in the user's own log.
    if (qEnvironmentVariableIsEmpty("XDG_STATE_HOME"))
        qputenv("XDG_STATE_HOME",
                (std::filesystem::absolute(argv[0]).parent_path() / "test-state").string().c_str());
    tolvar::TQtApplication app(argc, argv);
    tolvar::SetApplicationTitle("Test title");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
