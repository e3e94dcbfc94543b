#pragma once
// Small file helpers for the preference-file and settings tests, and a
// document in a temporary folder for the preference-file tests.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "base/PreferenceFile.h"

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

class PreferenceDocumentTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString file = dir.path() + QStringLiteral("/test.ini");

    // Opens bytes as a document.
    void openWith(PreferenceFile& f, const QByteArray& bytes) {
        writeBytes(file, bytes);
        ASSERT_TRUE(f.openPreferences(file));
    }
    // A new, empty document that replaces the file on close.
    void create(PreferenceFile& f) { ASSERT_TRUE(f.createPreferences(file)); }
    // Closes f, which writes it, and reads back the bytes on disk.
    QByteArray closeAndRead(PreferenceFile& f) {
        EXPECT_TRUE(f.closePreferences());
        return readBytes(file);
    }
};
