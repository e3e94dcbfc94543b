#include "base/Log.h"

#include <QDateTime>
#include <QFile>
#include <QTimeZone>


namespace {
// Local wall-clock seconds carry the local fields when read as UTC.
QDateTime wallClock(qint64 localSeconds) { return QDateTime::fromSecsSinceEpoch(localSeconds, QTimeZone::utc()); }
}  // namespace

QString logTimestamp(qint64 localSeconds) {
    return wallClock(localSeconds).toString(QStringLiteral("dd.MM.yy hh:mm:ss"));
}

QString logFileForDay(const QString& logFolder, qint64 localSeconds) {
    return logFolder + QString::number(wallClock(localSeconds).date().day()) + QStringLiteral(".log");
}

bool appendLogLine(const QString& file, qint64 localSeconds, const QString& text) {
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append)) return false;
    const QByteArray line = (logTimestamp(localSeconds) + QStringLiteral("  ") + text).toUtf8() + "\r\n";
    const bool ok = f.write(line) == line.size();
    f.close();
    return ok;
}
