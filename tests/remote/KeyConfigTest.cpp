#include <gtest/gtest.h>

#include "remote/KeyConfig.h"
#include "fakes/Fakes.h"

namespace {
const QString kInUse = QStringLiteral("Taste wird schon verwendet!");
const QString kNothing = QStringLiteral("Nichts in Liste ausgewählt!");

QStringList keys(const KeyConfig& c) {
    QStringList out;
    for (const KeyConfig::Row& r : c.Rows()) out << r.key;
    return out;
}
}  // namespace

TEST(KeyConfig, NewBindingsAndTheirRefusals) {
    TestKalvo t;
    KeyConfig c(*t.k);
    c.Open();
    // "Neu" before any key: key code 0, no function.
    EXPECT_EQ(c.Neu(0, 0), 1);
    ASSERT_EQ(c.Rows().size(), 1);
    EXPECT_EQ(c.Rows()[0].key, "Key0");
    EXPECT_EQ(c.Rows()[0].hk, "0");
    EXPECT_EQ(c.Rows()[0].function, "");
    EXPECT_EQ(c.Neu(0, 0), -1);
    EXPECT_EQ(t.messages.shown.last().text, kInUse);

    // Any key is captured, Shift and Esc too; F10 and ALT combinations not.
    EXPECT_TRUE(c.KeyDown(16, false));
    EXPECT_TRUE(c.KeyDown(27, false));
    EXPECT_FALSE(c.KeyDown(121, false));
    EXPECT_FALSE(c.KeyDown(88, true));
    EXPECT_EQ(t.messages.shown.last().text,
              "F10 kann nicht verwendet werden, da diese Taste vom System verwendet wird...");
    EXPECT_EQ(c.capturedKey, 27);
    EXPECT_EQ(c.capturedKeyName(), "Esc");
    EXPECT_EQ(c.Neu(ModCtrl | ModShift, FnStopLeaveBlackscreen), 2);
    EXPECT_EQ(c.Rows()[1].hk, "6");
    EXPECT_EQ(c.Rows()[1].function, "Stopp / Blackscreen verlassen");

    // Selecting a row captures its key: "Neu" then refuses.
    const KeyConfig::Selection s = c.Select(2);
    EXPECT_TRUE(s.found);
    EXPECT_EQ(s.modifiers, 6);
    EXPECT_EQ(s.function, 6);
    EXPECT_EQ(c.capturedKey, 27);
    EXPECT_EQ(c.Neu(0, 1), -1);
    EXPECT_FALSE(c.Select(9).found);
    EXPECT_EQ(c.capturedKey, 27);

    // Ids are reused: after deleting id 1 the next new binding gets it.
    EXPECT_EQ(c.Loeschen(1), 0);
    c.KeyDown(34, false);
    EXPECT_EQ(c.Neu(0, FnNextSong), 1);
    EXPECT_EQ(keys(c), (QStringList{"Esc", "PgDown"}));
    EXPECT_EQ(t.k->bindings.KeyBindingList[1].hotkeyId, 1);

    // Closing registers the hotkey binding; none were held while open.
    EXPECT_TRUE(t.desktop.registered.isEmpty());
    c.Close();
    EXPECT_EQ(t.desktop.registered, QVector<int>{2});
}

TEST(KeyConfig, ChangeDeleteAndMove) {
    TestKalvo t;
    KeyBindings& b = t.k->bindings;
    b.KeyBindingList = {{1, 33, 0, 2}, {2, 34, 0, 1}, {3, 78, 3, 6}};
    b.RegisterHotkeys();
    KeyConfig c(*t.k);
    c.Open();
    EXPECT_TRUE(t.desktop.registered.isEmpty());  // given back while open

    const int before = t.messages.shown.size();
    EXPECT_EQ(c.Aendern(0, 0, 1), -1);
    EXPECT_EQ(c.Loeschen(0), -1);
    EXPECT_EQ(c.Hoch(0), -1);
    EXPECT_EQ(c.Runter(0), -1);
    ASSERT_EQ(t.messages.shown.size(), before + 4);
    for (int i = before; i < before + 4; ++i) EXPECT_EQ(t.messages.shown[i].text, kNothing);

    // A key no binding uses moves the selected binding; its id stays.
    c.Select(2);
    c.KeyDown(116, false);
    EXPECT_EQ(c.Aendern(2, ModAlt, FnJumpForward), 2);
    EXPECT_EQ(b.KeyBindingList[1].keyCode, 116);
    EXPECT_EQ(b.KeyBindingList[1].modifiers, 1);
    EXPECT_EQ(b.KeyBindingList[1].function, 3);
    // Its own key again is fine; another binding's key is refused.
    EXPECT_EQ(c.Aendern(2, 0, FnJumpForward), 2);
    c.KeyDown(33, false);
    EXPECT_EQ(c.Aendern(2, 0, FnNextSong), -1);
    EXPECT_EQ(t.messages.shown.last().text, kInUse);
    EXPECT_EQ(b.KeyBindingList[1].keyCode, 116);

    // First up and last down change nothing and keep the selection.
    EXPECT_EQ(c.Hoch(1), 1);
    EXPECT_EQ(c.Runter(3), 3);
    EXPECT_EQ(keys(c), (QStringList{"PgUp", "F5", "N"}));
    EXPECT_EQ(c.Runter(1), 1);
    EXPECT_EQ(keys(c), (QStringList{"F5", "PgUp", "N"}));
    EXPECT_EQ(c.Hoch(3), 3);
    EXPECT_EQ(keys(c), (QStringList{"F5", "N", "PgUp"}));

    // Deleting the hotkey binding: after closing its grab is not taken again.
    EXPECT_EQ(c.Loeschen(3), 0);
    c.Close();
    EXPECT_TRUE(t.desktop.registered.isEmpty());
}

// The window points to the command-line actions only where the session
// has been found to offer no system-wide keys at all.
TEST(KeyConfig, TheNoticeOfMissingSystemKeysAppearsOnlyWhereThereAreNone) {
    for (const bool shortcuts : {false, true})
        for (const bool x11 : {false, true}) {
            TestKalvo t;
            t.desktop.shortcutsOffered = shortcuts;
            t.desktop.hotkeys = x11;
            KeyConfig c(*t.k);
            EXPECT_TRUE(c.SystemKeysNotice().isEmpty());  // not known before the first registration
            t.k->bindings.RegisterHotkeys();
            const QString notice = c.SystemKeysNotice();
            EXPECT_EQ(notice.isEmpty(), shortcuts || x11) << shortcuts << x11;
            if (!notice.isEmpty()) EXPECT_TRUE(notice.contains("kalvo2 --next")) << notice.toStdString();
        }
}
