#include "widgets/lanestyle.h"
#include "widgets/pitchcontourview.h"

#include <QImage>
#include <gtest/gtest.h>

namespace {

// A rising tune over 1.5 s after 0.5 s unvoiced, every 10 ms.
PitchContour rising() {
    PitchContour c;
    c.semitones.assign(50, PitchContour::unvoiced());
    for (int i = 0; i < 150; ++i)
        c.semitones.push_back(float(i) / 30 - 2.5f);
    return c;
}

SentenceFeedback judgedTake() {
    SentenceFeedback f;
    f.judged = true;
    f.words = {{"Good", WordMark::Ok, Pace::Even, 500, 900, 500, 900},
               {"morning", WordMark::LeftOut, Pace::Even, 900, 1900, 0, 0}};
    f.modelPitch = f.learnerPitch = rising();
    return f;
}

SentenceFeedback unjudged(Unjudged why, PitchContour model, PitchContour learner) {
    SentenceFeedback f;
    f.why = why;
    f.reRecord = why == Unjudged::TakeUnclear;
    f.modelPitch = std::move(model);
    f.learnerPitch = std::move(learner);
    return f;
}

// Pixels close to colour in the upper (row 0) or lower (row 1) half of the picture, right of
// the captions.
int pixelsOf(const QImage &image, int row, const QColor &colour) {
    int count = 0;
    const int half = image.height() / 2;
    for (int y = row * half; y < (row + 1) * half; ++y)
        for (int x = lanestyle::captionWidth; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) +
                    std::abs(c.blue() - colour.blue()) <
                30)
                ++count;
        }
    return count;
}

// Marks come word by word only from a judged take; a take not judged still shows the pitch it
// has, both speakers' across the row; a take with nothing voiced shows nothing.
TEST(PitchContourView, ShowsThePitchAJudgedOrUnjudgedTakeHas) {
    const PitchContour silent{10, std::vector<float>(200, PitchContour::unvoiced())};
    struct Case {
        const char *name;
        SentenceFeedback feedback;
        bool byWord, whole, modelDrawn, learnerDrawn;
        QString description;
    } cases[] = {
        {"nothing yet", {}, false, false, false, false, "录音并停止后"},
        {"judged", judgedTake(), true, false, true, true,
         "上面是标准发音，下面是您的发音，按词对齐。"},
        {"model not matched", unjudged(Unjudged::ModelNotMatched, rising(), rising()), false, true,
         true, true, "上面是标准发音，下面是您的发音，整句对比"},
        {"model silent", unjudged(Unjudged::ModelSilent, silent, rising()), false, true, false,
         true, "上面是标准发音，下面是您的发音，整句对比"},
        {"take not found", unjudged(Unjudged::TakeNotFound, rising(), rising()), false, true, true,
         true, "上面是标准发音，下面是您的发音，整句对比"},
        {"take too noisy: no pitch taken", unjudged(Unjudged::TakeUnclear, rising(), {}), false,
         false, false, false, "录音并停止后"},
        {"take unvoiced", unjudged(Unjudged::ModelNotMatched, rising(), silent), false, false,
         false, false, "录音并停止后"},
    };
    for (const Case &c : cases) {
        PitchContourView view;
        view.resize(540, 66);
        view.setFeedback(c.feedback);
        EXPECT_EQ(view.hasContours(), c.byWord) << c.name;
        EXPECT_EQ(view.hasWholeContours(), c.whole) << c.name;
        EXPECT_TRUE(
            view.accessiblePart(AccessibleControl::self).description.startsWith(c.description))
            << c.name;
        QImage picture(view.size(), QImage::Format_RGB32);
        picture.fill(Qt::white);
        view.render(&picture);
        EXPECT_EQ(pixelsOf(picture, 0, lanestyle::model) > 20, c.modelDrawn) << c.name;
        EXPECT_EQ(pixelsOf(picture, 1, lanestyle::voice) > 20, c.learnerDrawn) << c.name;
    }
}

} // namespace
