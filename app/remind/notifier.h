// Desktop notifications through the notification server of the session bus
// (org.freedesktop.Notifications). The connection to the bus is made anew while there is none, so
// an agent started before the bus or the server keeps working once they are there.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

namespace pellucor::app::remind {

inline constexpr const char* kNotificationService = "org.freedesktop.Notifications";
inline constexpr const char* kNotificationPath = "/org/freedesktop/Notifications";
inline constexpr const char* kNotificationInterface = "org.freedesktop.Notifications";

struct Notification {
  QString summary;
  QString body;
  QStringList actions;  // pairs of key and label
};

class Notifier : public QObject {
  Q_OBJECT

 public:
  explicit Notifier(QObject* parent = nullptr);
  ~Notifier() override;

  // What the server offers ("actions", "body-markup", ...); none (*error set) when there is no
  // session bus or no server on it.
  [[nodiscard]] std::optional<QStringList> Capabilities(QString* error);
  // Shows a notification; its id, or none (*error set).
  [[nodiscard]] std::optional<uint32_t> Notify(const Notification& notification, QString* error);

 signals:
  // The user chose an action of notification `id`, or it was closed.
  void ActionInvoked(uint id, const QString& action);
  void Closed(uint id);

 private slots:
  void OnActionInvoked(uint id, const QString& action);
  void OnClosed(uint id, uint reason);

 private:
  // The bus connection, connecting when there is none yet; false (*error set) without a bus.
  bool Connected(QString* error);
  void Drop();

  QString name_;  // the connection's name among this process's connections; empty: none
  int serial_ = 0;
};

}  // namespace pellucor::app::remind
