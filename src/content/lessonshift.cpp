#include "lessonshift.h"

#include "lessonfile.h"
#include "richtext.h"
#include "textcodec.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <tuple>
#include <utility>
#include <vector>

namespace {

// Times are exact decimals: a count of 10^-scale seconds, scale being the field's own
// decimals but at least 3 (milliseconds, the step of a shift). The limits keep every sum
// inside 64 bits.
constexpr int maxDecimals = 9;
constexpr int maxWholeDigits = 9;
constexpr double maxShiftSeconds = 1e9;

constexpr qint64 powerOfTen(int exponent) {
    qint64 power = 1;
    for (int i = 0; i < exponent; ++i) {
        power *= 10;
    }
    return power;
}

struct ExactTime {
    qint64 units = 0;
    int scale = 3;
    int decimals = 0; // as written
};

// The number of a field parseSeconds() accepts, without its blanks.
std::optional<ExactTime> exactTime(QStringView number) {
    qsizetype i = 0;
    bool negative = false;
    if (number[i] == u'+' || number[i] == u'-') {
        negative = number[i] == u'-';
        ++i;
    }
    qint64 whole = 0;
    int wholeDigits = 0;
    for (; i < number.size() && number[i] != u'.'; ++i) {
        whole = whole * 10 + (number[i].unicode() - u'0');
        if (whole > 0 && ++wholeDigits > maxWholeDigits) {
            return std::nullopt;
        }
    }
    const QStringView fraction = i < number.size() ? number.sliced(i + 1) : QStringView();
    if (fraction.size() > maxDecimals) {
        return std::nullopt;
    }
    ExactTime time;
    time.decimals = int(fraction.size());
    time.scale = std::max(time.decimals, 3);
    qint64 part = 0;
    for (const QChar c : fraction) {
        part = part * 10 + (c.unicode() - u'0');
    }
    time.units = whole * powerOfTen(time.scale) + part * powerOfTen(time.scale - time.decimals);
    if (negative) {
        time.units = -time.units;
    }
    return time;
}

bool exactIn(qint64 units, int scale, int decimals) {
    return units % powerOfTen(scale - decimals) == 0;
}

// units >= 0, written with its own decimals when they hold it exactly, else the fewest
// that do (at most 3, as a shift moves by whole milliseconds).
QByteArray formatTime(qint64 units, int scale, int ownDecimals) {
    int decimals = ownDecimals;
    if (!exactIn(units, scale, decimals)) {
        decimals = 0;
        while (!exactIn(units, scale, decimals)) {
            ++decimals;
        }
    }
    const qint64 one = powerOfTen(scale);
    QByteArray text = QByteArray::number(units / one);
    if (decimals > 0) {
        const qint64 fraction = (units % one) / powerOfTen(scale - decimals);
        text += '.';
        text += QByteArray::number(fraction).rightJustified(decimals, '0');
    }
    return text;
}

// Where a field's number lies in the field, and what replaces it.
struct ShiftedField {
    qsizetype begin = 0;
    qsizetype end = 0;
    QByteArray number;
    bool changed = false;
    QString problem; // set when the field cannot be shifted
};

// A time for a message, to the millisecond, with its sign.
QString secondsText(qint64 units, int scale) {
    const qint64 perMs = powerOfTen(scale - 3);
    const qint64 ms = units / perMs;
    const qint64 magnitude = ms < 0 ? -ms : ms;
    return QStringLiteral("%1%2.%3")
        .arg(ms < 0 ? QStringLiteral("-") : QString())
        .arg(magnitude / 1000)
        .arg(magnitude % 1000, 3, 10, QChar(u'0'));
}

// A field's text for a message: decoded, on one line, not too long.
QString quoted(QStringView latin1Field) {
    QString text = decodeText(latin1Field.toLatin1()).simplified();
    if (text.size() > 40) {
        text = text.first(40) + u'…';
    }
    return u'"' + text + u'"';
}

// audioMs is the audio's length in milliseconds, or -1 when unknown.
ShiftedField shiftField(QStringView field, qint64 shiftMs, qint64 audioMs) {
    ShiftedField shifted;
    std::tie(shifted.begin, shifted.end) = numberSpan(field);
    if (!parseSeconds(field)) {
        shifted.problem = quoted(field) + QStringLiteral(" is not a number");
        return shifted;
    }
    const QStringView number = field.sliced(shifted.begin, shifted.end - shifted.begin);
    const std::optional<ExactTime> time = exactTime(number);
    if (!time) {
        shifted.problem = quoted(field) + QStringLiteral(" has too many digits");
        return shifted;
    }
    // A time held at 0 or at the end would leave the sentence shorter than it is, or
    // empty, so such a shift is refused rather than done in part.
    const qint64 perMs = powerOfTen(time->scale - 3);
    const qint64 units = time->units + shiftMs * perMs;
    if (units < 0 && units != time->units) {
        shifted.problem = QStringLiteral("%1 would move to %2 s, before the start of the audio")
                              .arg(number.toString(), secondsText(units, time->scale));
        return shifted;
    }
    if (audioMs >= 0 && units > time->units && units > audioMs * perMs) {
        shifted.problem =
            QStringLiteral("%1 would move to %2 s, after the end of the audio (%3 s)")
                .arg(number.toString(), secondsText(units, time->scale), secondsText(audioMs, 3));
        return shifted;
    }
    shifted.changed = units != time->units;
    shifted.number =
        shifted.changed ? formatTime(units, time->scale, time->decimals) : number.toLatin1();
    return shifted;
}

ShiftResult failure(QString why) {
    return {{}, std::move(why), 0};
}

} // namespace

