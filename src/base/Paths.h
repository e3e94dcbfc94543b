#pragma once
#include <QString>

// Appends the native separator unless path already ends with one; "" -> "/".
QString AddBackslash(const QString& path);
// The text after the last "/" or "\".
QString filePart(const QString& path);
