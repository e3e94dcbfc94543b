#pragma once
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QObject>
#include <QStringList>
#include <QVariantMap>
#include <functional>

#include "remote/MprisControl.h"

// The player on the session bus as org.mpris.MediaPlayer2.kalvo2 at
// /org/mpris/MediaPlayer2. Thin: every decision lives in MprisControl.
// Methods return at once (their work runs as a pass from the event loop
// right after the reply), so a message box never blocks the bus. UI thread.
class MprisService : public QObject {
    Q_OBJECT
public:
    MprisService(MprisControl& control, std::function<void()> raise, QObject* parent = nullptr);

    // Registers the object and the name on bus (the session bus by default).
    // Empty on success, else the reason (no bus, the name taken).
    QString registerOn(QDBusConnection bus);

    MprisControl& control;
    std::function<void()> raise;
    QDBusConnection connection() const { return bus; }
    // Runs r as a pass once the event loop comes round.
    void queue(const MprisRequest& r);

private:
    void sendChanges();
    QDBusConnection bus;
};

// org.mpris.MediaPlayer2
class MprisRootAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ canQuit)
    Q_PROPERTY(bool CanRaise READ canRaise)
    Q_PROPERTY(bool HasTrackList READ hasTrackList)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ supportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ supportedMimeTypes)
public:
    explicit MprisRootAdaptor(MprisService* service);
    bool canQuit() const { return true; }
    bool canRaise() const;  // false where Raise could not bring the window to the front
    bool hasTrackList() const { return false; }
    QString identity() const { return QStringLiteral("Kalvo2"); }
    QString desktopEntry() const { return QStringLiteral("io.github.kalvo2.Kalvo2"); }
    QStringList supportedUriSchemes() const { return {QStringLiteral("file")}; }
    QStringList supportedMimeTypes() const { return service->control.supportedMimeTypes(); }
public slots:
    void Raise();
    void Quit();
private:
    MprisService* service;
};

// org.mpris.MediaPlayer2.Player
class MprisPlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(double Rate READ rate WRITE setRate)
    Q_PROPERTY(double MinimumRate READ rate)
    Q_PROPERTY(double MaximumRate READ rate)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Volume READ volume WRITE setVolume)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(bool CanGoNext READ canGoNext)
    Q_PROPERTY(bool CanGoPrevious READ canGoPrevious)
    Q_PROPERTY(bool CanPlay READ canPlay)
    Q_PROPERTY(bool CanPause READ canPause)
    Q_PROPERTY(bool CanSeek READ canSeek)
    Q_PROPERTY(bool CanControl READ canControl)
public:
    explicit MprisPlayerAdaptor(MprisService* service);
    QString playbackStatus() const { return c().playbackStatus(); }
    double rate() const { return 1.0; }
    void setRate(double) {}
    QVariantMap metadata() const;
    double volume() const { return c().volume(); }
    void setVolume(double v);
    qlonglong position() const { return c().positionMicros(); }
    bool canGoNext() const { return c().canGoNext(); }
    bool canGoPrevious() const { return c().canGoPrevious(); }
    bool canPlay() const { return c().canPlay(); }
    bool canPause() const { return c().canPause(); }
    bool canSeek() const { return c().canSeek(); }
    bool canControl() const { return true; }
public slots:
    void Next();
    void Previous();
    void Pause();
    void PlayPause();
    void Stop();
    void Play();
    void Seek(qlonglong Offset);
    void SetPosition(const QDBusObjectPath& TrackId, qlonglong Position);
    void OpenUri(const QString& Uri, const QDBusMessage& message);
signals:
    void Seeked(qlonglong Position);
private:
    const MprisControl& c() const { return service->control; }
    void send(MprisCommand command);
    MprisService* service;
};
