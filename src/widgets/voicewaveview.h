#pragma once

#include "desktop/accessiblecontrol.h"
#include "media/audioclip.h"

#include <QString>
#include <QWidget>
#include <vector>

// The model sentence and the learner's recording drawn one above the other on one time
// scale, each with a line where its playback is. The recording is drawn as it is heard: from
// its first sound on, at the loudness it is played with, so the two lanes start together and
// compare at a glance. The view only paints what it is given.
class VoiceWaveView : public QWidget, public AccessibleControl {
    Q_OBJECT
public:
    explicit VoiceWaveView(QWidget *parent = nullptr);

    // What a lane says while it has no waveform (reading the model, "press 录音", a
    // recording under way, a decoding failure).
    void setModel(const AudioClip &clip, const QString &emptyText = {});
    void setRecording(const AudioClip &clip, double gain, int skipMs, const QString &emptyText);
    // Seconds into each lane's drawing where its playback is now; negative hides the line.
    void setPositions(double modelSeconds, double recordingSeconds);

    double modelPosition() const { return m_lanes[0].position; }
    double recordingPosition() const { return m_lanes[1].position; }
    bool hasModel() const { return !m_lanes[0].clip.isEmpty(); }
    bool hasRecording() const { return !m_lanes[1].clip.isEmpty(); }
    // The seconds the width stands for: the longer lane, at least one second.
    double spanSeconds() const;

    AccessiblePart accessiblePart(int part) const override;
    void pressAccessiblePart(int) override {}

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    struct Lane {
        QString caption;
        AudioClip clip; // as drawn: trimmed and scaled
        QString emptyText;
        double position = -1;
        std::vector<std::pair<float, float>> columns; // low, high per pixel column
    };
    void rebuildColumns();
    QRect laneRect(int lane) const;

    Lane m_lanes[2];
    float m_scale = 1; // both lanes share it, so that loudness compares too
};
