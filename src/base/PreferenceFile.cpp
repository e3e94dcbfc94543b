// The look-ups of an open preference document: group selection, reads and
// key enumeration. Reading the file is in PreferenceReader.cpp, writing in
// PreferenceWriter.cpp, the document and its indexes in PreferenceDocument.*.
#include "base/PreferenceFile.h"

#include <QStringEncoder>
#include <QVarLengthArray>

#include "base/PreferenceDocument.h"


namespace {

QString trimmedValue(const char* s, qsizetype n) {
    while (n > 0 && isBlank(*s)) { ++s; --n; }
    while (n > 0 && isBlank(s[n - 1])) --n;
    return utf8Text(s, n);
}

// UTF-8 of a name, on the stack for the usual short ones.
struct Utf8Name {
    QVarLengthArray<char, 128> bytes;
    explicit Utf8Name(QStringView text) {
        QStringEncoder utf8(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
        bytes.resize(utf8.requiredSpace(text.size()));
        bytes.resize(utf8.appendToBuffer(bytes.data(), text) - bytes.data());
    }
};

}  // namespace

PreferenceFile::PreferenceFile() = default;
PreferenceFile::~PreferenceFile() = default;

bool PreferenceFile::selectGroup(const QString& name) {
    if (!doc) return false;
    doc->pending = false;
    doc->pendingName.clear();
    if (name.isEmpty()) {
        doc->selected = 0;
        doc->cursor = -1;
        return true;
    }
    const QByteArray n = name.toUtf8();
    const int g = doc->findGroup(n.constData(), n.size());
    if (g < 0) {
        doc->pending = true;
        doc->pendingName = n;
        return false;
    }
    doc->selected = g;
    doc->cursor = doc->groups[size_t(g)].header;
    return true;
}

int PreferenceFile::findKeyForRead(const QString& key) {
    if (!doc || doc->pending) return -1;
    const Utf8Name n(key);
    const int e = doc->findKey(doc->selected, n.bytes.constData(), n.bytes.size());
    if (e >= 0) doc->cursor = e;
    return e;
}

QString PreferenceFile::readString(const QString& key, const QString& defaultValue) {
    const int e = findKeyForRead(key);
    if (e < 0) return defaultValue;
    const Document::Entry& en = doc->entries[size_t(e)];
    return trimmedValue(doc->ptr(en.value), en.value.len);
}

int PreferenceFile::readInteger(const QString& key, int defaultValue) {
    const int e = findKeyForRead(key);
    if (e < 0) return defaultValue;
    const Document::Entry& en = doc->entries[size_t(e)];
    const char* v = doc->ptr(en.value);
    return atoiBytes(v, v + en.value.len);
}

bool PreferenceFile::examineKeys() {
    if (!doc || doc->pending) return false;
    doc->cursor = doc->groups[size_t(doc->selected)].header;
    return true;
}

bool PreferenceFile::nextKey() {
    if (!doc || doc->pending) return false;
    int e = doc->cursor < 0 ? doc->head : doc->entries[size_t(doc->cursor)].next;
    while (e >= 0) {
        const Document::Entry& en = doc->entries[size_t(e)];
        if (en.kind == Document::Kind::Header) return false;
        if (en.kind == Document::Kind::Key) {
            doc->cursor = e;
            return true;
        }
        doc->cursor = e;
        e = en.next;
    }
    return false;
}

QString PreferenceFile::keyName() const {
    if (!doc || doc->cursor < 0) return {};
    const Document::Entry& en = doc->entries[size_t(doc->cursor)];
    if (en.kind != Document::Kind::Key) return {};
    return utf8Text(doc->ptr(en.name), en.name.len);
}

QString PreferenceFile::keyValue() const {
    if (!doc || doc->cursor < 0) return {};
    const Document::Entry& en = doc->entries[size_t(doc->cursor)];
    if (en.kind != Document::Kind::Key) return {};
    return trimmedValue(doc->ptr(en.value), en.value.len);
}

int readAtoi(const QString& text) {
    const QByteArray b = text.toUtf8();
    return atoiBytes(b.constData(), b.constData() + b.size());
}
