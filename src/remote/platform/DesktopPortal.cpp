#include "remote/platform/DesktopPortal.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QPointer>
#include <QTimer>
#include <memory>

namespace {
const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kShortcuts = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kInhibit = QStringLiteral("org.freedesktop.portal.Inhibit");
const QString kRegistry = QStringLiteral("org.freedesktop.host.portal.Registry");
const QString kRequest = QStringLiteral("org.freedesktop.portal.Request");
const QString kSession = QStringLiteral("org.freedesktop.portal.Session");
constexpr int kRegisterTimeoutMs = 5000;
constexpr int kProbeTimeoutMs = 10000;
// The desktop keeps the user's triggers under the session's token: the same
// in every run and every bind, as it has always been.
const QString kSessionToken = QStringLiteral("kalvo2_1_session");

// One shortcut as the portal passes it: a(sa{sv}).
struct PortalShortcut {
    QString id;
    QVariantMap properties;
};

QDBusArgument& operator<<(QDBusArgument& arg, const PortalShortcut& s) {
    arg.beginStructure();
    arg << s.id << s.properties;
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, PortalShortcut& s) {
    arg.beginStructure();
    arg >> s.id >> s.properties;
    arg.endStructure();
    return arg;
}
}  // namespace

Q_DECLARE_METATYPE(PortalShortcut)

// Waits for the Response of one portal request.
class PortalResponse : public QObject {
    Q_OBJECT
public:
    std::function<void(int, const QVariantMap&)> done;
public slots:
    void response(uint code, const QVariantMap& results) {
        auto d = std::move(done);
        done = nullptr;
        deleteLater();
        if (d) d(int(code), results);
    }
};

DesktopPortal::DesktopPortal(const QDBusConnection& b, const QString& id) : bus(b), appId(id) {
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
}

DesktopPortal::~DesktopPortal() {
    // The portal drops all of it when the player leaves the bus; an orderly
    // exit says so at once.
    closeSession();
    for (auto it = inhibitions.cbegin(); it != inhibitions.cend(); ++it)
        if (it->replied && !it->handle.isEmpty())
            bus.call(QDBusMessage::createMethodCall(kService, it->handle, kRequest, QStringLiteral("Close")),
                     QDBus::NoBlock);
}

void DesktopPortal::log(const QString& line) {
    if (loggedOnce.contains(line)) return;
    loggedOnce.insert(line);
    if (logger) logger(line);
}

QString DesktopPortal::newToken() { return QStringLiteral("kalvo2_%1").arg(++tokenCounter); }

QString DesktopPortal::requestPath(const QString& token) const {
    QString sender = bus.baseService();
    if (sender.startsWith(QLatin1Char(':'))) sender.remove(0, 1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return kPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
}

void DesktopPortal::whenRegistered(std::function<void()> next) {
    if (registration == Registration::Done) {
        next();
        return;
    }
    afterRegistration.append(std::move(next));
    if (registration == Registration::Pending) return;
    registration = Registration::Pending;
    // Front ends that know host programs only by a registration offer the
    // Registry; older ones answer with an unknown interface or method.
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kRegistry, QStringLiteral("Register"));
    call << appId << QVariantMap();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kRegisterTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusError error = w->error();
        if (error.isValid() && error.type() != QDBusError::UnknownInterface &&
            error.type() != QDBusError::UnknownMethod && error.type() != QDBusError::UnknownObject &&
            error.type() != QDBusError::ServiceUnknown)
            log(QStringLiteral("Desktop portal: registering as ") + appId + QStringLiteral(" failed: ") + error.message());
        registration = Registration::Done;
        const auto pending = std::exchange(afterRegistration, {});
        for (const auto& f : pending) f();
    });
}

