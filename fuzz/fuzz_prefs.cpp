// libFuzzer target: the preference-file reader (settings, list files and the
// trash index are all hand-editable). Every input is read as a file; the keys
// of the unnamed group must all be found again by name, and written into a
// new document and read back they must come back as the writer was given them.
#include <QDir>
#include <QFile>
#include <QString>
#include <QVector>

#include <cstdlib>
#include <unistd.h>

#include "base/PreferenceFile.h"

namespace {

struct Key {
    QString name, value;
};

QString folded(const QString& s) {
    QString f = s;
    for (QChar& c : f)
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) c = QChar(c.unicode() + 32);
    return f;
}

QVector<Key> enumerate(PreferenceFile& f) {
    QVector<Key> keys;
    if (!f.examineKeys()) return keys;
    while (f.nextKey()) keys.append(Key{f.keyName(), f.keyValue()});
    return keys;
}

// What writing keys in order into an empty group leaves: one key per folded
// name, at its first place, with the name and value of its last write.
QVector<Key> afterWrites(const QVector<Key>& writes) {
    QVector<Key> out;
    for (const Key& w : writes) {
        bool replaced = false;
        for (Key& o : out) {
            if (folded(o.name) == folded(w.name)) {
                o = w;
                replaced = true;
                break;
            }
        }
        if (!replaced) out.append(w);
    }
    return out;
}

bool same(const QVector<Key>& a, const QVector<Key>& b) {
    if (a.size() != b.size()) return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (a[i].name != b[i].name || a[i].value != b[i].value) return false;
    return true;
}

const QString& folder() {
    static const QString dir = [] {
        QString d = QDir::tempPath() + QStringLiteral("/fuzz_prefs_") + QString::number(::getpid());
        QDir().mkpath(d);
        return d;
    }();
    return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString in = folder() + QStringLiteral("/in.ini");
    const QString out = folder() + QStringLiteral("/out.ini");
    {
        QFile f(in);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }

    PreferenceFile p;
    if (!p.openPreferences(in)) std::abort();
    const QVector<Key> keys = enumerate(p);
    const QString missing = QStringLiteral("\n");  // no value can hold a line break
    for (const Key& k : keys) {
        if (p.readString(k.name, missing) == missing) std::abort();  // a key that enumerates is found
        (void)p.readInteger(k.name, 0);
    }
    for (const char* g : {"Kalvo", "Pfade", "Lieder", "Generell", "KeyKonfig"}) {
        if (p.selectGroup(QString::fromLatin1(g))) (void)enumerate(p);
    }
    p.closePreferences();

    // Written back, once into the unnamed group and once into a named one.
    PreferenceFile w;
    if (!w.createPreferences(out)) return 0;
    for (const Key& k : keys) w.writeString(k.name, k.value);
    w.selectGroup(QStringLiteral("G"));
    for (const Key& k : keys) w.writeString(k.name, k.value);
    if (!w.closePreferences()) return 0;

    const QVector<Key> expected = afterWrites(keys);
    PreferenceFile r;
    if (!r.openPreferences(out)) std::abort();
    if (!same(enumerate(r), expected)) std::abort();
    if (!keys.isEmpty() && !r.selectGroup(QStringLiteral("G"))) std::abort();
    if (!keys.isEmpty() && !same(enumerate(r), expected)) std::abort();
    r.closePreferences();
    return 0;
}