ShiftResult shiftLessonTimes(QByteArrayView bytes, double seconds, int from, int to,
                             double audioSeconds) {
    if (looksLikeRichText(bytes)) {
        return failure(QStringLiteral("a rich-text (RTF) lesson file; only plain-text ones can "
                                      "be shifted"));
    }
    if (!std::isfinite(seconds) || std::abs(seconds) > maxShiftSeconds) {
        return failure(QStringLiteral("cannot shift by %1 seconds").arg(seconds));
    }
    const qint64 shiftMs = std::llround(seconds * 1000);
    const qint64 audioMs = std::isfinite(audioSeconds) && audioSeconds > 0
                               ? std::llround(std::min(audioSeconds, maxShiftSeconds) * 1000)
                               : -1;

    // One character per byte, so that offsets in the text are offsets in the file and the
    // loader's own record rules cut it.
    const QString text = QString::fromLatin1(bytes);
    const std::vector<QStringView> records = splitRecordViews(text);
    const qsizetype count = qsizetype(records.size());
    if (count == 0) {
        return failure(QStringLiteral("holds no sentence"));
    }
    const qsizetype last = to == -1 ? count : to;
    if (from < 1 || from > count) {
        return failure(QStringLiteral("no sentence %1: the lesson has sentences 1 to %2")
                           .arg(from)
                           .arg(count));
    }
    if (last < from || last > count) {
        return failure(QStringLiteral("cannot shift sentences %1 to %2: the lesson has "
                                      "sentences 1 to %3")
                           .arg(from)
                           .arg(to)
                           .arg(count));
    }

    QByteArray out;
    out.reserve(bytes.size() + (last - from + 1) * 2);
    qsizetype copied = 0;
    int changed = 0;
    for (qsizetype i = from - 1; i < last; ++i) {
        bool sentenceChanged = false;
        const QString sentence = QStringLiteral("sentence %1: ").arg(i + 1);
        const RecordFieldViews fields = cutRecordViews(records[size_t(i)]);
        if (!fields.end) {
            return failure(sentence + QStringLiteral("no Start and End (fewer than four \"#\")"));
        }
        for (const auto &[name, field] : {std::pair(QLatin1StringView("Start"), *fields.start),
                                          std::pair(QLatin1StringView("End"), *fields.end)}) {
            const ShiftedField shifted = shiftField(field, shiftMs, audioMs);
            if (!shifted.problem.isEmpty()) {
                return failure(sentence + name + u' ' + shifted.problem);
            }
            sentenceChanged = sentenceChanged || shifted.changed;
            const qsizetype begin = field.data() - text.data() + shifted.begin;
            out += bytes.sliced(copied, begin - copied);
            out += shifted.number;
            copied = field.data() - text.data() + shifted.end;
        }
        changed += sentenceChanged ? 1 : 0;
    }
    out += bytes.sliced(copied);
    return {std::move(out), {}, changed};
}

