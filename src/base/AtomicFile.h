#pragma once
#include <QByteArray>
#include <QString>

// Replaces one file whole, so that the file on disk is always the old one or
// the new one, never an empty or cut one (a full disk, a kill, a crash).
//
// open() creates a fresh temporary file "<name>.XXXXXX" beside the file
// (O_EXCL, so nothing that exists is touched). commit() writes the bytes
// into it with every write checked, compares the size on disk, flushes it
// (fsync), closes it checking the result, and only then renames it over the
// file and flushes the folder. On any failure the temporary file is removed,
// the old file keeps every byte, and errorString() tells why (the system's
// text for the error). A writer destroyed without commit() removes its
// temporary file. A symbolic link is kept: its target is replaced.
// The new file gets the old file's permissions; a new one 0666 minus umask.
// Blocks until done; any thread, one writer per object.
class AtomicFile {
public:
    explicit AtomicFile(const QString& path);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool open();
    bool commit(const QByteArray& bytes);
    // Removes the temporary file; the old file stays.
    void discard();
    QString errorString() const { return error; }
    QString path() const { return target; }

private:
    QString target;
    QByteArray finalName;  // the name replaced: the link's target for a link
    QByteArray tempName;
    int fd = -1;
    QString error;
    bool fail(const char* step, int errnum);
};

// The whole write in one call; on failure *error (if given) says why.
bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* error = nullptr);
