#include "dictationscore.h"

#include "content/settingsrecord.h"

double passMarkOf(QStringView pickerText) {
    return leadingNumber(pickerText);
}

QString allowedPassMark(QStringView pickerText) {
    return passMarkOf(pickerText) >= DictationScore::lowestPassMark
               ? pickerText.toString()
               : QString::number(DictationScore::lowestPassMark);
}

QString dictationMessage(DictationVerdict verdict, int points) {
    QString message = QStringLiteral("本句得分：") + QString::number(points);
    switch (verdict) {
    case DictationVerdict::Failed:
        message += QStringLiteral("分，您未能过关，请按回车键重做当前句子。");
        break;
    case DictationVerdict::Passed:
        message += QStringLiteral("分，恭喜您已过关，请按回车键进入下一句。");
        break;
    case DictationVerdict::LessonPassed:
        message += QStringLiteral("分，恭喜您本课已过关，请按回车键查看本册成绩。");
        break;
    }
    message += QStringLiteral("\r\n\r\n（评分标准：每提示1次扣20分，错误1次扣10分，复读1次扣5分，"
                              "得分高于过关分数即可过关）");
    return message;
}
