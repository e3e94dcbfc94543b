#pragma once
#include <QString>

// Appends the native separator unless path already ends with one; "" -> "/".
QString AddBackslash(const QString& path);
// The text after the last native separator; on Linux a "\" is an ordinary
// character of a file name.
QString filePart(const QString& path);
