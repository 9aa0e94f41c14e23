#pragma once

#include "desktop/accessiblecontrol.h"

#include <QPixmap>
#include <QWidget>

// A clickable caption with a small picture at its left: the picture-check twins (Label21
// with Image10, ...) and the speed labels with their radio pictures (Label20 with Image9).
// The caption keeps its leading blanks, which in the design leave room for the picture;
// the picture is drawn in that room and the words after it.
//
// The skin's picture says what the label is to assistive technology: a tick picture
// (0.jpg off; 1.jpg, a1.jpg on) makes a check box, a radio picture (f.jpg off, t.jpg on) a
// radio button, anything else plain text. Its name is the trimmed caption and its action is
// the click. A disabled one is drawn faint and says so.
class PictureLabel : public QWidget, public AccessibleControl {
    Q_OBJECT
public:
    explicit PictureLabel(QWidget *parent = nullptr);

    void setCaption(const QString &caption);
    QString caption() const { return m_caption; }
    void setPicture(const QPixmap &picture, const QString &path);
    // The picture's path relative to the program directory, as the state named it.
    QString picturePath() const { return m_picturePath; }

    AccessiblePart accessiblePart(int part) const override;
    void pressAccessiblePart(int part) override;

Q_SIGNALS:
    // The left button was released over the label.
    void clicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QString m_caption;
    QPixmap m_picture;
    QString m_picturePath;
};
