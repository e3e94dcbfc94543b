#include "shell/Info.h"

#include <QResource>
#include <QStringDecoder>
#include <QtEndian>

#include "shell/Kalvo.h"

InfoUnpack unpackInfoText(QByteArrayView packed, QString& text) {
    if (packed.size() < 4) return InfoUnpack::Corrupt;
    const quint32 declared = qFromBigEndian<quint32>(packed.data());
    if (declared > InfoTextMaxBytes) return InfoUnpack::NoMemory;
    if (declared == 0) return InfoUnpack::Corrupt;
    const QByteArray raw = qUncompress(reinterpret_cast<const uchar*>(packed.data()), packed.size());
    if (raw.size() != qsizetype(declared)) return InfoUnpack::Corrupt;
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString decoded = utf8(raw);
    if (utf8.hasError()) return InfoUnpack::Corrupt;
    text = std::move(decoded);
    return InfoUnpack::Ok;
}

QByteArray packedInfoText() {
    const QResource resource(QStringLiteral(":/kalvo2/InfoText.txt"));
    if (!resource.isValid() || resource.compressionAlgorithm() != QResource::ZlibCompression) return {};
    return QByteArray(reinterpret_cast<const char*>(resource.data()), resource.size());
}

void Info(Kalvo& k, InfoView& view, QByteArrayView packed) {
    if (!view.createWindow()) {
        k.shell.ShowMessage(QStringLiteral("Fehler in _Info(): Konnte Fenster Window_FormInfo() nicht öffnen!"));
        return;
    }
    view.setTitle(QStringLiteral(" Kalvo2 0.992"));
    QString text;
    switch (unpackInfoText(packed, text)) {
    case InfoUnpack::Ok: view.setText(text); break;
    case InfoUnpack::NoMemory: k.shell.ShowMessage(QStringLiteral("Fehler in _Info(): Konnte Speicher nicht anfordern!")); break;
    case InfoUnpack::Corrupt: k.shell.ShowMessage(QStringLiteral("Fehler in _Info() beim Entpacken der Infodaten!")); break;
    }
    view.runLoop();
    view.closeWindow();
}
