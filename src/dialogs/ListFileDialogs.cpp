#include "dialogs/ListFileDialogs.h"

#include <QFileDialog>

#include "dialogs/ScreenFit.h"

// "Name|*.ext;*.other" becomes "Name (*.ext *.other)"; a filter without "|"
// is handed on as it is.
QString qtFileFilter(const QString& filter) {
    const qsizetype bar = filter.indexOf(QLatin1Char('|'));
    if (bar < 0) return filter;
    QString patterns = filter.mid(bar + 1);
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    return filter.left(bar) + QStringLiteral(" (") + patterns + QLatin1Char(')');
}

namespace {
// Qt's file dialog, kept whole on the screen; the chosen file or empty.
QString runFileDialog(QWidget* owner, const QString& title, const QString& proposed, const QString& filter,
                      bool save) {
    QFileDialog dialog(owner, title, proposed, qtFileFilter(filter));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    keepWholeOnScreen(&dialog);
    if (dialog.exec() != QDialog::Accepted) return QString();
    return dialog.selectedFiles().value(0);
}
}  // namespace

QString ListFileDialogs::saveFile(const QString& title, const QString& proposed, const QString& filter) {
    return runFileDialog(owner, title, proposed, filter, true);
}

QString ListFileDialogs::openFile(const QString& title, const QString& proposed, const QString& filter) {
    return runFileDialog(owner, title, proposed, filter, false);
}
