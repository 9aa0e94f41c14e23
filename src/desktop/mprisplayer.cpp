#include "mprisplayer.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QTimer>
#include <QWidget>

namespace {

const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

QString statusText(MprisPlayer::Status status) {
    switch (status) {
    case MprisPlayer::Status::Playing:
        return QStringLiteral("Playing");
    case MprisPlayer::Status::Paused:
        return QStringLiteral("Paused");
    case MprisPlayer::Status::Stopped:
        break;
    }
    return QStringLiteral("Stopped");
}

} // namespace

// org.mpris.MediaPlayer2: the program itself.
class MprisRootAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ canQuit)
    Q_PROPERTY(bool CanRaise READ canRaise)
    Q_PROPERTY(bool HasTrackList READ hasTrackList)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ nothing)
    Q_PROPERTY(QStringList SupportedMimeTypes READ nothing)
public:
    explicit MprisRootAdaptor(MprisPlayer *player) : QDBusAbstractAdaptor(player), m_p(player) {}

    bool canQuit() const { return bool(m_p->controls().quit); }
    bool canRaise() const { return bool(m_p->controls().raise); }
    bool hasTrackList() const { return false; }
    QString identity() const { return m_p->identity(); }
    QString desktopEntry() const { return m_p->desktopEntry(); }
    QStringList nothing() const { return {}; }

public Q_SLOTS:
    void Raise() { MprisPlayer::run(m_p->controls().raise); }
    // After the reply: quitting may take the player with it.
    void Quit() {
        QTimer::singleShot(0, m_p, [p = m_p] { MprisPlayer::run(p->controls().quit); });
    }

private:
    MprisPlayer *m_p;
};

// org.mpris.MediaPlayer2.Player: playback. Seeking, a position and other rates are not
// offered; their methods do nothing, as the interface asks when CanSeek is false.
class MprisPlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(double Rate READ one WRITE ignoreDouble)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Volume READ one WRITE ignoreDouble)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(double MinimumRate READ one)
    Q_PROPERTY(double MaximumRate READ one)
    Q_PROPERTY(bool CanGoNext READ canGoNext)
    Q_PROPERTY(bool CanGoPrevious READ canGoPrevious)
    Q_PROPERTY(bool CanPlay READ canPlay)
    Q_PROPERTY(bool CanPause READ canPause)
    Q_PROPERTY(bool CanSeek READ no)
    Q_PROPERTY(bool CanControl READ yes)
public:
    explicit MprisPlayerAdaptor(MprisPlayer *player) : QDBusAbstractAdaptor(player), m_p(player) {}

    QString playbackStatus() const { return m_p->playbackStatusText(); }
    QVariantMap metadata() const { return m_p->metadata(); }
    double one() const { return 1.0; }
    void ignoreDouble(double) {}
    qlonglong position() const { return 0; }
    bool canGoNext() const { return m_p->canGoNext(); }
    bool canGoPrevious() const { return m_p->canGoPrevious(); }
    bool canPlay() const { return bool(m_p->controls().play || m_p->controls().playPause); }
    bool canPause() const { return bool(m_p->controls().pause || m_p->controls().playPause); }
    bool no() const { return false; }
    bool yes() const { return true; }

public Q_SLOTS:
    void Next() {
        if (m_p->canGoNext())
            MprisPlayer::run(m_p->controls().next);
    }
    void Previous() {
        if (m_p->canGoPrevious())
            MprisPlayer::run(m_p->controls().previous);
    }
    void Pause() { MprisPlayer::run(m_p->controls().pause); }
    void PlayPause() { MprisPlayer::run(m_p->controls().playPause); }
    // A sentence trainer has nothing to rewind to: stopping holds it like a pause.
    void Stop() { MprisPlayer::run(m_p->controls().pause); }
    void Play() { MprisPlayer::run(m_p->controls().play); }
    void Seek(qlonglong) {}
    void SetPosition(const QDBusObjectPath &, qlonglong) {}
    void OpenUri(const QString &) {}

Q_SIGNALS:
    void Seeked(qlonglong position);

private:
    MprisPlayer *m_p;
};

