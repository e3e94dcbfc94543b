#include "remote/platform/MprisService.h"
#include "platform/WindowActivation.h"

#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QUrl>

namespace {
const QString kObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kServiceName = QStringLiteral("org.mpris.MediaPlayer2.kalvo2");
const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
}  // namespace

bool MprisRootAdaptor::canRaise() const { return canActivateUnasked(); }

MprisService::MprisService(MprisControl& control, std::function<void()> raise, QObject* parent)
    : QObject(parent), control(control), raise(std::move(raise)), bus(QStringLiteral("none")) {
    new MprisRootAdaptor(this);
    new MprisPlayerAdaptor(this);
    control.changed = [this] { sendChanges(); };
}

QString MprisService::registerOn(QDBusConnection connection) {
    if (!connection.isConnected()) return QStringLiteral("no session bus");
    if (!connection.registerObject(kObjectPath, this, QDBusConnection::ExportAdaptors))
        return QStringLiteral("cannot register ") + kObjectPath;
    if (!connection.registerService(kServiceName)) {
        connection.unregisterObject(kObjectPath);
        return kServiceName + QStringLiteral(" is taken");
    }
    bus = connection;
    return {};
}

void MprisService::queue(const MprisRequest& r) {
    QMetaObject::invokeMethod(this, [this, r] { control.request(r); }, Qt::QueuedConnection);
}

void MprisService::sendChanges() {
    const MprisControl::Changes changes = control.takeChanges();
    if (!bus.isConnected()) return;
    auto* player = findChild<MprisPlayerAdaptor*>();
    if (!changes.properties.isEmpty() && player) {
        QVariantMap values;
        for (const QString& name : changes.properties)
            values.insert(name, player->property(name.toLatin1().constData()));
        QDBusMessage signal = QDBusMessage::createSignal(kObjectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                         QStringLiteral("PropertiesChanged"));
        signal << kPlayerInterface << values << QStringList();
        bus.send(signal);
    }
    if (changes.seeked && player) emit player->Seeked(control.positionMicros());
}

MprisRootAdaptor::MprisRootAdaptor(MprisService* service) : QDBusAbstractAdaptor(service), service(service) {}

void MprisRootAdaptor::Raise() {
    if (service->raise) service->raise();
}

void MprisRootAdaptor::Quit() { service->queue(MprisRequest{MprisCommand::Quit, 0, 0, {}}); }

MprisPlayerAdaptor::MprisPlayerAdaptor(MprisService* service) : QDBusAbstractAdaptor(service), service(service) {
    setAutoRelaySignals(false);
}

QVariantMap MprisPlayerAdaptor::metadata() const {
    QVariantMap m = c().metadata();
    // The track id travels as an object path.
    m.insert(QStringLiteral("mpris:trackid"),
             QVariant::fromValue(QDBusObjectPath(m.value(QStringLiteral("mpris:trackid")).toString())));
    return m;
}

void MprisPlayerAdaptor::send(MprisCommand command) { service->queue(MprisRequest{command, 0, 0, {}}); }

void MprisPlayerAdaptor::setVolume(double v) {
    MprisRequest r;
    r.command = MprisCommand::SetVolume;
    r.volume = v;
    service->queue(r);
}

void MprisPlayerAdaptor::Next() { send(MprisCommand::Next); }
void MprisPlayerAdaptor::Previous() { send(MprisCommand::Previous); }
void MprisPlayerAdaptor::Pause() { send(MprisCommand::Pause); }
void MprisPlayerAdaptor::PlayPause() { send(MprisCommand::PlayPause); }
void MprisPlayerAdaptor::Stop() { send(MprisCommand::Stop); }
void MprisPlayerAdaptor::Play() { send(MprisCommand::Play); }

void MprisPlayerAdaptor::Seek(qlonglong Offset) {
    MprisRequest r;
    r.command = MprisCommand::Seek;
    r.micros = Offset;
    service->queue(r);
}

void MprisPlayerAdaptor::SetPosition(const QDBusObjectPath& TrackId, qlonglong Position) {
    MprisRequest r;
    r.command = MprisCommand::SetPosition;
    r.micros = Position;
    r.text = TrackId.path();
    service->queue(r);
}

void MprisPlayerAdaptor::OpenUri(const QString& Uri, const QDBusMessage& message) {
    const QUrl url(Uri);
    if (!url.isLocalFile()) {
        message.setDelayedReply(true);
        service->connection().send(
            message.createErrorReply(QDBusError::NotSupported, QStringLiteral("only file URLs can be played")));
        return;
    }
    const QString path = url.toLocalFile();
    const QString refusal = service->control.openRefusal(path);
    if (!refusal.isEmpty()) {
        message.setDelayedReply(true);
        service->connection().send(message.createErrorReply(QDBusError::InvalidArgs, refusal));
        return;
    }
    MprisRequest r;
    r.command = MprisCommand::OpenUri;
    r.text = path;
    service->queue(r);
}
