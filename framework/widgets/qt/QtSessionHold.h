#pragma once

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <string>

namespace tolvar {

// A logind inhibitor lock ("shutdown:sleep", mode "block"): while it is held, logind refuses to
// shut down, reboot or suspend. Without a bus or without logind nothing is held and nothing is
// said: the hold is a courtesy of the system, not a condition of the update.
class TLogindInhibitor {
public:
    explicit TLogindInhibitor(QDBusConnection bus = QDBusConnection::systemBus());

    // True when the lock is held afterwards.
    bool Hold(const std::string& who, const std::string& why);
    void Release();
    bool Held() const { return lock_.isValid(); }

private:
    QDBusConnection bus_;
    // logind ends the block when the last copy of this descriptor is closed.
    QDBusUnixFileDescriptor lock_;
};

} // namespace tolvar
