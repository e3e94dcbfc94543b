// Saves a preference file over and over until killed. Every save writes one
// generation: "Gen" in group "Kopf", then Count keys whose values all carry
// the generation, then "Ende" = generation. A complete file therefore has
// equal generations throughout.
#include <QCoreApplication>
#include <QString>

#include "base/PreferenceFile.h"

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    const QString file = QString::fromLocal8Bit(argv[1]);
    const int count = QByteArray(argv[2]).toInt();
    for (int gen = 1;; ++gen) {
        PreferenceFile f;
        if (!f.createPreferences(file)) return 1;
        f.selectGroup(QStringLiteral("Kopf"));
        f.writeInteger(QStringLiteral("Gen"), gen);
        f.selectGroup(QStringLiteral("Daten"));
        for (int i = 0; i < count; ++i)
            f.writeString(QStringLiteral("Schlüssel%1").arg(i), QStringLiteral("%1|Wert mit etwas Text").arg(gen));
        f.writeInteger(QStringLiteral("Ende"), gen);
        if (!f.closePreferences()) return 1;
    }
}