void DesktopPortal::request(const QString& interface, const QString& method, const QVariantList& args,
                            const QString& token,
                            std::function<void(int, const QVariantMap&, const QString&)> answer) {
    // Subscribed before the call: the response may follow the reply at once.
    auto* response = new PortalResponse;
    response->setParent(this);
    const QString path = requestPath(token);
    bus.connect(kService, path, kRequest, QStringLiteral("Response"), response, SLOT(response(uint, QVariantMap)));
    auto shared = std::make_shared<std::function<void(int, const QVariantMap&, const QString&)>>(std::move(answer));
    response->done = [this, path, response, shared](int code, const QVariantMap& results) {
        bus.disconnect(kService, path, kRequest, QStringLiteral("Response"), response,
                       SLOT(response(uint, QVariantMap)));
        (*shared)(code, results, QString());
    };
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, interface, method);
    call.setArguments(args);
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    QPointer<PortalResponse> guard(response);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, path, guard, shared](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        if (!w->isError() || !guard) return;
        bus.disconnect(kService, path, kRequest, QStringLiteral("Response"), guard.data(),
                       SLOT(response(uint, QVariantMap)));
        guard->done = nullptr;
        guard->deleteLater();
        (*shared)(-1, QVariantMap(), w->error().message());
    });
}

void DesktopPortal::probeShortcuts(std::function<void(bool, const QString&)> done) {
    if (!bus.isConnected()) {
        done(false, QStringLiteral("no session bus"));
        return;
    }
    whenRegistered([this, done = std::move(done)] {
        QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                           QStringLiteral("Get"));
        call << kShortcuts << QStringLiteral("version");
        auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kProbeTimeoutMs), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, done](QDBusPendingCallWatcher* w) {
            w->deleteLater();
            QDBusPendingReply<QDBusVariant> reply = *w;
            if (reply.isError()) {
                const QDBusError e = reply.error();
                done(false, e.type() == QDBusError::ServiceUnknown ? QStringLiteral("no desktop portal on the session bus")
                                                                     : kShortcuts + QStringLiteral(": ") + e.message());
                return;
            }
            if (!signalsConnected) {
                signalsConnected = true;
                bus.connect(kService, kPath, kShortcuts, QStringLiteral("Activated"), this,
                            SLOT(activated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
                bus.connect(kService, kPath, kShortcuts, QStringLiteral("Deactivated"), this,
                            SLOT(deactivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
                bus.connect(kService, kPath, kShortcuts, QStringLiteral("ShortcutsChanged"), this,
                            SLOT(shortcutsChanged(QDBusMessage)));
            }
            done(true, kShortcuts + QStringLiteral(" version %1").arg(reply.value().variant().toUInt()));
        });
    });
}

void DesktopPortal::closeSession() {
    if (session.isEmpty()) return;
    bus.call(QDBusMessage::createMethodCall(kService, session, kSession, QStringLiteral("Close")), QDBus::NoBlock);
    session.clear();
    held.clear();
}

namespace {
// id -> trigger description of a list of shortcuts as the portal sends it.
QHash<QString, QString> triggersOf(const QVariant& v, QHash<QString, QString>* descriptions = nullptr) {
    QList<PortalShortcut> list;
    if (v.canConvert<QDBusArgument>()) v.value<QDBusArgument>() >> list;
    QHash<QString, QString> out;
    for (const PortalShortcut& s : list) {
        out.insert(s.id, s.properties.value(QStringLiteral("trigger_description")).toString());
        if (descriptions) descriptions->insert(s.id, s.properties.value(QStringLiteral("description")).toString());
    }
    return out;
}
}  // namespace

