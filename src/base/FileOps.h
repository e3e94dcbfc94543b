#pragma once
#include <QString>

// The file operations that can fail in ways a test must provoke (disk full,
// permission denied) even when the tests run as root. The base class is the
// real thing; tests derive from it and fail chosen calls.
// All calls block until done and report failure as false; none throws.
class FileOps {
public:
    virtual ~FileOps() = default;
    // Copies from to to, replacing to. The copy is flushed to disk and its
    // size checked before true is returned; on failure no partial to remains.
    virtual bool copyFile(const QString& from, const QString& to);
    virtual bool removeFile(const QString& path);
    // Renames and never replaces an existing to; false across file systems
    // or when to exists. Atomic where the file system has RENAME_NOREPLACE
    // or hard links; on FAT and exFAT, which have neither, to is first
    // claimed by an empty file created exclusively and the rename replaces
    // only that claim (a process killed in between leaves the empty claim).
    virtual bool renameNoReplace(const QString& from, const QString& to);
    // Moves a file without ever losing it: rename on the same file system,
    // otherwise copy (flushed, size checked) and only then remove the source.
    // Never replaces an existing to. At every moment the file exists at
    // from, at to, or at both.
    virtual bool moveFile(const QString& from, const QString& to);
    virtual bool isFile(const QString& path);
};
