#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <gtest/gtest.h>

// The bytes of a committed fixture under tests/data/content.
inline QByteArray contentFixture(const char *name) {
    QFile file(QStringLiteral(ORVESSA_TEST_DATA_DIR "/content/") + QLatin1StringView(name));
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "missing fixture " << name;
        return {};
    }
    return file.readAll();
}

// GBK bytes spelled out, so that expectations never come from the code under test.
inline const QByteArray gbkYingYu900Ju = QByteArray("\xd3\xa2\xd3\xef"
                                                    "900"
                                                    "\xbe\xe4");
