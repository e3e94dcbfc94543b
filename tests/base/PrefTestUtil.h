#pragma once
// Small file helpers for the preference-file and settings tests.
#include <QByteArray>
#include <QFile>
#include <QString>

inline QByteArray readBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(bytes);
}

// The bytes a written document starts with: BOM and an empty first line.
inline QByteArray written(const QByteArray& lines) { return QByteArray("\xEF\xBB\xBF\r\n") + lines; }
