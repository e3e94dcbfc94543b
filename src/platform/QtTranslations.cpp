#include "platform/QtTranslations.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTranslator>

QString qtTranslationsFolder() { return QLibraryInfo::path(QLibraryInfo::TranslationsPath); }

QString installGermanQtTexts() {
    // Owned by the application, so it lives as long as the texts are used.
    auto* translator = new QTranslator(QCoreApplication::instance());
    const QString folder = qtTranslationsFolder();
    if (!translator->load(QStringLiteral("qtbase_de"), folder)) {
        delete translator;
        return QStringLiteral("Qt-Texte bleiben englisch: ") + folder + QStringLiteral("/qtbase_de.qm") +
               (QFileInfo::exists(folder + QStringLiteral("/qtbase_de.qm")) ? QStringLiteral(" ist nicht lesbar")
                                                                            : QStringLiteral(" fehlt"));
    }
    if (!QCoreApplication::installTranslator(translator)) {
        delete translator;
        return QStringLiteral("Qt-Texte bleiben englisch: die Übersetzung wurde nicht angenommen");
    }
    return QString();
}