void DesktopPortal::bindShortcuts(const QVector<DesktopShortcut>& shortcuts,
                                  const std::function<QString(const DesktopShortcut&)>& trigger,
                                  std::function<void(const DesktopShortcutAnswer&)> done) {
    const int serial = ++bindSerial;
    changes = nullptr;
    // One session at a time under the one token: a bind asked for while a
    // session is being created waits for it, and only the newest one runs.
    if (creating) {
        nextBind = [this, shortcuts, trigger, done] {
            --bindSerial;
            bindShortcuts(shortcuts, trigger, done);
        };
        return;
    }
    closeSession();
    if (shortcuts.isEmpty()) {
        done(DesktopShortcutAnswer{DesktopShortcutAnswer::Status::Bound, {}, {}});
        return;
    }
    QList<PortalShortcut> list;
    QHash<QString, QString> wanted;  // id -> description
    for (const DesktopShortcut& s : shortcuts) {
        QVariantMap properties{{QStringLiteral("description"), s.description}};
        const QString preferred = trigger(s);
        if (!preferred.isEmpty()) properties.insert(QStringLiteral("preferred_trigger"), preferred);
        list.append(PortalShortcut{s.id, properties});
        wanted.insert(s.id, s.description);
    }
    // Said once: the first answer of this bind, or that there was none.
    auto finished = std::make_shared<bool>(false);
    auto answer = [this, serial, done, finished](const DesktopShortcutAnswer& a) {
        *finished = true;
        if (serial != bindSerial) return;
        changes = done;
        done(a);
    };
    QTimer::singleShot(answerWaitMs, this, [this, serial, done, finished] {
        if (*finished || serial != bindSerial) return;
        done(DesktopShortcutAnswer{DesktopShortcutAnswer::Status::NoAnswer, {},
                                   QStringLiteral("no answer within %1 s").arg(answerWaitMs / 1000.0)});
    });
    auto failed = [answer](const QString& why) {
        answer(DesktopShortcutAnswer{DesktopShortcutAnswer::Status::Failed, {}, why});
    };
    auto boundAs = [answer](const QVariantMap& results) {
        answer(DesktopShortcutAnswer{DesktopShortcutAnswer::Status::Bound,
                                     triggersOf(results.value(QStringLiteral("shortcuts"))), {}});
    };
    creating = true;
    whenRegistered([this, serial, list, wanted, failed, boundAs] {
        // Some desktops take the shortcuts only here, others only from the
        // bind; both keep the user's triggers under the session token, which
        // therefore never changes.
        const QVariantMap options{{QStringLiteral("handle_token"), newToken()},
                                  {QStringLiteral("session_handle_token"), kSessionToken},
                                  {QStringLiteral("shortcuts"), QVariant::fromValue(list)}};
        request(kShortcuts, QStringLiteral("CreateSession"), {options}, options.value(QStringLiteral("handle_token")).toString(),
                [this, serial, list, wanted, failed, boundAs](int code, const QVariantMap& results, const QString& error) {
                    creating = false;
                    if (code == 0) session = results.value(QStringLiteral("session_handle")).toString();
                    if (nextBind) {  // a newer bind took over meanwhile
                        std::exchange(nextBind, {})();
                        return;
                    }
                    if (code != 0) {
                        failed(code < 0 ? QStringLiteral("CreateSession: ") + error
                                        : QStringLiteral("CreateSession answered %1").arg(code));
                        return;
                    }
                    const QString handle = session;
                    // A bind may open the desktop's shortcut settings: only
                    // when the desktop does not hold this set already.
                    const QString listToken = newToken();
                    request(kShortcuts, QStringLiteral("ListShortcuts"),
                            {QVariant::fromValue(QDBusObjectPath(handle)),
                             QVariantMap{{QStringLiteral("handle_token"), listToken}}},
                            listToken,
                            [this, serial, handle, list, wanted, failed, boundAs](int code, const QVariantMap& results,
                                                                                const QString&) {
                                if (serial != bindSerial) return;
                                QHash<QString, QString> held;
                                if (code == 0) triggersOf(results.value(QStringLiteral("shortcuts")), &held);
                                if (code == 0 && held == wanted) {
                                    boundAs(results);
                                    return;
                                }
                                bind(handle, QVariant::fromValue(list), failed, boundAs);
                            });
                });
    });
}

