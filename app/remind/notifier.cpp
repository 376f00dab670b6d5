#include "app/remind/notifier.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusReply>
#include <QVariantMap>

namespace pellucor::app::remind {
namespace {

// A server that does not answer within this time is taken as absent for now.
constexpr int kCallTimeoutMs = 5000;
constexpr const char* kAppName = "Pellucor";
constexpr const char* kAppIcon = "io.github.pellucor.Pellucor";

QString Describe(const QDBusError& error) {
  if (error.type() == QDBusError::ServiceUnknown) {
    return QStringLiteral("no notification service on the session bus");
  }
  if (error.type() == QDBusError::NoReply || error.type() == QDBusError::Timeout) {
    return QStringLiteral("the notification service does not answer");
  }
  return QStringLiteral("the notification service refused: %1").arg(error.message());
}

}  // namespace

Notifier::Notifier(QObject* parent) : QObject(parent) {}

Notifier::~Notifier() {
  Drop();
}

void Notifier::Drop() {
  if (name_.isEmpty()) return;
  QDBusConnection::disconnectFromBus(name_);
  name_.clear();
}

bool Notifier::Connected(QString* error) {
  if (!name_.isEmpty()) {
    if (QDBusConnection(name_).isConnected()) return true;
    Drop();  // the bus went away: a later call connects afresh
  }
  // Each attempt has a name of its own: a failed connection keeps its name until dropped.
  const QString name = QStringLiteral("pellucor-remind-%1").arg(++serial_);
  QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
  if (!bus.isConnected()) {
    *error = QStringLiteral("no session bus (%1)").arg(bus.lastError().message());
    QDBusConnection::disconnectFromBus(name);
    return false;
  }
  name_ = name;
  // Signals from any sender on the path: servers emit them under their unique name, and only the
  // ids this agent was given are acted on.
  bus.connect(QString(), kNotificationPath, kNotificationInterface, QStringLiteral("ActionInvoked"),
              this, SLOT(OnActionInvoked(uint, QString)));
  bus.connect(QString(), kNotificationPath, kNotificationInterface,
              QStringLiteral("NotificationClosed"), this, SLOT(OnClosed(uint, uint)));
  return true;
}

std::optional<QStringList> Notifier::Capabilities(QString* error) {
  if (!Connected(error)) return std::nullopt;
  QDBusMessage call =
      QDBusMessage::createMethodCall(kNotificationService, kNotificationPath,
                                     kNotificationInterface, QStringLiteral("GetCapabilities"));
  const QDBusReply<QStringList> reply =
      QDBusConnection(name_).call(call, QDBus::Block, kCallTimeoutMs);
  if (!reply.isValid()) {
    *error = Describe(reply.error());
    return std::nullopt;
  }
  return reply.value();
}

std::optional<uint32_t> Notifier::Notify(const Notification& n, QString* error) {
  if (!Connected(error)) return std::nullopt;
  QDBusMessage call = QDBusMessage::createMethodCall(
      kNotificationService, kNotificationPath, kNotificationInterface, QStringLiteral("Notify"));
  QVariantMap hints;
  hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("io.github.pellucor.Pellucor"));
  hints.insert(QStringLiteral("urgency"), QVariant::fromValue<uchar>(1));
  call << QString::fromLatin1(kAppName) << uint{0} << QString::fromLatin1(kAppIcon) << n.summary
       << n.body << n.actions << hints << int{-1};
  const QDBusReply<uint> reply = QDBusConnection(name_).call(call, QDBus::Block, kCallTimeoutMs);
  if (!reply.isValid()) {
    *error = Describe(reply.error());
    return std::nullopt;
  }
  return reply.value();
}

void Notifier::OnActionInvoked(uint id, const QString& action) {
  emit ActionInvoked(id, action);
}

void Notifier::OnClosed(uint id, uint) {
  emit Closed(id);
}

}  // namespace pellucor::app::remind
