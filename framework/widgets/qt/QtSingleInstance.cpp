#include "framework/widgets/qt/QtSingleInstance.h"

#include <QApplication>
#include <QDir>
#include <QLocalSocket>
#include <QWidget>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tolvar {

namespace {

constexpr int kReachMs = 2000;

} // namespace

std::string TQtSingleInstance::RuntimeFolder() {
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty())
        return runtime.toStdString();
    // Private to the user, so another user's program cannot stand in for ours.
    const std::string folder =
        QDir::tempPath().toStdString() + "/tolvar-update-" + std::to_string(getuid());
    mkdir(folder.c_str(), 0700);
    struct stat info {};
    if (lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != getuid() ||
        (info.st_mode & 077) != 0)
        return {};
    return folder;
}

TQtSingleInstance::TQtSingleInstance(const std::string& folder, std::function<void()> raise)
    : socket_(folder + "/tolvar-update.socket"), raise_(std::move(raise)) {
    // Without a folder of the user's own there is nothing to coordinate through.
    if (folder.empty()) {
        first_ = true;
        return;
    }
    const std::string lockPath = folder + "/tolvar-update.lock";
    const int fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    // Without a usable folder there is nothing to coordinate through: run as the only one.
    if (fd < 0) {
        first_ = true;
        return;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return;
    }
    first_ = true;
    lock_ = fd;
    // The lock is ours, so a socket file left there belongs to a program that has ended.
    QLocalServer::removeServer(QString::fromStdString(socket_));
    QObject::connect(&server_, &QLocalServer::newConnection, [this] {
        while (QLocalSocket* peer = server_.nextPendingConnection()) {
            QObject::connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
            raise_();
        }
    });
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    server_.listen(QString::fromStdString(socket_));
}

TQtSingleInstance::~TQtSingleInstance() {
    if (lock_ >= 0) {
        server_.close();
        close(lock_);
    }
}

bool TQtSingleInstance::AskFirstToRaise() const {
    QLocalSocket socket;
    socket.connectToServer(QString::fromStdString(socket_));
    if (!socket.waitForConnected(kReachMs))
        return false;
    socket.write("raise\n");
    socket.waitForBytesWritten(kReachMs);
    socket.disconnectFromServer();
    return true;
}

void TQtSingleInstance::RaiseApplicationWindows() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (!window->isVisible())
            continue;
        if (window->isMinimized())
            window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
        window->raise();
        window->activateWindow();
    }
    if (QWidget* box = QApplication::activeModalWidget()) {
        box->raise();
        box->activateWindow();
    }
}

} // namespace tolvar