namespace {

// A time to put into a field: a millisecond, written as a shift writes it, or a number as
// it is to stand (an old one put back).
struct WantedTime {
    std::optional<qint64> ms;
    QString text;
};

// Exact times of different scales compared in billionths of a second (at most 9 whole
// digits, so 64 bits hold them).
qint64 nanoUnits(const ExactTime &time) {
    return time.units * powerOfTen(maxDecimals - time.scale);
}

struct RetimedRecord {
    RetimeRefusal refusal = RetimeRefusal::None;
    QString error;
    // Start and End: where each number lies in the record, and what it becomes.
    std::array<std::pair<qsizetype, qsizetype>, 2> spans{};
    std::array<QString, 2> numbers;
    bool changed = false;
};

RetimedRecord refused(RetimeRefusal why, QString error) {
    RetimedRecord r;
    r.refusal = why;
    r.error = std::move(error);
    return r;
}

// audioMs: the audio's length in milliseconds, or -1 when unknown or not to be checked.
RetimedRecord retimeRecord(QStringView record,
                           const std::array<std::optional<WantedTime>, 2> &wanted, qint64 audioMs) {
    const RecordFieldViews fields = cutRecordViews(record);
    if (!fields.start || !fields.end) {
        return refused(RetimeRefusal::NoTimes,
                       QStringLiteral("no Start and End (fewer than four \"#\")"));
    }
    RetimedRecord r;
    std::array<ExactTime, 2> old{};
    std::array<ExactTime, 2> now{};
    const std::array<QStringView, 2> views{*fields.start, *fields.end};
    const std::array<QLatin1StringView, 2> names{QLatin1StringView("Start"),
                                                 QLatin1StringView("End")};
    for (size_t k = 0; k < 2; ++k) {
        const QStringView field = views[k];
        const auto [begin, end] = numberSpan(field);
        const QStringView number = field.sliced(begin, end - begin);
        const std::optional<ExactTime> time =
            parseSeconds(field) ? exactTime(number) : std::nullopt;
        if (!time) {
            return refused(RetimeRefusal::NoTimes, QString(names[k]) + u' ' + quoted(field) +
                                                       QStringLiteral(" is not a time"));
        }
        const qsizetype offset = field.data() - record.data();
        r.spans[k] = {offset + begin, offset + end};
        old[k] = now[k] = *time;
        r.numbers[k] = number.toString();
        if (!wanted[k]) {
            continue;
        }
        if (wanted[k]->ms) {
            const qint64 units = *wanted[k]->ms * powerOfTen(time->scale - 3);
            if (units != time->units) {
                now[k].units = units;
                r.numbers[k] = QString::fromLatin1(formatTime(units, time->scale, time->decimals));
            }
        } else {
            const QStringView text = wanted[k]->text;
            const auto [from, to] = numberSpan(text);
            const std::optional<ExactTime> put =
                parseSeconds(text) ? exactTime(text.sliced(from, to - from)) : std::nullopt;
            if (!put) {
                return refused(RetimeRefusal::NoTimes, QString(names[k]) + u' ' + quoted(text) +
                                                           QStringLiteral(" is not a time"));
            }
            now[k] = *put;
            r.numbers[k] = text.sliced(from, to - from).toString();
        }
        r.changed = r.changed || r.numbers[k] != number;
    }
    if (now[0].units < 0) {
        return refused(RetimeRefusal::BeforeAudio,
                       QStringLiteral("Start %1 s would lie before the start of the audio")
                           .arg(secondsText(now[0].units, now[0].scale)));
    }
    if (nanoUnits(now[0]) >= nanoUnits(now[1])) {
        return refused(RetimeRefusal::StartNotBeforeEnd,
                       QStringLiteral("Start %1 s would not come before End %2 s")
                           .arg(secondsText(now[0].units, now[0].scale),
                                secondsText(now[1].units, now[1].scale)));
    }
    // An End past the audio already (the stated length of an MP3 is not exact) may stay, or
    // come closer.
    if (audioMs >= 0 && nanoUnits(now[1]) > nanoUnits(old[1]) &&
        nanoUnits(now[1]) > audioMs * powerOfTen(maxDecimals - 3)) {
        return refused(RetimeRefusal::PastAudio,
                       QStringLiteral("End %1 s would lie after the end of the audio (%2 s)")
                           .arg(secondsText(now[1].units, now[1].scale), secondsText(audioMs, 3)));
    }
    return r;
}

RetimeResult retimeFile(QByteArrayView bytes, int sentence,
                        const std::array<std::optional<WantedTime>, 2> &wanted, qint64 audioMs) {
    RetimeResult result;
    const auto refuse = [&result](RetimeRefusal why, QString error) {
        result.refusal = why;
        result.error = std::move(error);
        return result;
    };
    if (looksLikeRichText(bytes)) {
        return refuse(RetimeRefusal::RichText,
                      QStringLiteral("a rich-text (RTF) lesson file; only plain-text ones can "
                                     "be retimed"));
    }
    const QString text = QString::fromLatin1(bytes);
    const std::vector<QStringView> records = splitRecordViews(text);
    if (sentence < 1 || size_t(sentence) > records.size()) {
        return refuse(
            RetimeRefusal::NoSentence,
            QStringLiteral("no sentence %1: the lesson has %2").arg(sentence).arg(records.size()));
    }
    const QStringView record = records[size_t(sentence - 1)];
    const RetimedRecord r = retimeRecord(record, wanted, audioMs);
    if (r.refusal != RetimeRefusal::None) {
        return refuse(r.refusal, QStringLiteral("sentence %1: ").arg(sentence) + r.error);
    }
    const qsizetype at = record.data() - text.data();
    result.bytes.reserve(bytes.size() + 8);
    result.bytes += bytes.first(at + r.spans[0].first);
    result.bytes += r.numbers[0].toLatin1();
    result.bytes += bytes.sliced(at + r.spans[0].second, r.spans[1].first - r.spans[0].second);
    result.bytes += r.numbers[1].toLatin1();
    result.bytes += bytes.sliced(at + r.spans[1].second);
    result.start = r.numbers[0];
    result.end = r.numbers[1];
    result.changed = r.changed;
    return result;
}

std::optional<WantedTime> wantedSeconds(std::optional<double> seconds) {
    if (!seconds) {
        return std::nullopt;
    }
    // Out of range values become a refusal of their own: below 0 or far past any audio.
    const double clamped = std::isfinite(*seconds) ? std::clamp(*seconds, -1.0, maxShiftSeconds - 1)
                           : *seconds > 0          ? maxShiftSeconds - 1
                                                   : -1.0;
    return WantedTime{std::llround(clamped * 1000), {}};
}

} // namespace

