#include "catalogue.h"

#include "contentpaths.h"
#include "dataplaces.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <algorithm>

const QStringList &bookTitles(Program program) {
    static const QStringList orvessa = {
        QStringLiteral("英语900句"),
        QStringLiteral("新英语900句"),
        QStringLiteral("新东方英语900句提高篇"),
        QStringLiteral("英语会话入门教程"),
        QStringLiteral("英语会话300句"),
        QStringLiteral("Merrow365句"),
        QStringLiteral("英语口语900句"),
        QStringLiteral("商务英语口语900句"),
        QStringLiteral("办公室实用英语口语"),
        QStringLiteral("生活口语300句"),
        QStringLiteral("英语口语8000句"),
        QStringLiteral("新概念英语第一册"),
        QStringLiteral("新概念英语第二册"),
        QStringLiteral("新概念英语第三册"),
        QStringLiteral("新概念英语第四册"),
    };
    static const QStringList mini = {QStringLiteral("英语900句")};
    return program == Program::Mini ? mini : orvessa;
}

QStringList ownBookTitles(const DataPlaces &places) {
    const QStringList &catalogue = bookTitles(Program::Orvessa);
    QStringList titles;
    for (const QString &root : places.roots()) {
        const QStringList folders =
            QDir(root + QStringLiteral("/book")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QString &title : folders) {
            if (!catalogue.contains(title) && !titles.contains(title) &&
                isBookInstalled(places, title))
                titles << title;
        }
    }
    QCollator pinyin(QLocale(QLocale::Chinese, QLocale::China));
    pinyin.setNumericMode(true);
    std::sort(titles.begin(), titles.end(),
              [&](const QString &a, const QString &b) { return pinyin.compare(a, b) < 0; });
    return titles;
}

bool isBookInstalled(const DataPlaces &places, const QString &title) {
    return isSafeBookTitle(title) &&
           QFileInfo(places.readPath(ContentFile::bookList(title))).isFile();
}

bool isShippedBookOnly(const DataPlaces &places, const QString &title) {
    return !QFileInfo(places.writePath(ContentFile::bookList(title))).isFile() &&
           isBookInstalled(places, title);
}

QStringList bookSelectorTitles(Program program, const DataPlaces &places) {
    return bookTitles(program) + ownBookTitles(places);
}
