// Qt's own buttons and dialogs speak German whatever the system's language:
// checked in a program of its own started with the C locale, on the real
// message box and the real folder chooser.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTimer>

#include "QtApp.h"
#include "platform/QtMessages.h"
#include "platform/QtTranslations.h"

namespace {

constexpr const char* kChildMark = "KALVO2_TEST_C_LOCALE";

// Runs testName again in a program of its own under the C locale; true when
// it passed there.
bool passesUnderCLocale(const QString& testName, QString* output) {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"LANG", "LC_ALL", "LC_MESSAGES", "LANGUAGE"}) env.insert(QString::fromLatin1(name), "C");
    env.insert(QString::fromLatin1(kChildMark), "1");
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget(),
                {QStringLiteral("--gtest_filter=") + testName});
    const bool finished = child.waitForFinished(120000);
    *output = QString::fromLocal8Bit(child.readAll());
    return finished && child.exitCode() == 0 && output->contains(QStringLiteral("[  PASSED  ] 1 test"));
}

QStringList buttonTexts(const QWidget* w) {
    QStringList out;
    for (const QAbstractButton* b : w->findChildren<QAbstractButton*>())
        if (b->isVisible()) out << b->text();
    return out;
}

}  // namespace

TEST(GermanQtTexts, MessageBoxAndFolderChooserSpeakGermanUnderTheCLocale) {
    if (!qEnvironmentVariableIsSet(kChildMark)) {
        QString out;
        EXPECT_TRUE(passesUnderCLocale(
            QStringLiteral("GermanQtTexts.MessageBoxAndFolderChooserSpeakGermanUnderTheCLocale"), &out))
            << out.toStdString();
        return;
    }
    qtApp();
    ASSERT_EQ(QLocale::system().name(), "C");
    ASSERT_EQ(installGermanQtTexts(), QString()) << qtTranslationsFolder().toStdString();

    // The player's question box, answered "Nein" by its button.
    QtMessages messages;
    QStringList asked;
    QTimer::singleShot(100, [&asked] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        asked = buttonTexts(box);
        box->button(QMessageBox::No)->click();
    });
    EXPECT_FALSE(messages.showMessage(QStringLiteral("Löschen?"), true));
    asked.sort();
    EXPECT_EQ(asked, (QStringList{"&Ja", "&Nein"}));

    // The folder chooser Qt draws itself.
    QFileDialog chooser(nullptr, QStringLiteral("Verzeichnis wählen"), QDir::tempPath());
    chooser.setOption(QFileDialog::DontUseNativeDialog);
    chooser.setFileMode(QFileDialog::Directory);
    chooser.setOption(QFileDialog::ShowDirsOnly);
    chooser.show();
    QApplication::processEvents();
    const QStringList buttons = buttonTexts(chooser.findChild<QDialogButtonBox*>());
    EXPECT_TRUE(buttons.contains("Abbrechen")) << buttons.join('|').toStdString();
    EXPECT_FALSE(buttons.contains("Cancel")) << buttons.join('|').toStdString();
    QStringList labels;
    for (const QLabel* l : chooser.findChildren<QLabel*>()) labels << l->text();
    EXPECT_FALSE(labels.contains("Look in:")) << labels.join('|').toStdString();
    EXPECT_FALSE(labels.contains("Directory:")) << labels.join('|').toStdString();
}
