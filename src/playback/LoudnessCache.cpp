#include "playback/LoudnessCache.h"

#include <QFile>
#include <QDateTime>
#include <QFileInfo>
#include <QList>
#include <cmath>

#include "base/AtomicFile.h"

namespace {

// One song a line: size, modification time (ms since 1970), loudness
// (LUFS), peak (linear), path; tab-separated, the path last so it may hold
// anything but a line end. Every line, the last too, ends with LF.
const QByteArray Head = "Kalvo2 loudness cache 1";

// Silence measures as minus infinity; stored as a number that reads back.
double storable(double v) { return std::isfinite(v) ? std::max(v, -999.0) : -999.0; }

}  // namespace

LoudnessCache::LoudnessCache(QString file, Logger log) : file(std::move(file)), log(std::move(log)) {}

void LoudnessCache::load() {
    entries.clear();
    changed = false;
    QFile f(file);
    if (!f.exists())
        return;
    if (!f.open(QIODevice::ReadOnly)) {
        if (log) log(QStringLiteral("Lautheit: Cache nicht lesbar, wird neu aufgebaut: ") + file);
        changed = true;
        ++version;
        return;
    }
    const QByteArray bytes = f.readAll();
    // Every line ends with a line end: a file cut short ends without one.
    QList<QByteArray> lines = bytes.split('\n');
    int bad = 0;
    QHash<QString, Entry> read;
    if (!bytes.endsWith('\n') || lines.isEmpty() || lines.first() != Head) {
        bad = 1;
    } else {
        lines.removeLast();  // the empty text after the last line end
        for (int i = 1; i < lines.size() && !bad; ++i) {
            const QByteArray& line = lines[i];
            // Four numbers, then the path, which may hold tabs itself.
            QList<QByteArray> field;
            int from = 0;
            for (int t = 0; t < 4; ++t) {
                const int tab = line.indexOf('\t', from);
                if (tab < 0) break;
                field << line.mid(from, tab - from);
                from = tab + 1;
            }
            field << line.mid(from);
            bool ok[4] = {};
            Entry e;
            if (field.size() == 5) {
                e.key.size = field[0].toLongLong(&ok[0]);
                e.key.modifiedMs = field[1].toLongLong(&ok[1]);
                e.value.lufs = field[2].toDouble(&ok[2]);
                e.value.peak = field[3].toDouble(&ok[3]);
            }
            const QString path = field.size() == 5 ? QString::fromUtf8(field[4]) : QString();
            if (!(ok[0] && ok[1] && ok[2] && ok[3]) || path.isEmpty() || e.key.size < 0 ||
                !std::isfinite(e.value.lufs) || !std::isfinite(e.value.peak) || e.value.peak < 0)
                bad = i + 1;
            else
                read.insert(path, e);
        }
    }
    if (bad) {
        if (log)
            log(QStringLiteral("Lautheit: Cache beschädigt (Zeile %1), wird neu aufgebaut: ").arg(bad) + file);
        changed = true;  // the damaged file is replaced at the next save
        ++version;
        return;
    }
    entries = std::move(read);
}

bool LoudnessCache::save() {
    const std::optional<Pending> p = pendingSave();
    if (!p)
        return true;
    if (!write(p->bytes))
        return false;
    saved(p->version);
    return true;
}

std::optional<LoudnessCache::Pending> LoudnessCache::pendingSave() const {
    if (!changed)
        return std::nullopt;
    QByteArray out = Head + '\n';
    for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
        out += QByteArray::number(it->key.size) + '\t' + QByteArray::number(it->key.modifiedMs) + '\t' +
               QByteArray::number(storable(it->value.lufs), 'f', 3) + '\t' +
               QByteArray::number(storable(it->value.peak), 'g', 8) + '\t' + it.key().toUtf8() + '\n';
    }
    return Pending{out, version};
}

bool LoudnessCache::write(const QByteArray& bytes) const {
    QString error;
    if (writeFileAtomically(file, bytes, &error))
        return true;
    if (log) log(QStringLiteral("Lautheit: Cache nicht geschrieben: ") + file + QStringLiteral(" (") + error + ')');
    return false;
}

void LoudnessCache::saved(quint64 savedVersion) {
    if (savedVersion == version)
        changed = false;
}

LoudnessCache::Key LoudnessCache::keyOf(const QString& path) {
    const QFileInfo fi(path);
    Key k;
    if (!fi.exists() || !fi.isFile())
        return k;
    k.size = fi.size();
    k.modifiedMs = fi.lastModified().toMSecsSinceEpoch();
    return k;
}

std::optional<Loudness> LoudnessCache::find(const QString& path, const Key& key) const {
    const auto it = entries.constFind(path);
    if (it == entries.cend() || key.size < 0 || !(it->key == key))
        return std::nullopt;
    return it->value;
}

std::optional<Loudness> LoudnessCache::stored(const QString& path) const {
    const auto it = entries.constFind(path);
    if (it == entries.cend())
        return std::nullopt;
    return it->value;
}

void LoudnessCache::store(const QString& path, const Key& key, const Loudness& value) {
    if (path.contains(QLatin1Char('\n')) || path.contains(QLatin1Char('\r')) || key.size < 0)
        return;  // a line end cannot be stored faithfully: measured again next run
    entries.insert(path, Entry{key, Loudness{storable(value.lufs), storable(value.peak)}});
    changed = true;
    ++version;
}