MprisPlayer::MprisPlayer(QString serviceSuffix, QString identity, QString desktopEntry,
                         MprisControls controls, QObject *parent)
    : QObject(parent), m_serviceName(QStringLiteral("org.mpris.MediaPlayer2.") + serviceSuffix),
      m_identity(std::move(identity)), m_desktopEntry(std::move(desktopEntry)),
      m_controls(std::move(controls)) {
    new MprisRootAdaptor(this);
    new MprisPlayerAdaptor(this);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    if (!bus.registerObject(objectPath, this))
        return;
    // A name already held by another process leaves that one in control: no queueing.
    if (!bus.registerService(m_serviceName)) {
        bus.unregisterObject(objectPath);
        return;
    }
    m_registered = true;
}

MprisPlayer::~MprisPlayer() {
    if (!m_registered)
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterService(m_serviceName);
    bus.unregisterObject(objectPath);
}

MprisControls withWindowControls(MprisControls controls, QWidget &window) {
    controls.raise = [&window] {
        window.showNormal();
        window.raise();
        window.activateWindow();
    };
    controls.quit = [&window] { window.close(); };
    return controls;
}

bool MprisPlayer::raiseRunning(const QString &serviceSuffix, const QDBusConnection &bus) {
    if (!bus.isConnected() || !bus.interface())
        return false;
    const QString service = QStringLiteral("org.mpris.MediaPlayer2.") + serviceSuffix;
    if (!bus.interface()->isServiceRegistered(service).value())
        return false;
    const QDBusMessage raise = QDBusMessage::createMethodCall(
        service, objectPath, QStringLiteral("org.mpris.MediaPlayer2"), QStringLiteral("Raise"));
    // The events keep flowing while it waits: the player may live in this very process.
    const QDBusMessage reply = QDBusConnection(bus).call(raise, QDBus::BlockWithGui, 2000);
    return reply.type() == QDBusMessage::ReplyMessage;
}

void MprisPlayer::run(const std::function<void()> &control) {
    if (control)
        control();
}

QString MprisPlayer::playbackStatusText() const {
    return statusText(m_status);
}

QVariantMap MprisPlayer::metadata() const {
    if (m_title.isEmpty() && m_sentence.isEmpty() && m_album.isEmpty())
        return {};
    QVariantMap map;
    map.insert(
        QStringLiteral("mpris:trackid"),
        QVariant::fromValue(QDBusObjectPath(QStringLiteral("/org/orvessa/track/%1").arg(m_track))));
    map.insert(QStringLiteral("xesam:title"), m_title);
    map.insert(QStringLiteral("xesam:album"), m_album);
    // Panels show the title and the artist: the sentence goes where it is seen, and into
    // the comment, where it belongs.
    map.insert(QStringLiteral("xesam:artist"), QStringList{m_sentence});
    map.insert(QStringLiteral("xesam:comment"), QStringList{m_sentence});
    return map;
}

void MprisPlayer::setPlaybackStatus(Status status) {
    if (status == m_status)
        return;
    m_status = status;
    propertiesChanged({{QStringLiteral("PlaybackStatus"), playbackStatusText()}});
}

void MprisPlayer::setMetadata(const QString &title, const QString &sentence, const QString &album) {
    if (title == m_title && sentence == m_sentence && album == m_album)
        return;
    m_title = title;
    m_sentence = sentence;
    m_album = album;
    ++m_track;
    propertiesChanged({{QStringLiteral("Metadata"), metadata()}});
}

void MprisPlayer::setNavigation(bool canGoNext, bool canGoPrevious) {
    const bool next = this->canGoNext();
    const bool previous = this->canGoPrevious();
    m_canGoNext = canGoNext;
    m_canGoPrevious = canGoPrevious;
    QVariantMap changed;
    if (next != this->canGoNext())
        changed.insert(QStringLiteral("CanGoNext"), this->canGoNext());
    if (previous != this->canGoPrevious())
        changed.insert(QStringLiteral("CanGoPrevious"), this->canGoPrevious());
    if (!changed.isEmpty())
        propertiesChanged(changed);
}

void MprisPlayer::propertiesChanged(const QVariantMap &changed) {
    if (!m_registered)
        return;
    QDBusMessage signal = QDBusMessage::createSignal(objectPath, propertiesInterface,
                                                     QStringLiteral("PropertiesChanged"));
    signal << playerInterface << changed << QStringList();
    QDBusConnection::sessionBus().send(signal);
}

#include "mprisplayer.moc"
