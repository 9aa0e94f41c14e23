#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <functional>

// What the desktop may ask the program to do. An empty function makes the matching Can*
// property false and its method do nothing.
struct MprisControls {
    std::function<void()> playPause, play, pause, next, previous, raise, quit;
};

class QWidget;

// controls with the Raise and Quit of a program that is one window: the window shown normal,
// raised and activated; closed the normal way (which saves). window must outlive them.
MprisControls withWindowControls(MprisControls controls, QWidget &window);

// The program as an MPRIS 2 media player on the session bus (org.mpris.MediaPlayer2.<suffix>
// at /org/mpris/MediaPlayer2), so that media keys, panel widgets and playerctl control it
// without its window. It knows nothing of what is played: the program hands it the controls
// and tells it the state, and it emits PropertiesChanged for what changed. Without a session
// bus, or when another process holds the name, it stays off the bus and everything else works.
//
// The lesson audio is played sentence by sentence, so there is no seeking, no position and
// no rate other than 1.
class MprisPlayer : public QObject {
    Q_OBJECT
public:
    enum class Status { Playing, Paused, Stopped };

    // serviceSuffix: "orvessa" or "orvessa_mini"; identity: the program's name as the desktop
    // shows it; desktopEntry: the .desktop file's name without ".desktop".
    MprisPlayer(QString serviceSuffix, QString identity, QString desktopEntry,
                MprisControls controls, QObject *parent = nullptr);
    ~MprisPlayer() override;

    bool registered() const { return m_registered; }

    // When another process already plays as org.mpris.MediaPlayer2.<serviceSuffix> on bus,
    // asks it to come to the front and returns true (the caller then need not start a second
    // one); false without a bus or such a player. Waits for the answer, at most 2 s.
    static bool raiseRunning(const QString &serviceSuffix,
                             const QDBusConnection &bus = QDBusConnection::sessionBus());
    QString serviceName() const { return m_serviceName; }

    void setPlaybackStatus(Status status);
    // title: the lesson; sentence: what is being studied; album: the book.
    void setMetadata(const QString &title, const QString &sentence, const QString &album);
    // Whether Next and Previous would move now (the window's buttons are enabled). Both are
    // possible until told otherwise, when their controls are given.
    void setNavigation(bool canGoNext, bool canGoPrevious);

    // --- What the adaptors publish ---
    const QString &identity() const { return m_identity; }
    const QString &desktopEntry() const { return m_desktopEntry; }
    const MprisControls &controls() const { return m_controls; }
    QString playbackStatusText() const;
    QVariantMap metadata() const;
    bool canGoNext() const { return m_controls.next && m_canGoNext; }
    bool canGoPrevious() const { return m_controls.previous && m_canGoPrevious; }
    // Runs a control if there is one.
    static void run(const std::function<void()> &control);

    static inline const QString objectPath = QStringLiteral("/org/mpris/MediaPlayer2");
    static inline const QString playerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");

private:
    void propertiesChanged(const QVariantMap &changed);

    QString m_serviceName;
    QString m_identity;
    QString m_desktopEntry;
    MprisControls m_controls;
    bool m_registered = false;
    Status m_status = Status::Stopped;
    QString m_title, m_sentence, m_album;
    quint64 m_track = 0; // a new number for each metadata that differs
    bool m_canGoNext = true;
    bool m_canGoPrevious = true;
};
