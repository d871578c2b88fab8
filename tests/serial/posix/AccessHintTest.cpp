// A port the user may not open: the real port object, a device node the user has no right to,
// and the explanation naming the group that owns it.
#include "serial/posix/AccessHint.h"

#include "serial/ComPort.h"
#include "serial/EComPort.h"
#include "serial/Platform.h"
#include "tests/support/PtyPair.h"

#include <cerrno>
#include <grp.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tolvar;

namespace {

TEST(AccessHint, PermissionFailuresNameTheGroup) {
    // /dev/null belongs to the group root everywhere.
    const std::string hint = PortAccessHint("/dev/null", EACCES);
    EXPECT_NE(hint.find("GRUPY root."), std::string::npos) << hint;
    EXPECT_EQ(PortAccessHint("/dev/null", EPERM), hint);
    EXPECT_EQ(PortAccessHint("/dev/null", ENOENT), "");
    EXPECT_EQ(PortAccessHint("/dev/null", -1), "");
    EXPECT_EQ(AccessHintText("dialout"),
              "BRAK UPRAWNIEŃ DO PORTU SZEREGOWEGO.\r\nUŻYTKOWNIK MUSI NALEŻEĆ DO GRUPY "
              "dialout.\r\nDODAJ GO DO TEJ GRUPY I ZALOGUJ SIĘ PONOWNIE.");
}

// As a user outside the device's group, opening it fails with EACCES, and the hint names the
// device's group. Run in a child that gives up root, since root may open anything.
TEST(AccessHint, AUserOutsideTheGroupGetsItsName) {
    test::PtyPair pty;
    const std::string path = pty.SlavePath();
    // A group of the system's own, as a serial device's "dialout" would be.
    const group* owner = getgrnam("tty");
    ASSERT_NE(owner, nullptr);
    ASSERT_EQ(chown(path.c_str(), 0, owner->gr_gid), 0);
    ASSERT_EQ(chmod(path.c_str(), 0660), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (getuid() == 0 &&
            (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
            _exit(10);
        try {
            TComPort port;
            port.SetPort(path);
            port.Open();
            _exit(11); // opened: the test proves nothing
        } catch (const EComPort& e) {
            if (e.OsErrorCode() != EACCES)
                _exit(12);
            const std::string hint = PortAccessHint(path, e.OsErrorCode());
            _exit(hint.find("GRUPY tty.") != std::string::npos ? 0 : 13);
        }
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

} // namespace
