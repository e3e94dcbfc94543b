// Writing a preference file: creating a document, writing comments and keys
// into it, and saving it whole.
#include "base/PreferenceDocument.h"


namespace {

// The value of a plain decimal name (digits only, no leading zero, at most
// 18 digits), or -1.
int64_t plainDecimal(const QString& key) {
    const qsizetype n = key.size();
    if (n < 1 || n > 18) return -1;
    const QChar* p = key.constData();
    if (n > 1 && p[0] == QLatin1Char('0')) return -1;
    int64_t v = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = p[i].unicode();
        if (c < u'0' || c > u'9') return -1;
        v = v * 10 + (c - u'0');
    }
    return v;
}

}  // namespace

QByteArray PreferenceFile::Document::serialize() const {
    qsizetype total = 5;
    for (int e = head; e >= 0; e = entries[size_t(e)].next)
        total += entries[size_t(e)].name.len + entries[size_t(e)].value.len + 6;
    QByteArray out(total, Qt::Uninitialized);
    char* p = out.data();
    auto put = [&p](const char* s, qsizetype n) {
        std::memcpy(p, s, size_t(n));
        p += n;
    };
    put("\xEF\xBB\xBF\r\n", 5);
    for (int e = head; e >= 0; e = entries[size_t(e)].next) {
        const Entry& en = entries[size_t(e)];
        switch (en.kind) {
        case Kind::Header:
            *p++ = '[';
            put(ptr(en.name), en.name.len);
            *p++ = ']';
            break;
        case Kind::Comment:
            put("; ", 2);
            put(ptr(en.name), en.name.len);
            break;
        case Kind::Key:
            put(ptr(en.name), en.name.len);
            put(" = ", 3);
            put(ptr(en.value), en.value.len);
            break;
        }
        put("\r\n", 2);
    }
    out.truncate(p - out.constData());
    return out;
}

bool PreferenceFile::createPreferences(const QString& fileName) {
    closePreferences();
    auto save = std::make_unique<AtomicFile>(fileName);
    if (!save->open()) {
        lastError = save->errorString();
        return false;
    }
    doc = std::make_unique<Document>();
    doc->fileName = fileName;
    doc->created = true;
    doc->saveFile = std::move(save);
    return true;
}

bool PreferenceFile::closePreferences() {
    if (!doc) return true;
    std::unique_ptr<Document> d = std::move(doc);
    bool ok = true;
    if (d->created) {
        // Created documents are written even without writes: a zero-byte file.
        ok = d->saveFile->commit(d->modified ? d->serialize() : QByteArray());
        if (!ok) lastError = d->saveFile->errorString();
    } else if (d->modified && !d->readOnly) {
        ok = writeFileAtomically(d->fileName, d->serialize(), &lastError);
    }
    return ok;
}

void PreferenceFile::writeComment(const QString& text) {
    if (!doc) return;
    doc->materializePending();
    const int c = doc->cursor;
    const int group = c < 0 ? 0 : doc->entries[size_t(c)].group;
    const Document::Span t = doc->store(QStringView(text));
    doc->cursor = doc->insertAfter(c, group, Document::Kind::Comment, t, Document::Span{}, nullptr);
    doc->modified = true;
}

void PreferenceFile::writeString(const QString& key, const QString& value) {
    if (!doc) return;
    Document& d = *doc;
    d.materializePending();
    const int g = d.selected;
    // The numbered run (see Document::runGroup): a plain decimal name above
    // the run's last, or the first key of a group without keys, cannot be in
    // the group yet, so it is appended without an index look-up.
    if (const int64_t number = plainDecimal(key); number >= 0) {
        const bool extendsRun = d.runGroup == g && uint64_t(number) > d.runLast;
        const bool startsRun = d.runGroup != g && d.groups[size_t(g)].last == d.groups[size_t(g)].header;
        if (extendsRun || startsRun) {
            if (startsRun) {
                if (d.runGroup >= 0) d.flushRun();
                d.runGroup = g;
                d.runFrom = int(d.entries.size());
            }
            d.runLast = uint64_t(number);
            const Document::Span ns{qsizetype(d.arena.size()), key.size()};
            d.arena.resize(d.arena.size() + size_t(key.size()));
            char* out = d.arena.data() + ns.off;
            for (qsizetype i = 0; i < key.size(); ++i) out[i] = char(key.constData()[i].unicode());
            const Document::Span vs = d.store(QStringView(value));
            d.cursor = d.insertAfter(d.groups[size_t(g)].last, g, Document::Kind::Key, ns, vs, nullptr, true);
            d.modified = true;
            return;
        }
    }
    const Document::Span ns = d.store(QStringView(key));
    const Document::Span vs = d.store(QStringView(value));
    NameIndex::Probe where;
    const int e = d.findKey(g, d.ptr(ns), ns.len, &where);
    if (e >= 0) {
        // In place; the stored name takes the case given (same folded name).
        d.entries[size_t(e)].name = ns;
        d.entries[size_t(e)].value = vs;
        d.cursor = e;
    } else {
        d.cursor = d.insertAfter(d.groups[size_t(g)].last, g, Document::Kind::Key, ns, vs, &where);
    }
    d.modified = true;
}

void PreferenceFile::writeInteger(const QString& key, int value) {
    writeString(key, QString::number(value));
}
