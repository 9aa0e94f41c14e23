#include "contenttool.h"

int runContentTool(const QStringList &, QTextStream &, QTextStream &err) {
    err << "not built yet\n";
    return 2;
}
