#pragma once

#include "desktop/mprisplayer.h"

#include <QObject>
#include <QTimer>

class TrainerWindow;

// The trainer's window as the desktop's media player: media keys, panel widgets and
// playerctl play and pause the current sentence or the full-text reading, and move to the
// next and previous sentence as the window's buttons do. What plays, the lesson and its
// sentence are read from the window every pollMs and published when they change.
class TrainerMedia : public QObject {
    Q_OBJECT
public:
    // window must outlive this.
    explicit TrainerMedia(TrainerWindow &window, QObject *parent = nullptr);

    // Something plays, or full-text reading is on and not paused.
    bool playing() const;
    // Pauses what plays; otherwise plays: the current sentence again (朗读, 复读 in the
    // dictation), in 全文浏览 full-text reading, which a paused reading continues.
    void playPause();
    void play();
    void pause();
    // 下一句 and 上一句 while the window offers them.
    void next();
    void previous();
    // Publishes the state now; the poll does it by itself.
    void update();

    MprisPlayer &mpris() { return m_mpris; }

    static constexpr int pollMs = 250;

private:
    bool readingOn() const;
    bool canGoNext() const;
    bool canGoPrevious() const;

    TrainerWindow &m_window;
    MprisPlayer m_mpris;
    QTimer m_poll;
};
