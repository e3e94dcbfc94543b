#pragma once
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QObject>
#include <QSet>
#include <QVariantMap>
#include <functional>

#include "base/Desktop.h"

// The desktop portal on the session bus (org.freedesktop.portal.Desktop):
// shortcuts the desktop keeps for the player (GlobalShortcuts) and the
// inhibitions of idle and suspend (Inhibit). Where the portal asks host
// programs to register, the player registers first under its application id.
// Every call is asynchronous; answers come on the UI thread. The portal ends
// the session and every inhibition when the player leaves the bus, also when
// it is killed. UI thread only.
class DesktopPortal : public QObject {
    Q_OBJECT
public:
    enum InhibitFlag : unsigned int { InhibitSuspend = 4, InhibitIdle = 8 };

    DesktopPortal(const QDBusConnection& bus, const QString& appId);
    ~DesktopPortal() override;

    // Log lines of what goes wrong on the way (once each).
    std::function<void(const QString&)> logger;
    // How long a bind may take before it counts as unanswered.
    int answerWaitMs = 5000;

    // Whether the portal offers GlobalShortcuts, with its version or why not.
    void probeShortcuts(std::function<void(bool offered, const QString& how)> done);
    // Closes the session of the last bind and binds the shortcuts in a new
    // one (none: just closes). trigger gives each one's preferred trigger.
    // The shortcuts go with the session's creation; the bind itself follows
    // only when the desktop does not list the same ids and descriptions by
    // then. done hears the answer, then every change the desktop reports.
    void bindShortcuts(const QVector<DesktopShortcut>& shortcuts,
                       const std::function<QString(const DesktopShortcut&)>& trigger,
                       std::function<void(const DesktopShortcutAnswer&)> done);
    // A shortcut of the current session was pressed: its id, and whether it
    // is pressed again without having been let go.
    void setActivationSink(std::function<void(const QString& id, bool repeat)> sink) { activation = std::move(sink); }
    // Takes or releases an inhibition of one flag; taking twice holds one.
    void inhibit(unsigned int flag, bool hold, const QString& reason);
    bool inhibiting(unsigned int flag) const;

private slots:
    void activated(const QDBusObjectPath& session, const QString& id, qulonglong timestamp, const QVariantMap& options);
    void deactivated(const QDBusObjectPath& session, const QString& id, qulonglong timestamp, const QVariantMap& options);
    void shortcutsChanged(const QDBusMessage& message);

private:
    struct Held {
        QString handle;       // the request that holds it
        bool replied = false; // the portal took the call
        bool release = false; // let go as soon as it did
    };
    void whenRegistered(std::function<void()> next);
    QString requestPath(const QString& token) const;
    QString newToken();
    // Calls method on the portal after subscribing to the Response of the
    // request it makes; answer gets the response code and results, or code
    // -1 and the error text when the call itself failed.
    void request(const QString& interface, const QString& method, const QVariantList& args, const QString& token,
                 std::function<void(int code, const QVariantMap& results, const QString& error)> answer);
    void closeSession();
    // BindShortcuts of list (the a(sa{sv}) as a variant) in session handle.
    void bind(const QString& handle, const QVariant& list, std::function<void(const QString&)> failed,
              std::function<void(const QVariantMap&)> boundAs);
    void log(const QString& line);

    QDBusConnection bus;
    QString appId;
    enum class Registration { None, Pending, Done } registration = Registration::None;
    QVector<std::function<void()>> afterRegistration;
    int tokenCounter = 0;
    int bindSerial = 0;
    QString session;  // object path of the open shortcuts session
    QSet<QString> held;  // shortcuts pressed and not let go
    std::function<void(const DesktopShortcutAnswer&)> changes;  // of the current session
    bool creating = false;             // a CreateSession waits for its answer
    std::function<void()> nextBind;    // the bind asked for meanwhile
    std::function<void(const QString&, bool)> activation;
    QHash<unsigned int, Held> inhibitions;
    QSet<QString> loggedOnce;
    bool signalsConnected = false;
    bool inhibitOffered = true;  // false once the portal said it has no Inhibit
};
