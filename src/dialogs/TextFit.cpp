#include "dialogs/TextFit.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QLineEdit>
#include <QLocale>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTreeView>
#include <cmath>

#include "dialogs/LayoutAnchors.h"

namespace {
// The room a line edit keeps on either side of its text inside its contents.
constexpr int kLineEditInnerMargin = 2;
constexpr int kCursorWidth = 1;
}  // namespace

int lineEditTextRoom(const QLineEdit* edit) {
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.rect = edit->rect();
    option.lineWidth = edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit) : 0;
    option.midLineWidth = 0;
    option.state |= QStyle::State_Sunken;
    if (edit->isReadOnly()) option.state |= QStyle::State_ReadOnly;
    option.features = QStyleOptionFrame::None;
    const QRect contents = edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit);
    const QMargins m = edit->textMargins();
    return contents.width() - m.left() - m.right() - 2 * kLineEditInnerMargin - kCursorWidth;
}

QFont fittedFont(QFont font, const QString& text, int room, int minPixels) {
    int px = font.pixelSize() > 0 ? font.pixelSize() : QFontMetrics(font).height();
    for (; px > minPixels; --px) {
        font.setPixelSize(px);
        if (QFontMetrics(font).horizontalAdvance(text) <= room) return font;
    }
    font.setPixelSize(minPixels);
    return font;
}

void setFittingText(QLineEdit* edit, const QString& text) {
    const QFont fitted = fittedFont(layoutFont(), text, lineEditTextRoom(edit));
    if (edit->font() != fitted) edit->setFont(fitted);
    edit->setText(text);
    edit->setCursorPosition(0);
}

QString fileSizeText(qint64 bytes) { return QLocale(QLocale::German, QLocale::Germany).formattedDataSize(bytes); }

QStringList widestFileSizeTexts() {
    // Each unit's longest number: 1023 of it, with two decimals above bytes.
    return {fileSizeText(1023), fileSizeText(1024 * 1024 - 6), fileSizeText(1024LL * 1024 * 1024 - 6 * 1024),
            fileSizeText(1024LL * 1024 * 1024 * 1024 - 6 * 1024 * 1024)};
}

QString fileTimeText(const QDateTime& time) { return time.toString(QStringLiteral("dd.MM.yy hh:mm")); }

int columnWidthFor(const QTreeView* view, int column, const QStringList& texts) {
    const QFontMetricsF cells(view->font());
    // A cell pads its text by the focus frame margin and one pixel on both
    // sides; one more for a grid line or rounding.
    const int cellPadding = 2 * (view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1) + 1;
    int width = 0;
    for (const QString& t : texts) width = std::max(width, int(std::ceil(cells.horizontalAdvance(t))) + cellPadding);
    // The header's own size hint holds its margins and, where the column is
    // sorted, the arrow.
    const QHeaderView* header = view->header();
    return header ? std::max(width, header->sectionSizeHint(column)) : width;
}

int columnRoom(const QTreeView* view, int rows) {
    const QSize most = view->maximumViewportSize();
    const int bar = view->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, view);
    const int rowHeight = rows > 0 && view->model() && view->model()->rowCount(view->rootIndex()) > 0
                              ? static_cast<const QAbstractItemView*>(view)->sizeHintForRow(0)
                              : QFontMetrics(view->font()).height();
    // Columns further right bring the horizontal bar, which takes height.
    const int height = most.height() - (view->header() ? view->header()->sizeHint().height() : 0) - bar;
    return most.width() - (qint64(rows) * rowHeight > height ? bar : 0);
}