void DesktopPortal::bind(const QString& handle, const QVariant& list,
                         std::function<void(const QString&)> failed, std::function<void(const QVariantMap&)> boundAs) {
    const QString bindToken = newToken();
    request(kShortcuts, QStringLiteral("BindShortcuts"),
            {QVariant::fromValue(QDBusObjectPath(handle)), list, QString(),
             QVariantMap{{QStringLiteral("handle_token"), bindToken}}},
            bindToken, [failed, boundAs](int code, const QVariantMap& results, const QString& error) {
                if (code != 0) {
                    failed(code < 0 ? QStringLiteral("BindShortcuts: ") + error
                           : code == 1 ? QStringLiteral("BindShortcuts: the user declined")
                                       : QStringLiteral("BindShortcuts answered %1").arg(code));
                    return;
                }
                boundAs(results);
            });
}

void DesktopPortal::shortcutsChanged(const QDBusMessage& message) {
    const QVariantList args = message.arguments();
    if (args.size() < 2 || session.isEmpty() || !changes) return;
    if (qvariant_cast<QDBusObjectPath>(args.at(0)).path() != session) return;
    changes(DesktopShortcutAnswer{DesktopShortcutAnswer::Status::Changed, triggersOf(args.at(1)), {}});
}

void DesktopPortal::activated(const QDBusObjectPath& s, const QString& id, qulonglong, const QVariantMap&) {
    if (session.isEmpty() || s.path() != session) return;
    const bool repeat = held.contains(id);
    held.insert(id);
    if (activation) activation(id, repeat);
}

void DesktopPortal::deactivated(const QDBusObjectPath& s, const QString& id, qulonglong, const QVariantMap&) {
    if (s.path() == session) held.remove(id);
}

bool DesktopPortal::inhibiting(unsigned int flag) const {
    const auto it = inhibitions.constFind(flag);
    return it != inhibitions.cend() && !it->release;
}

void DesktopPortal::inhibit(unsigned int flag, bool hold, const QString& reason) {
    auto it = inhibitions.find(flag);
    if (!hold) {
        if (it == inhibitions.end()) return;
        if (!it->replied) {
            it->release = true;
            return;
        }
        bus.call(QDBusMessage::createMethodCall(kService, it->handle, kRequest, QStringLiteral("Close")), QDBus::NoBlock);
        inhibitions.erase(it);
        return;
    }
    if (it != inhibitions.end()) {
        it->release = false;
        return;
    }
    if (!inhibitOffered) return;
    if (!bus.isConnected()) {
        log(QStringLiteral("Inhibit: no session bus - suspend and idle are not held off through the desktop portal"));
        return;
    }
    inhibitions.insert(flag, Held{});
    whenRegistered([this, flag, reason] {
        const QString token = newToken();
        const QString handle = requestPath(token);
        inhibitions[flag].handle = handle;
        QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInhibit, QStringLiteral("Inhibit"));
        call << QString() << flag
             << QVariantMap{{QStringLiteral("handle_token"), token}, {QStringLiteral("reason"), reason}};
        auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, flag, handle](QDBusPendingCallWatcher* w) {
            w->deleteLater();
            auto it = inhibitions.find(flag);
            if (it == inhibitions.end() || it->handle != handle) return;
            if (w->isError()) {
                log(QStringLiteral("Inhibit: no inhibition through the desktop portal: ") + w->error().message());
                inhibitions.erase(it);
                const QDBusError::ErrorType t = w->error().type();
                if (t == QDBusError::ServiceUnknown || t == QDBusError::UnknownInterface ||
                    t == QDBusError::UnknownMethod || t == QDBusError::UnknownObject)
                    inhibitOffered = false;
                return;
            }
            it->replied = true;
            if (it->release) inhibit(flag, false, QString());
        });
    });
}

#include "DesktopPortal.moc"
