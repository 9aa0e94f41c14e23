#pragma once

#include <QString>

// A button of the follow-read page as the window shows it.
struct FollowReadButton {
    QString caption;
    bool enabled = true;
};

// The page's own buttons. 上一句 (Command13) and 下一句 (Command14) keep their enabled state
// in TrainerState beside the other sentence-moving buttons, which they follow.
struct FollowReadState {
    FollowReadButton Command11{QStringLiteral("标准发音"), true};
    FollowReadButton Command8{QStringLiteral("录音"), true};
    FollowReadButton Command10{QStringLiteral("停止"), false};
    FollowReadButton Command12{QStringLiteral("您的发音"), false};
    FollowReadButton Command9{QStringLiteral("循环对比"), false};
    FollowReadButton Command15{QStringLiteral("首句"), true};
    // A calm line for the page when recording could not start; empty otherwise.
    QString notice;
};