RetimeResult setSentenceTimes(QByteArrayView bytes, int sentence, std::optional<double> start,
                              std::optional<double> end, double audioSeconds) {
    const qint64 audioMs = std::isfinite(audioSeconds) && audioSeconds > 0
                               ? std::llround(std::min(audioSeconds, maxShiftSeconds) * 1000)
                               : -1;
    return retimeFile(bytes, sentence, {wantedSeconds(start), wantedSeconds(end)}, audioMs);
}

RetimeResult restoreSentenceTimes(QByteArrayView bytes, int sentence, QStringView start,
                                  QStringView end) {
    return retimeFile(
        bytes, sentence,
        {WantedTime{std::nullopt, start.toString()}, WantedTime{std::nullopt, end.toString()}}, -1);
}

std::optional<QString> recordWithTimes(QStringView record, QStringView start, QStringView end) {
    const RetimedRecord r = retimeRecord(
        record,
        {WantedTime{std::nullopt, start.toString()}, WantedTime{std::nullopt, end.toString()}}, -1);
    if (r.refusal != RetimeRefusal::None) {
        return std::nullopt;
    }
    QString changed = record.first(r.spans[0].first).toString();
    changed += r.numbers[0];
    changed += record.sliced(r.spans[0].second, r.spans[1].first - r.spans[0].second);
    changed += r.numbers[1];
    changed += record.sliced(r.spans[1].second);
    return changed;
}

std::optional<std::pair<QString, QString>> recordTimeTexts(QStringView record) {
    const RetimedRecord r = retimeRecord(record, {}, -1);
    if (r.refusal != RetimeRefusal::None) {
        return std::nullopt;
    }
    return std::pair(r.numbers[0], r.numbers[1]);
}
