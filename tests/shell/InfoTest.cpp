#include <gtest/gtest.h>

#include <QtEndian>

#include "fakes/Fakes.h"
#include "remote/KeyNames.h"
#include "shell/Info.h"

namespace {

class FakeInfoView : public InfoView {
public:
    bool canOpen = true;
    QStringList calls;
    QString title, text;
    bool createWindow() override { calls << "open"; return canOpen; }
    void setTitle(const QString& t) override { calls << "title"; title = t; }
    void setText(const QString& t) override { calls << "text"; text = t; }
    void runLoop() override { calls << "run"; }
    void closeWindow() override { calls << "close"; }
};

QStringList shownTexts(const TestKalvo& t) {
    QStringList texts;
    for (const auto& m : t.messages.shown) texts << m.text;
    return texts;
}

}  // namespace

TEST(Info, TheBuiltInTextIsCompressedGermanAndShownEveryTimeTheWindowOpens) {
    const QByteArray packed = packedInfoText();
    ASSERT_FALSE(packed.isEmpty()) << "the resource is missing or not zlib-compressed";
    const quint32 declared = qFromBigEndian<quint32>(packed.constData());
    EXPECT_LT(packed.size(), qsizetype(declared) * 2 / 3);  // really compressed

    TestKalvo t;
    FakeInfoView first, second;
    Info(*t.k, first, packed);
    Info(*t.k, second, packed);
    EXPECT_TRUE(t.messages.shown.isEmpty());
    EXPECT_EQ(first.calls, (QStringList{"open", "title", "text", "run", "close"}));
    EXPECT_EQ(first.title, " Kalvo2 0.992");
    EXPECT_EQ(first.text.toUtf8().size(), qsizetype(declared));
    EXPECT_EQ(first.text, second.text);
    EXPECT_TRUE(first.text.startsWith("Kalvo2 0.992 für Linux\n====="));
    for (const char* part : {"Presenter", "Tasten Konfig.", "~/.local/share/Kalvo2/", "KALVO2_AUDIO_SINK",
                             "Wayland", "Beenden", "Versionsgeschichte", "Kalvo-Kübel"})
        EXPECT_TRUE(first.text.contains(QString::fromUtf8(part))) << part;
}

TEST(Info, EachFailureHasItsMessageAndTheWindowStillOpensEmpty) {
    QByteArray good = packedInfoText();
    ASSERT_GT(good.size(), 40);

    QByteArray damaged = good;
    for (qsizetype i = 10; i < damaged.size(); i += 7) damaged[i] = char(damaged[i] ^ 0x5A);
    QByteArray cut = good.left(good.size() / 2);
    QByteArray wrongSize = good;
    qToBigEndian<quint32>(qFromBigEndian<quint32>(good.constData()) + 1, wrongSize.data());
    QByteArray notUtf8 = qCompress(QByteArray("Kalvo2 \xFF\xFE Info"));
    QByteArray huge = good;
    qToBigEndian<quint32>(InfoTextMaxBytes + 1, huge.data());

    for (const QByteArray& bad : {damaged, cut, wrongSize, notUtf8, QByteArray("JC"), QByteArray()}) {
        TestKalvo t;
        FakeInfoView view;
        Info(*t.k, view, bad);
        EXPECT_EQ(shownTexts(t), QStringList{"Fehler in _Info() beim Entpacken der Infodaten!"});
        EXPECT_EQ(view.calls, (QStringList{"open", "title", "run", "close"}));
        EXPECT_EQ(view.title, " Kalvo2 0.992");
        EXPECT_TRUE(view.text.isEmpty());
    }

    TestKalvo t;
    FakeInfoView view;
    Info(*t.k, view, huge);
    EXPECT_EQ(shownTexts(t), QStringList{"Fehler in _Info(): Konnte Speicher nicht anfordern!"});
    EXPECT_EQ(view.calls, (QStringList{"open", "title", "run", "close"}));

    TestKalvo t2;
    FakeInfoView closed;
    closed.canOpen = false;
    Info(*t2.k, closed, good);
    EXPECT_EQ(shownTexts(t2), QStringList{"Fehler in _Info(): Konnte Fenster Window_FormInfo() nicht öffnen!"});
    EXPECT_EQ(closed.calls, QStringList{"open"});
}

// The text counts the functions a key can be bound to and names each one as
// the key window lists them, so it must change with that list.
TEST(Info, TheTextCountsTheKeyFunctionsTheKeyWindowOffers) {
    QString text;
    ASSERT_EQ(unpackInfoText(packedInfoText(), text), InfoUnpack::Ok);
    const QStringList words{"Null", "Eine", "Zwei", "Drei", "Vier", "Fünf", "Sechs",
                            "Sieben", "Acht", "Neun", "Zehn", "Elf", "Zwölf"};
    const int count = int(KeyFunctionNames().size());
    ASSERT_LT(count, words.size());
    EXPECT_TRUE(text.contains(words[count] + QStringLiteral(" Funktionen stehen"))) << count;
    EXPECT_TRUE(text.contains(QStringLiteral("Löschen rückgängig")));
}
