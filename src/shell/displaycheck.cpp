#include "displaycheck.h"

#include <QScreen>
#include <cmath>

int ScreenReading::screenDpi() const {
    return int(std::lround(logicalDpi * devicePixelRatio));
}

ScreenReading ScreenReading::of(const QScreen *screen) {
    ScreenReading reading;
    if (!screen)
        return reading;
    reading.logicalDpi = screen->logicalDotsPerInchX();
    reading.devicePixelRatio = screen->devicePixelRatio();
    reading.available = screen->availableGeometry().size();
    return reading;
}

bool displayMessageNeeded(const ScreenReading &screen, QSize windowSize) {
    if (screen.screenDpi() == 96)
        return false;
    const bool scaled = std::abs(screen.devicePixelRatio - 1.0) > 1e-6;
    const bool unscaled = std::lround(screen.logicalDpi) != 96;
    if (unscaled && !scaled)
        return true;
    return windowSize.width() > screen.available.width() ||
           windowSize.height() > screen.available.height();
}

QString displayMessageText() {
    const QString crlf = QStringLiteral("\r\n");
    return QStringLiteral("您的系统DPI非标准值，软件界面可能无法正常显示，解决方法如下：") + crlf +
           QStringLiteral("[Windows XP]") + crlf +
           QStringLiteral("在桌面上点击鼠标右键，在弹出的菜单中选择“属性”，点击“设置”选项卡，"
                          "再点击“高级”按钮，将“DPI 设置(D:)”改为“正常尺寸（96 DPI）”，"
                          "再点击确定按钮后重启系统即可。") +
           crlf + QStringLiteral("[Windows 7]") + crlf +
           QStringLiteral("在桌面上点击鼠标右键，在弹出的菜单中选择“屏幕分辨率”，"
                          "点击“放大或缩小文本和其他项目”，选择“较小(S)-100%（默认）”，"
                          "再点击应用按钮后注销系统即可。");
}
