#pragma once

#include <QAbstractButton>

// The window's own close and minimise buttons, drawn from our icons: quiet at rest, a soft
// tile on hover (red for close).
class ChromeButton : public QAbstractButton {
    Q_OBJECT
public:
    enum class Kind { Minimise, Close };
    ChromeButton(Kind kind, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Kind m_kind;
};
