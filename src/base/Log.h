#pragma once
#include <QString>

// "dd.mm.yy hh:ii:ss" of a count of local wall-clock seconds since 1970.
QString logTimestamp(qint64 localSeconds);
// The log file of the day holding localSeconds: logFolder + day of the
// month without leading zero + ".log". logFolder ends with the separator.
QString logFileForDay(const QString& logFolder, qint64 localSeconds);
// Appends "timestamp  text" CR LF (UTF-8, no BOM) to file, opening and
// closing it for this one line. False when the line could not be written.
bool appendLogLine(const QString& file, qint64 localSeconds, const QString& text);
