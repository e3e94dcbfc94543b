#include "library/SongPattern.h"

#include <QDir>

#include <cstring>

SongPattern::SongPattern(const QString& text) : patternText(text), lowerUtf8(text.toLower().toUtf8()) {}

bool SongPattern::takesUtf8(std::string_view ext) const {
    if (ext.empty()) return false;
    const bool cacheable = ext.size() < sizeof(Verdict::ext);
    if (cacheable) {
        for (int i = 0; i < verdictCount; ++i) {
            const Verdict& v = verdicts[i];
            if (v.len == ext.size() && std::memcmp(v.ext, ext.data(), ext.size()) == 0) return v.taken;
        }
    }
    // ASCII is folded here and looked up in the lower-case pattern bytes;
    // anything else takes Unicode case folding.
    char folded[64];
    bool ascii = ext.size() < sizeof folded;
    for (size_t i = 0; ascii && i < ext.size(); ++i) {
        const unsigned char ch = static_cast<unsigned char>(ext[i]);
        if (ch >= 0x80) ascii = false;
        else folded[i] = (ch >= 'A' && ch <= 'Z') ? char(ch + 32) : char(ch);
    }
    if (!ascii) return takesUnicode(QString::fromUtf8(ext.data(), qsizetype(ext.size())));
    const bool taken = std::string_view(lowerUtf8.constData(), size_t(lowerUtf8.size()))
                           .find(std::string_view(folded, ext.size())) != std::string_view::npos;
    if (cacheable) {
        Verdict& v = verdicts[verdictCount < 8 ? verdictCount++ : 7];
        std::memcpy(v.ext, ext.data(), ext.size());
        v.len = uint8_t(ext.size());
        v.taken = taken;
    }
    return taken;
}

bool SongPattern::takes(QStringView ext) const {
    char bytes[64];
    if (ext.size() < qsizetype(sizeof bytes)) {
        qsizetype i = 0;
        for (; i < ext.size() && ext[i].unicode() < 0x80; ++i) bytes[i] = char(ext[i].unicode());
        if (i == ext.size()) return takesUtf8(std::string_view(bytes, size_t(i)));
    }
    return !ext.isEmpty() && takesUnicode(ext);
}

bool SongPattern::takesUnicode(QStringView ext) const { return patternText.contains(ext, Qt::CaseInsensitive); }

QStringView extensionOf(QStringView path) {
    const QChar separator = QDir::separator();
    for (qsizetype i = path.size() - 1; i >= 0; --i) {
        if (path[i] == u'.') return path.mid(i + 1);
        if (path[i] == separator) break;
    }
    return {};
}
