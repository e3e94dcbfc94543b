#include "dialogs/ListFileDialogs.h"

#include <QFileDialog>

// "Name|*.ext;*.other" becomes "Name (*.ext *.other)"; a filter without "|"
// is handed on as it is.
QString qtFileFilter(const QString& filter) {
    const qsizetype bar = filter.indexOf(QLatin1Char('|'));
    if (bar < 0) return filter;
    QString patterns = filter.mid(bar + 1);
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    return filter.left(bar) + QStringLiteral(" (") + patterns + QLatin1Char(')');
}

QString ListFileDialogs::saveFile(const QString& title, const QString& proposed, const QString& filter) {
    return QFileDialog::getSaveFileName(owner, title, proposed, qtFileFilter(filter));
}

QString ListFileDialogs::openFile(const QString& title, const QString& proposed, const QString& filter) {
    return QFileDialog::getOpenFileName(owner, title, proposed, qtFileFilter(filter));
}
