#include "base/PartialCopy.h"

#include "base/Paths.h"

namespace {
const QString kSuffix = QStringLiteral(".kalvo-part");
}

QString partialCopyName(const QString& target) {
    const QString name = filePart(target);
    return target.left(target.size() - name.size()) + QLatin1Char('.') + name + kSuffix;
}

bool isPartialCopyName(const QString& name) {
    return name.startsWith(QLatin1Char('.')) && name.endsWith(kSuffix) &&
           name.size() > kSuffix.size() + 1;
}
