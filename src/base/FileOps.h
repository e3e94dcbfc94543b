#pragma once
#include <QString>

// The file operations that can fail in ways a test must provoke (disk full,
// permission denied) even when the tests run as root. The base class is the
// real thing; tests derive from it and fail chosen calls.
// All calls block until done and report failure as false; none throws.
class FileOps {
public:
    virtual ~FileOps() = default;
    // Copies the regular file from to the scratch name to: whatever is at to
    // is removed first, the copy is written there directly, flushed, its
    // size checked and its times set to those of from. On failure no to remains.
    virtual bool copyFile(const QString& from, const QString& to);
    // Removes a file or a link; never a folder.
    virtual bool removeFile(const QString& path);
    // Renames and never replaces an existing to; false across file systems
    // or when to exists. Atomic where the file system has RENAME_NOREPLACE
    // or hard links; on file systems with neither (FAT, exFAT) to is first
    // claimed by an empty file created exclusively and the rename replaces
    // only that claim (a process killed in between leaves the empty claim).
    virtual bool renameNoReplace(const QString& from, const QString& to);
    virtual bool isFile(const QString& path);
    // True when something (file, folder, even a dangling link) has this name.
    virtual bool nameTaken(const QString& path);

protected:
    enum class AtomicRename {
        Done,
        Refused,      // to exists, another file system, no such file, ...
        Unsupported,  // the file system has neither RENAME_NOREPLACE nor hard links
    };
    // The atomic ways of renameNoReplace: renameat2 with RENAME_NOREPLACE,
    // else link() and unlink().
    virtual AtomicRename renameAtomically(const QString& from, const QString& to);
};
