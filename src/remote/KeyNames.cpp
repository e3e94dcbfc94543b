#include "remote/KeyNames.h"

const QStringList& KeyFunctionNames() {
    static const QStringList names =
        QStringLiteral("nächstes Lied|voriges Lied|vorwärts springen|zurück springen|Lied löschen|"
                       "Stopp / Blackscreen verlassen|Lautstärke +10|Lautstärke -10|Lautstärke +3|Lautstärke -3|"
                       "Löschen rückgängig")
            .split(QLatin1Char('|'));
    return names;
}

QString KeyFunctionName(int function) {
    const QStringList& names = KeyFunctionNames();
    return (function >= 1 && function <= names.size()) ? names[function - 1] : QString();
}

QString KeyCode2Text(int keyCode) {
    switch (keyCode) {
    case 8: return QStringLiteral("Backspace");
    case 9: return QStringLiteral("Tabulator");
    case 13: return QStringLiteral("Enter");
    case 16: return QStringLiteral("Shift");
    case 17: return QStringLiteral("Ctrl");
    case 20: return QStringLiteral("Caps");
    case 27: return QStringLiteral("Esc");
    case 32: return QStringLiteral("Space");
    case 33: return QStringLiteral("PgUp");
    case 34: return QStringLiteral("PgDown");
    case 35: return QStringLiteral("End");
    case 36: return QStringLiteral("Home");
    case 37: return QStringLiteral("CrsLeft");
    case 38: return QStringLiteral("CrsUp");
    case 39: return QStringLiteral("CrsRight");
    case 40: return QStringLiteral("CrsDown");
    case 45: return QStringLiteral("Ins");
    case 46: return QStringLiteral("Del");
    default: break;
    }
    if ((keyCode >= 49 && keyCode <= 57) || (keyCode >= 65 && keyCode <= 90)) return QString(QChar(keyCode));
    if (keyCode >= 96 && keyCode <= 105) return QStringLiteral("Num%1").arg(keyCode - 96);
    if (keyCode >= 112 && keyCode <= 123) return QStringLiteral("F%1").arg(keyCode - 111);
    return QStringLiteral("Key%1").arg(keyCode);
}
