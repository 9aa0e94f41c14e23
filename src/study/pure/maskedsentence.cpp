#include "maskedsentence.h"

#include "lettercheck.h"

QString maskedSentence(QStringView english) {
    QString masked(english.size(), Qt::Uninitialized);
    QChar *out = masked.data();
    for (qsizetype i = 0; i < english.size(); ++i)
        out[i] = isCheckLetter(english[i]) ? QChar(u'_') : english[i];
    return masked;
}
