#pragma once

#include "desktop/mprisplayer.h"

#include <QObject>
#include <QTimer>
#include <functional>

class MiniWindow;

// The strip as the desktop's media player (org.mpris.MediaPlayer2.orvessa_mini): media keys,
// panel widgets and playerctl pause and continue it as its "暂停"/"继续" item does, and step
// the sentences as 下一句 and 上一句. The lesson and its sentence are published when they
// change, read from the strip every pollMs.
class MiniMedia : public QObject {
    Q_OBJECT
public:
    // window must outlive this.
    explicit MiniMedia(MiniWindow &window, QObject *parent = nullptr);

    void update();
    MprisPlayer &mpris() { return m_mpris; }

    static constexpr int pollMs = 250;
    static inline const QString serviceSuffix = QStringLiteral("orvessa_mini");

private:
    void act(const std::function<void()> &control);
    void setPaused(bool paused);
    void step(bool forward);

    MiniWindow &m_window;
    MprisPlayer m_mpris;
    QTimer m_poll;
};
