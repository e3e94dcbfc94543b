#pragma once
#include <QString>
#include <memory>

// The grouped key/value text format of Kalvo2.ini, list files and the trash
// index. One document per object; open/create closes the previous one.
// Written files start with a UTF-8 BOM and an empty line, lines end in CR LF.
// Saves are atomic: the file on disk is the old one or the new one, never cut.
class PreferenceFile {
public:
    PreferenceFile();
    ~PreferenceFile();  // does not write; call closePreferences
    PreferenceFile(const PreferenceFile&) = delete;
    PreferenceFile& operator=(const PreferenceFile&) = delete;

    // Reads the file: UTF-8 after a BOM; without one UTF-8 when the bytes
    // are well-formed UTF-8, Latin-1 otherwise. Line ends are CR, LF or any
    // run of them. A missing or unreadable file gives an empty document
    // that keeps the name; false.
    bool openPreferences(const QString& fileName);
    // Starts an empty document that closePreferences writes whole, even with
    // no writes (a zero-byte file). False when the file cannot be created.
    bool createPreferences(const QString& fileName);
    // Writes the document if it was created or modified; then discards it.
    // Returns false only when a due write failed (the old file then stays
    // byte for byte; errorString says why).
    bool closePreferences();
    // Why the last createPreferences or due write failed: the system's text.
    QString errorString() const { return lastError; }

    bool selectGroup(const QString& name);
    QString readString(const QString& key, const QString& defaultValue);
    int readInteger(const QString& key, int defaultValue);
    bool examineKeys();
    bool nextKey();
    QString keyName() const;
    QString keyValue() const;
    void writeComment(const QString& text);
    void writeString(const QString& key, const QString& value);
    void writeInteger(const QString& key, int value);

private:
    struct Document;
    std::unique_ptr<Document> doc;
    QString lastError;
    // The entry of key in the selected group (cursor moved there), or -1.
    int findKeyForRead(const QString& key);
};

// atoi over UTF-8 text: leading blanks, optional sign, digits to the first
// other character; no number gives 0. Wraps modulo 2^32 like the platform.
int readAtoi(const QString& text);
