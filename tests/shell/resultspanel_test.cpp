#include "audio/fakevoicebackend.h"
#include "audio/voiceplayer.h"
#include "content/contentpaths.h"
#include "content/richtext.h"
#include "shell/catalogueview.h"
#include "shell/resultspanel.h"
#include "shell/trainerwindow.h"
#include "study/pure/lettercheck.h"
#include "support/programdirfixture.h"
#include "support/windowfakes.h"
#include "text/fonts.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

namespace {

using programdir::demoBook;

QString s(const char *utf8) {
    return QString::fromUtf8(utf8);
}

class ResultsWindowTest : public ::testing::Test, protected TrainerWindowFakes {
protected:
    void SetUp() override {
        installFontSubstitutions();
        ASSERT_TRUE(dir.isValid());
        programdir::copyDemoContent(dir.path());
        // Lesson 2 remembered.
        programdir::writeFile(dir.path() + QStringLiteral("/SETTING/set.dat"),
                              programdir::gbk(QStringLiteral("1\\1\\1\\1\\0\\2\\1\\1\\1\\") +
                                              demoBook + QStringLiteral("\\60\\")));
        start();
    }
    void start() {
        window.reset();
        player = std::make_unique<VoicePlayer>(
            Program::Orvessa, std::make_unique<FakeVoiceBackend>(VoiceBackend::Unit::Seconds));
        window = std::make_unique<TrainerWindow>(DataPlaces::portable(dir.path()), *player, sounds,
                                                 recorder, timers());
        window->messageSink = [this](const QString &text, const QString &, MessageIcon) {
            messages << text;
        };
        window->startup();
    }
    QString resultsFileText() const {
        QFile file(dir.path() + u'/' + ContentFile::results(demoBook));
        return file.open(QIODevice::ReadOnly) ? plainTextFromFileBytes(file.readAll()) : QString();
    }
    ResultsPanel *panel() const { return window->Picture8(); }
    void grabTo(const char *name) const {
        // Screenshots for a look at the panel: ORVESSA_SHOT_DIR=/tmp ctest -R ResultsWindow
        const QString shots = qEnvironmentVariable("ORVESSA_SHOT_DIR");
        if (!shots.isEmpty())
            window->grab().save(shots + u'/' + QLatin1StringView(name));
    }

    QTemporaryDir dir;
    std::unique_ptr<VoicePlayer> player;
    std::unique_ptr<TrainerWindow> window;
    QStringList messages;
};

TEST_F(ResultsWindowTest, APassIsSavedShownAfterARestartAndCleared) {
    EXPECT_FALSE(panel()->isVisibleTo(window.get()));
    window->lessonPassed();
    EXPECT_TRUE(panel()->isVisibleTo(window.get()));
    const QString passed = s("★第2课 购物");
    EXPECT_TRUE(resultsFileText().contains(u'^' + passed + u'^'))
        << resultsFileText().toStdString();
    EXPECT_TRUE(resultsFileText().contains(s("^☆第1课 问候与介绍^")));

    start();
    EXPECT_FALSE(panel()->isVisibleTo(window.get()));
    window->showResults();
    ASSERT_EQ(panel()->List2()->count(), 6);
    EXPECT_EQ(panel()->List2()->item(1)->text(), passed);
    grabTo("results-marks.png");

    panel()->Command26()->click();
    EXPECT_EQ(panel()->List2()->item(1)->text(), s("☆第2课 购物"));
    EXPECT_FALSE(resultsFileText().contains(QChar(u'★')));
    panel()->Command17()->click();
    EXPECT_FALSE(panel()->isVisibleTo(window.get()));
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
}

TEST_F(ResultsWindowTest, EachPageClearsOnlyItsOwnList) {
    window->lessonPassed();
    const int sentence = window->state().currentSentence;
    const QString english = window->state().sentences.entry(sentence).english;
    window->recordWrongCheck(sentence, checkTyping(english, QString()));
    window->recordWrongCheck(sentence, checkTyping(english, QString()));
    window->recordWrongCheck(sentence, checkTyping(english, english + u'x')); // no word
    ASSERT_EQ(panel()->reviewList()->count(), 1);
    EXPECT_TRUE(panel()->reviewList()->item(0)->text().contains(s("2次")));
    // The entry's sentence plays: it is in the loaded lesson.
    auto &fake = static_cast<FakeVoiceBackend &>(player->backend());
    fake.calls.clear();
    Q_EMIT panel()->reviewList()->itemClicked(panel()->reviewList()->item(0));
    EXPECT_TRUE(fake.calls.contains(QStringLiteral("play"))) << fake.calls.join(u' ').toStdString();

    panel()->Command26()->click(); // the marks page
    EXPECT_FALSE(resultsFileText().contains(QChar(u'★')));
    EXPECT_EQ(window->review().entries().size(), 1);

    window->lessonPassed();
    panel()->reviewTab()->click();
    EXPECT_EQ(panel()->page(), ResultsPanel::Page::Review);
    grabTo("results-review.png");
    panel()->Command26()->click();
    EXPECT_TRUE(window->review().entries().isEmpty());
    EXPECT_TRUE(resultsFileText().contains(QChar(u'★')));

    start(); // the review list's clearing reached its file
    EXPECT_TRUE(window->review().entries().isEmpty());
    EXPECT_TRUE(window->results().text().contains(QChar(u'★')));
}

} // namespace
