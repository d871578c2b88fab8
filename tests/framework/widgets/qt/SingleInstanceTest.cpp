// One running program per user: the lock, the request to raise, and what raising does.
#include "framework/widgets/qt/QtSingleInstance.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

using tolvar::TQtSingleInstance;

namespace {

std::string MakeFolder() {
    char name[] = "/tmp/tolvar-instance-XXXXXX";
    return mkdtemp(name);
}

// Serves the event loop until `done` holds or two seconds pass.
template <class F> bool ServeUntil(F done) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 2000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

} // namespace

TEST(SingleInstance, ALaterStartIsNotFirstAndMakesTheFirstRaiseItsWindow) {
    const std::string folder = MakeFolder();
    int raised = 0;
    {
        const TQtSingleInstance first(folder, [&] { ++raised; });
        ASSERT_TRUE(first.First());
        const TQtSingleInstance second(folder, [] { FAIL() << "only the first serves"; });
        EXPECT_FALSE(second.First());
        // The client blocks while it writes, so the first is served afterwards.
        EXPECT_TRUE(second.AskFirstToRaise());
        EXPECT_TRUE(ServeUntil([&] { return raised == 1; }));
    }
    // Once the first has ended, the next start is the first again, even over its socket file.
    const TQtSingleInstance next(folder, [] {});
    EXPECT_TRUE(next.First());
    std::filesystem::remove_all(folder);
}

TEST(SingleInstance, NoRunningProgramToAskIsReportedNotAwaited) {
    const std::string folder = MakeFolder();
    const TQtSingleInstance first(folder, [] {});
    const TQtSingleInstance second(folder, [] {});
    std::filesystem::remove(folder + "/tolvar-update.socket");
    EXPECT_FALSE(second.AskFirstToRaise());
    std::filesystem::remove_all(folder);
}

TEST(SingleInstance, RaisingRestoresAMinimisedWindow) {
    QWidget window;
    window.showMinimized();
    ASSERT_TRUE(window.isMinimized());
    TQtSingleInstance::RaiseApplicationWindows();
    EXPECT_FALSE(window.isMinimized());
}

TEST(SingleInstance, WithoutARuntimeFolderOnlyAFolderOfTheUsersOwnIsUsed) {
    const std::string parent = MakeFolder();
    // Put back as found: set or not set.
    const auto restore = [](const char* name) {
        const bool set = qEnvironmentVariableIsSet(name);
        const QByteArray value = qgetenv(name);
        return [name, set, value] { set ? qputenv(name, value) : qunsetenv(name); };
    };
    const auto restoreRuntime = restore("XDG_RUNTIME_DIR"), restoreTmp = restore("TMPDIR");
    qunsetenv("XDG_RUNTIME_DIR");
    qputenv("TMPDIR", QByteArray::fromStdString(parent));
    const std::string own = parent + "/tolvar-update-" + std::to_string(getuid());
    EXPECT_EQ(TQtSingleInstance::RuntimeFolder(), own);
    // A folder that others may write to could hold the lock against us.
    std::filesystem::permissions(own, std::filesystem::perms::all);
    EXPECT_EQ(TQtSingleInstance::RuntimeFolder(), "");
    EXPECT_TRUE(TQtSingleInstance("", [] {}).First());
    restoreRuntime();
    restoreTmp();
    std::filesystem::remove_all(parent);
}
