#include "catalogue.h"

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
