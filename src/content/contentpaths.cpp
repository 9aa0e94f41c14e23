#include "contentpaths.h"

namespace {

bool isReservedDeviceName(QStringView title) {
    // Windows opens a device instead of a file for these names, with any extension.
    const qsizetype dot = title.indexOf(u'.');
    if (dot >= 0) {
        title = title.first(dot);
    }
    static const char *const names[] = {"CON", "PRN", "AUX", "NUL"};
    for (const char *name : names) {
        if (title.compare(QLatin1StringView(name), Qt::CaseInsensitive) == 0) {
            return true;
        }
    }
    if (title.size() == 4 && (title.first(3).compare(u"COM", Qt::CaseInsensitive) == 0 ||
                              title.first(3).compare(u"LPT", Qt::CaseInsensitive) == 0)) {
        return title[3] >= u'1' && title[3] <= u'9';
    }
    return false;
}

QString lessonNumberText(int lessonNumber) {
    return QString::number(lessonNumber);
}

} // namespace

bool isSafeBookTitle(QStringView title) {
    constexpr qsizetype maxTitleLength = 200;
    if (title.isEmpty() || title.size() > maxTitleLength) {
        return false;
    }
    // Windows drops trailing spaces and dots from folder names, so such a title would
    // name a different folder there; leading spaces are refused for symmetry.
    if (title.front() == u' ' || title.back() == u' ' || title.back() == u'.') {
        return false;
    }
    for (qsizetype i = 0; i < title.size(); ++i) {
        const char16_t c = title[i].unicode();
        if (c < 0x20 || c == 0x7f) {
            return false;
        }
        switch (c) {
        case u'/':
        case u'\\':
        case u':':
        case u'*':
        case u'?':
        case u'"':
        case u'<':
        case u'>':
        case u'|':
            return false;
        default:
            break;
        }
        if (QChar::isHighSurrogate(c)) {
            if (i + 1 >= title.size() || !title[i + 1].isLowSurrogate()) {
                return false;
            }
            ++i;
        } else if (QChar::isLowSurrogate(c)) {
            return false;
        }
    }
    return !isReservedDeviceName(title);
}

namespace ContentFile {

QString lessonText(const QString &bookTitle, int lessonNumber) {
    return QStringLiteral("book/") + bookTitle + u'/' + lessonNumberText(lessonNumber) +
           QStringLiteral(".dat");
}

QString bookList(const QString &bookTitle) {
    return QStringLiteral("SETTING/BookList/") + bookTitle + QStringLiteral(".dat");
}

QString results(const QString &bookTitle) {
    return QStringLiteral("SETTING/Results/") + bookTitle + QStringLiteral(".dat");
}

QString review(const QString &bookTitle) {
    return QStringLiteral("SETTING/Review/") + bookTitle + QStringLiteral(".txt");
}

QString soundDir(const QString &bookTitle) {
    return QStringLiteral("Sound/") + bookTitle;
}

QString settings(bool mini) {
    return mini ? QStringLiteral("SETTING/mnset.dat") : QStringLiteral("SETTING/set.dat");
}

QString recorder() {
    return QStringLiteral("Recorder.wav");
}

} // namespace ContentFile

QString lessonTextPath(const QString &programDir, const QString &bookTitle, int lessonNumber) {
    return programDir + u'/' + ContentFile::lessonText(bookTitle, lessonNumber);
}

QString bookListPath(const QString &programDir, const QString &bookTitle) {
    return programDir + u'/' + ContentFile::bookList(bookTitle);
}

QString resultsPath(const QString &programDir, const QString &bookTitle) {
    return programDir + u'/' + ContentFile::results(bookTitle);
}

QString soundDir(const QString &programDir, const QString &bookTitle) {
    return programDir + u'/' + ContentFile::soundDir(bookTitle);
}

QString settingsPath(const QString &programDir, bool mini) {
    return programDir + u'/' + ContentFile::settings(mini);
}

QString clickSoundPath(const QString &programDir, const QString &fileName) {
    return programDir + QStringLiteral("/SETTING/Sound/") + fileName;
}

QString bitmapPath(const QString &programDir, const QString &fileName) {
    return programDir + QStringLiteral("/bitmap/") + fileName;
}
