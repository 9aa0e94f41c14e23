#pragma once

#include <QPixmap>
#include <QWidget>

// A clickable caption with a small picture at its left: the picture-check twins (Label21
// with Image10, ...) and the speed labels with their radio pictures (Label20 with Image9).
// The caption keeps its leading blanks, which in the design leave room for the picture;
// the picture is drawn in that room and the words after it.
class PictureLabel : public QWidget {
    Q_OBJECT
public:
    explicit PictureLabel(QWidget *parent = nullptr);

    void setCaption(const QString &caption);
    QString caption() const { return m_caption; }
    void setPicture(const QPixmap &picture, const QString &path);
    // The picture's path relative to the program directory, as the state named it.
    QString picturePath() const { return m_picturePath; }

Q_SIGNALS:
    // The left button was released over the label.
    void clicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QString m_caption;
    QPixmap m_picture;
    QString m_picturePath;
};
