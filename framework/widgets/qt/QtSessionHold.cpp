#include "framework/widgets/qt/QtSessionHold.h"

#include <QDBusMessage>
#include <QDBusMetaType>
#include <QVariant>

namespace tolvar {

namespace {

// logind answers at once; a bus that does not must not hold up the start of the upload.
constexpr int kAnswerMs = 2000;

} // namespace

TLogindInhibitor::TLogindInhibitor(QDBusConnection bus) : bus_(std::move(bus)) {}

bool TLogindInhibitor::Hold(const std::string& who, const std::string& why) {
    if (Held())
        return true;
    if (!bus_.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    call << QStringLiteral("shutdown:sleep") << QString::fromStdString(who)
         << QString::fromStdString(why) << QStringLiteral("block");
    const QDBusMessage reply = bus_.call(call, QDBus::Block, kAnswerMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1)
        return false;
    lock_ = qdbus_cast<QDBusUnixFileDescriptor>(reply.arguments().constFirst());
    return Held();
}

void TLogindInhibitor::Release() {
    lock_ = QDBusUnixFileDescriptor();
}

} // namespace tolvar
