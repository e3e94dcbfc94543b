#pragma once
#include <QDateTime>
#include <QFont>
#include <QString>
#include <QStringList>

class QLineEdit;
class QTreeView;

// Making texts fit the controls they are shown in. UI thread only.

// The pixels a line edit has for its text without scrolling: its contents
// less the text margins, the edit's inner margins and the cursor.
int lineEditTextRoom(const QLineEdit* edit);

// font at the largest pixel size from its own down to minPixels at which
// text is no wider than room; minPixels when none is.
QFont fittedFont(QFont font, const QString& text, int room, int minPixels = 7);

// Shows text in a read-only field, in the field's layout font made smaller
// as far as needed for the text to fit.
void setFittingText(QLineEdit* edit, const QString& text);

// A file size as the German interface writes it: "27 Byte", "1,21 KiB".
QString fileSizeText(qint64 bytes);
// The widest size fileSizeText gives, for sizing size columns.
QStringList widestFileSizeTexts();
// A modification time as the lists show it: "09.12.26 14:06".
QString fileTimeText(const QDateTime& time);

// The width a view's column needs to show its header and each of texts
// whole, in the view's font: the widest text plus the cell and header
// paddings of the view's style.
int columnWidthFor(const QTreeView* view, int column, const QStringList& texts);

// The width a view's columns can fill without reaching past its right edge:
// the viewport less the vertical scroll bar that rows rows bring.
int columnRoom(const QTreeView* view, int rows);
