// Loading a lesson (file, sentence table, rows) against only reading and decoding its file.
// The ratio is what matters on these shared machines: both run in the same process, on the
// same files, one after the other.

#include "audio/fakevoicebackend.h"
#include "audio/voiceplayer.h"
#include "content/textcodec.h"
#include "ratioreporter.h"
#include "study/lessonloader.h"
#include "text/fontmeasurer.h"
#include "text/fonts.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <random>

namespace {

const QString bookTitle = QStringLiteral("基准课本");
const int sizes[] = {10, 1000, 32767};

const char *const englishWords[] = {
    "the",     "a",       "I",          "you",      "we",      "would", "like",   "to",
    "go",      "station", "morning",    "please",   "could",   "help",  "me",     "find",
    "nearest", "bank",    "restaurant", "tomorrow", "weather", "is",    "lovely", "today",
    "meeting", "starts",  "at",         "nine",     "o'clock", "how",   "much",   "does",
    "this",    "cost",    "excuse",     "where",    "can",     "buy",   "ticket", "for",
    "train",   "London",  "my",         "friend",   "works",   "in",    "office", "near",
    "park",    "every",   "day",        "thank",    "very",    "much",  "indeed", "really"};

QString englishSentence(std::mt19937 &random) {
    std::uniform_int_distribution<int> lengthOf(40, 90);
    std::uniform_int_distribution<int> word(0, int(std::size(englishWords)) - 1);
    const int length = lengthOf(random);
    QString sentence;
    while (sentence.size() < length) {
        if (!sentence.isEmpty())
            sentence += u' ';
        sentence += QString::fromLatin1(englishWords[word(random)]);
    }
    sentence[0] = sentence[0].toUpper();
    return sentence + u'.';
}

QString chineseSentence(std::mt19937 &random) {
    static const QString characters = QStringLiteral(
        "我你他她们的是在有不这个人来到时大地为子中上说生国年着就那和要出也得里后自以会家"
        "可下而过天去能对小多然于心学么之都好看起发当没成只如事把还用第样道想作种开美总从"
        "无情己面最女但现前些所同日手又行意动方期它头经长儿回位分爱老因很给名法间斯知世什"
        "两次使身者被高已亲其进此话常与活正感见明问力理尔点文几定本公特做外孩相西果走将月"
        "十实向声车全信重三机工物气每并别真打太新比才便夫再书部水像眼等体却加电主界门利海");
    std::uniform_int_distribution<int> lengthOf(10, 30);
    std::uniform_int_distribution<int> pick(0, int(characters.size()) - 1);
    const int length = lengthOf(random);
    QString sentence;
    for (int i = 0; i < length; ++i)
        sentence += characters[pick(random)];
    return sentence + QStringLiteral("。");
}

QByteArray lessonBytes(int count) {
    std::mt19937 random(20240601u + unsigned(count));
    QString text = QStringLiteral("*");
    double start = 0.3;
    for (int i = 0; i < count; ++i) {
        const double end = start + 2.5;
        text += englishSentence(random) + u'#' + chineseSentence(random) + u'#' +
                QString::number(start, 'f', 2) + u'#' + QString::number(end, 'f', 2) +
                QStringLiteral("#\r\n*");
        start = end + 0.7;
    }
    return encodeGbk(text);
}

struct Fixture {
    QTemporaryDir dir;
    FontMeasurer measurer;
    TrainerState state = TrainerState::forProgram(Program::Orvessa);
    VoicePlayer player{Program::Orvessa, std::make_unique<FakeVoiceBackend>()};
    LessonLoader loader{state, player, measurer};

    Fixture() {
        const QString bookDir = dir.path() + QStringLiteral("/book/") + bookTitle;
        const QString soundDir = dir.path() + QStringLiteral("/Sound/") + bookTitle;
        QDir().mkpath(bookDir);
        QDir().mkpath(soundDir);
        for (const int count : sizes) {
            QFile lesson(lessonPath(count));
            lesson.open(QIODevice::WriteOnly);
            lesson.write(lessonBytes(count));
            QFile audio(soundDir + QStringLiteral("/%1.mp3").arg(count));
            audio.open(QIODevice::WriteOnly);
        }
    }
    QString lessonPath(int count) const {
        return dir.path() + QStringLiteral("/book/") + bookTitle +
               QStringLiteral("/%1.dat").arg(count);
    }
    LessonSelection selection(int count) const {
        return LessonSelection{DataPlaces::portable(dir.path()), bookTitle, count - 1,
                               QStringLiteral("基准")};
    }
};

Fixture *fixture = nullptr;

void readAndDecode(benchmark::State &bench, int count) {
    const QString path = fixture->lessonPath(count);
    for (auto _ : bench) {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        const QString text = decodeText(file.readAll());
        benchmark::DoNotOptimize(text.constData());
    }
}

void loadLesson(benchmark::State &bench, int count) {
    const LessonSelection selection = fixture->selection(count);
    // Warm the glyph tables as a running program has them.
    fixture->loader.loadlesson(selection);
    for (auto _ : bench) {
        fixture->loader.loadlesson(selection);
        benchmark::DoNotOptimize(fixture->state.rows.data());
    }
    if (fixture->state.sentenceCount != count)
        bench.SkipWithError("the lesson did not load whole");
}

} // namespace

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    installFontSubstitutions();
    Fixture shared;
    fixture = &shared;

    for (const int count : sizes) {
        benchmark::RegisterBenchmark(("read+decode/" + std::to_string(count)).c_str(),
                                     readAndDecode, count)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("loadlesson/" + std::to_string(count)).c_str(), loadLesson,
                                     count)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    for (const int count : sizes) {
        const auto read = reporter.seconds.find("read+decode/" + std::to_string(count));
        const auto load = reporter.seconds.find("loadlesson/" + std::to_string(count));
        if (read == reporter.seconds.end() || load == reporter.seconds.end() || read->second <= 0)
            continue;
        std::printf("load/read ratio %d sentences: %.1fx (load %.3f ms, read+decode %.3f ms)\n",
                    count, load->second / read->second, load->second * 1e3, read->second * 1e3);
    }
    benchmark::Shutdown();
    return 0;
}
