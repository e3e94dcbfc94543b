#include "dialogs/RestoreDialog.h"
#include "dialogs/WindowPlacement.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTreeWidget>

#include "dialogs/LayoutAnchors.h"
#include "dialogs/PassDriver.h"
#include "shell/Kalvo.h"

namespace {

constexpr int RestoreWindowNo = 45;

const char* const kInfoText =
    "Datei(en) hier auswählen und 'Wiederherstellen' drücken. Bei Erfolg verschwinden sie aus dieser "
    "Liste und die Datei ist wieder an ihrem\r\nursprünglichen Ort. Mit 'Fertig' wird der Dialog "
    "geschlossen... Ist 'Datei' leer, ist der ursprüngliche Ort nicht bekannt - kopieren Sie\r\ndiese "
    "Dateien bitte manuell (Kalvo Papierkorb öffnen). Doppelklick spielt die Datei...";

// The largest pixel size, from the layout font's down to 7, at which every
// line fits width x height (less the control's own margins).
void fitFont(QWidget* w, const QStringList& lines, int width, int height, int margin) {
    QFont f = w->font();
    for (int px = f.pixelSize() > 0 ? f.pixelSize() : 11; px >= 7; --px) {
        f.setPixelSize(px);
        const QFontMetrics m(f);
        int widest = 0;
        for (const QString& l : lines) widest = std::max(widest, m.horizontalAdvance(l));
        if (widest + margin <= width && m.lineSpacing() * int(lines.size()) + margin <= height) break;
    }
    w->setFont(f);
}

}  // namespace

RestoreDialog::RestoreDialog(Kalvo& kalvo, QWidget* owner) : QDialog(owner), session(kalvo), k(kalvo) {
    const float s = k.shell.layoutScale;
    auto place = [s](QWidget* w, int x, int y, int width, int height) {
        w->setGeometry(scaled(x, s), scaled(y, s), scaled(width, s), scaled(height, s));
    };
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setWindowNumber(this, RestoreWindowNo);
    setWindowTitle(QStringLiteral("Kalvo2 Dateien wiederherstellen"));
    setFont(layoutFont());
    setFixedSize(scaled(800, s), scaled(400, s));

    const QString infoText = QString::fromUtf8(kInfoText).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    info = new QPlainTextEdit(infoText, this);
    info->setObjectName(QStringLiteral("gadget46"));
    info->setReadOnly(true);
    info->setLineWrapMode(QPlainTextEdit::NoWrap);
    info->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    info->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    info->document()->setDocumentMargin(1);
    info->setContentsMargins(0, 0, 0, 0);
    place(info, 5, 5, 790, 50);
    fitFont(info, infoText.split(QLatin1Char('\n')), info->width(), info->height(), 8);

    list = new QTreeWidget(this);
    list->setObjectName(QStringLiteral("gadget47"));
    list->setColumnCount(2);
    list->setHeaderLabels({QStringLiteral("Datum"), QStringLiteral("Datei")});
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->header()->setStretchLastSection(false);
    list->setColumnWidth(0, scaled(150, s));
    list->setColumnWidth(1, scaled(640, s));
    place(list, 5, 60, 790, 300);

    auto button = [&](const QString& text, int number, int x, int y, int w, int h) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QStringLiteral("gadget%1").arg(number));
        b->setAutoDefault(false);
        place(b, x, y, w, h);
        fitFont(b, {text}, b->width(), b->height(), 8);
        return b;
    };
    stop = button(QStringLiteral("Stopp"), 48, 5, 365, 50, 25);
    back = button(QStringLiteral("<<"), 49, 60, 365, 30, 25);
    forward = button(QStringLiteral(">>"), 50, 95, 365, 30, 25);
    restore = button(QStringLiteral("Wiederherstellen"), 51, 310, 370, 100, 20);
    done_ = button(QStringLiteral("Fertig"), 52, 415, 370, 80, 20);

    maxLabel = new QLabel(QStringLiteral("Behalte max. Dateien:"), this);
    maxLabel->setObjectName(QStringLiteral("gadget53"));
    maxLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    place(maxLabel, 615, 375, 125, 15);
    fitFont(maxLabel, {maxLabel->text()}, maxLabel->width(), maxLabel->height(), 0);

    maxField = new QLineEdit(QStringLiteral("40"), this);
    maxField->setObjectName(QStringLiteral("gadget54"));
    // Nine digits at most: every value the field holds is a valid count.
    maxField->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,9}")), maxField));
    maxField->setMaxLength(9);
    place(maxField, 745, 375, 50, 20);

    connect(stop, &QPushButton::clicked, this, [this] { k.playback.Stoppen(); });
    connect(back, &QPushButton::clicked, this, [this] { k.playback.ZurueckSpringen(); });
    connect(forward, &QPushButton::clicked, this, [this] { k.playback.VorwaertsSpringen(); });
    connect(done_, &QPushButton::clicked, this, [this] { accept(); });
    connect(list, &QTreeWidget::itemDoubleClicked, this, [this] { playSelected(); });
    connect(restore, &QPushButton::clicked, this, [this] { restoreSelected(); });

    maxField->setText(session.trashMaxText());
    fill();

    centreOnOwner(this, owner);
}

void RestoreDialog::fill() {
    list->clear();
    for (const Trash::Row& row : session.rows()) {
        auto* item = new QTreeWidgetItem(list, {row.date, row.origin});
        item->setData(0, Qt::UserRole, row.randomKey);
    }
}

void RestoreDialog::playSelected() {
    if (QTreeWidgetItem* item = list->currentItem()) session.play(item->data(0, Qt::UserRole).toInt());
}

void RestoreDialog::restoreSelected() {
    QList<int32_t> keys;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list->topLevelItem(i);
        if (item->isSelected()) keys << item->data(0, Qt::UserRole).toInt();
    }
    session.restore(keys, [this] { fill(); });
}

void RestoreDialog::done(int result) {
    session.close(maxField->text());
    QDialog::done(result);
}

void runRestoreDialog(Kalvo& k, QWidget* owner) {
    RestoreSession after(k);
    {
        RestoreDialog dialog(k, owner);
        dialog.exec();
    }
    after.finish();
}
