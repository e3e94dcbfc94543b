#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <functional>

#include "fakes/Fakes.h"
#include "library/ListEdit.h"

namespace {

// The list edit window on the real disk: the explorer lists the real folder
// ("..", folders, then files), the user's selections are scripted.
class FakeListEditView : public ListEditView {
public:
    bool canOpen = true;
    int opens = 0, closes = 0;
    std::function<void()> user;  // what the user does while the window runs
    QStringList lines;
    QVector<int> selectedLines;
    QString pathText;
    QString shownDirectory, shownPatterns;
    int shows = 0;
    QVector<ExplorerRow> rows;
    QVector<int> marks;
    QStringList chooserAnswers;  // empty entry: cancel
    QStringList chooserStarts;

    bool openWindow() override { ++opens; return canOpen; }
    void runWindow() override { if (user) user(); }
    void closeWindow() override { ++closes; }
    void setPathLines(const QStringList& l) override { lines = l; selectedLines.clear(); }
    QStringList selectedPathLines() const override {
        QStringList out;
        for (int i : selectedLines) out << lines.value(i);
        return out;
    }
    void setExplorerPathText(const QString& t) override { pathText = t; }
    void showExplorer(const QString& d, const QString& p) override {
        ++shows;
        shownDirectory = d;
        shownPatterns = p;
        marks.clear();
        rows = {{QStringLiteral(".."), true, false}};
        const QDir dir(d);
        for (const QString& n : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) rows.push_back({n, true, false});
        for (const QString& n : dir.entryList(QDir::Files, QDir::Name)) rows.push_back({n, false, false});
    }
    QString explorerDirectory() const override { return shownDirectory; }
    QVector<ExplorerRow> explorerRows() const override { return rows; }
    void markExplorerRow(int row) override { marks << row; rows[row].selected = true; }
    QString chooseDirectory(const QString& prompt, const QString& start) override {
        chooserStarts << prompt + QLatin1Char('|') + start;
        return chooserAnswers.isEmpty() ? QString() : chooserAnswers.takeFirst();
    }

    void select(const QStringList& names) {
        for (ExplorerRow& r : rows) r.selected = names.contains(r.name);
    }
    QStringList markedNames() const {
        QStringList out;
        for (int i : marks) out << rows[i].name;
        return out;
    }
};

class ListEditTest : public ::testing::Test {
protected:
    TestKalvo t;
    Kalvo& k = *t.k;
    FakeListEditView view;
    ListEdit edit{k, view};
    QString m = t.path(QStringLiteral("m/"));

    void SetUp() override {
        for (const char* d : {"m/b", "m/A", "m/a", "m/c", "m/Rock/Alt", "m/Alt", "m/Pop", "x/Jazz"})
            QDir().mkpath(t.path(QString::fromUtf8(d)));
        t.makeFile(QStringLiteral("m/song.mp3"));
    }
    QStringList paths() const { return QStringList(k.library.pathList.raw().begin(), k.library.pathList.raw().end()); }
    void showM() {
        k.settings.LetzterPfad = m;
        view.showExplorer(m, QString());
    }
};

}  // namespace

// "<<" appends the selected folders (never "..", never files), drops those
// already present (exact, case-sensitive), and sorts as the path order does;
// adding only what is present changes nothing and does not sort.
TEST_F(ListEditTest, AddingSortsWithoutDuplicatesAndIgnoresDotDotAndFiles) {
    showM();
    view.select({QStringLiteral("b"), QStringLiteral(".."), QStringLiteral("song.mp3"), QStringLiteral("A")});
    edit.VerzeichnisseHinzufuegen();
    EXPECT_EQ(paths(), (QStringList{m + "A/", m + "b/"}));
    EXPECT_EQ(view.lines, paths());

    // A list file's own order stays until something is added.
    k.library.pathList.clear();
    k.library.pathList.append(m + "b/");
    k.library.pathList.append(m + "A/");
    view.select({QStringLiteral("A"), QStringLiteral("..")});
    view.lines.clear();
    edit.VerzeichnisseHinzufuegen();
    EXPECT_EQ(paths(), (QStringList{m + "b/", m + "A/"}));
    EXPECT_TRUE(view.lines.isEmpty());

    // A folder differing only in case is another folder; equal in the
    // folded order, it goes after the one already there.
    view.select({QStringLiteral("a"), QStringLiteral("c")});
    edit.VerzeichnisseHinzufuegen();
    EXPECT_EQ(paths(), (QStringList{m + "A/", m + "a/", m + "b/", m + "c/"}));
    EXPECT_TRUE(t.messages.shown.isEmpty());
}

// Names the list file cannot carry ("|", line breaks, names not UTF-8 that
// come back decoded under another name) are refused with one message; the
// good ones of the same selection are added.
TEST_F(ListEditTest, FoldersTheListCannotCarryAreRefusedWithOneMessage) {
    QDir().mkpath(m + "x|y");
    QDir().mkpath(m + "zeile\numbruch");
    showM();
    view.rows.push_back({QStringLiteral("kaputt\uFFFD"), true, false});  // decoded from bytes not UTF-8
    view.select({QStringLiteral("x|y"), QStringLiteral("zeile\numbruch"), QStringLiteral("kaputt\uFFFD"),
                 QStringLiteral("Pop")});
    edit.VerzeichnisseHinzufuegen();
    EXPECT_EQ(paths(), QStringList{m + "Pop/"});
    ASSERT_EQ(t.messages.shown.size(), 1);
    EXPECT_TRUE(t.messages.shown[0].text.startsWith(QStringLiteral("Nicht hinzugefügt")));
    EXPECT_TRUE(t.messages.shown[0].text.contains(m + "x|y/"));
    EXPECT_TRUE(t.messages.shown[0].text.contains(m + QStringLiteral("kaputt\uFFFD/")));
    EXPECT_EQ(t.logLines().size(), 1);
}

// ">>" removes the selected lines, also folders that no longer exist, and
// shows the list again without a selection; PfadInListe is exact.
TEST_F(ListEditTest, RemovingSelectedLinesAndExactLookup) {
    for (const QString& p : {m + "A/", m + "gone/", m + "b/"}) k.library.pathList.append(p);
    edit.PfadlisteZeigen();
    EXPECT_TRUE(edit.PfadInListe(m + "b/"));
    EXPECT_EQ(k.library.pathList.index(), 2);
    EXPECT_FALSE(edit.PfadInListe(m + "B/"));
    EXPECT_FALSE(edit.PfadInListe(m + "b"));

    view.selectedLines = {0, 1};
    edit.VerzeichnisseEntfernen();
    EXPECT_EQ(paths(), QStringList{m + "b/"});
    EXPECT_EQ(view.lines, QStringList{m + "b/"});
    EXPECT_TRUE(view.selectedPathLines().isEmpty());
}

// A directory list event moves the explorer to the parent of the topmost
// selected line and marks the selected folders that lie directly there:
// not those elsewhere, not those deeper down that share a name with a row.
TEST_F(ListEditTest, ListSelectionMovesTheExplorerAndMarksTheFoldersThatLieThere) {
    for (const QString& p : {m + "Pop/", m + "Rock/", m + "Rock/Alt/", t.path("x/Jazz/")}) k.library.pathList.append(p);
    edit.PfadlisteZeigen();
    view.selectedLines = {0, 1, 2, 3};
    edit.PfadlisteEreignis();
    EXPECT_EQ(view.shownDirectory, m);
    EXPECT_EQ(view.pathText, m);
    EXPECT_EQ(k.settings.LetzterPfad, m);
    EXPECT_EQ(view.markedNames(), (QStringList{"Pop", "Rock"}));
    for (int i : view.marks) EXPECT_TRUE(view.rows[i].selected);

    // Without a selection nothing moves and nothing is marked.
    view.selectedLines.clear();
    const int shows = view.shows;
    edit.PfadlisteEreignis();
    EXPECT_EQ(view.shows, shows);
    EXPECT_EQ(view.marks.size(), 2);

    // A line whose parent has gone shows the nearest folder that exists.
    k.library.pathList.clear();
    k.library.pathList.append(m + "weg/auch/");
    edit.PfadlisteZeigen();
    view.selectedLines = {0};
    edit.PfadlisteEreignis();
    EXPECT_EQ(view.shownDirectory, m);
    EXPECT_TRUE(view.marks.isEmpty());
}

// The explorer path follows the explorer; "..." sets it from the chooser and
// a cancel changes nothing.
TEST_F(ListEditTest, ExplorerPathFollowsTheExplorerAndTheChooser) {
    showM();
    view.shownDirectory = m + "Rock/";
    edit.ExplorerEreignis();
    EXPECT_EQ(k.settings.LetzterPfad, m + "Rock/");
    EXPECT_EQ(view.pathText, m + "Rock/");

    view.chooserAnswers = {QString()};
    edit.ExplorerPfadWaehlen();
    EXPECT_EQ(k.settings.LetzterPfad, m + "Rock/");
    EXPECT_EQ(view.chooserStarts, QStringList{"Anderer Explorer-Pfad wählen:|" + m + "Rock/"});

    view.chooserAnswers = {t.path("x")};
    edit.ExplorerPfadWaehlen();
    EXPECT_EQ(k.settings.LetzterPfad, t.path("x/"));
    EXPECT_EQ(view.shownDirectory, t.path("x/"));
    EXPECT_EQ(view.pathText, t.path("x/"));
    EXPECT_EQ(view.shownPatterns, "*.669;*.it;*.med;*.mod;*.mtm;*.s3m;*.xm;*.mp3;*.mid;*.wav");
}

// The whole window: however it is left, the list is scanned, saved and its
// current song determined; a window that cannot open only says so.
TEST_F(ListEditTest, LeavingTheWindowScansSavesAndDeterminesTheSong) {
    t.makeFile(QStringLiteral("m/Pop/lied.mp3"), 500);
    k.library.listFileName = t.path("Liste.txt");
    k.settings.LetzterPfad = m + "weg/";  // gone: its nearest parent serves
    view.user = [&] {
        EXPECT_EQ(view.shownDirectory, m);
        view.select({QStringLiteral("Pop")});
        edit.VerzeichnisseHinzufuegen();
    };
    edit.ListeBearbeiten();
    EXPECT_EQ(view.closes, 1);
    EXPECT_EQ(t.progress.opens, 1);
    ASSERT_EQ(k.library.songList.size(), 1);
    EXPECT_EQ(k.playback.currentSong, m + "Pop/lied.mp3");
    QFile saved(t.path("Liste.txt"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_TRUE(saved.readAll().contains(("0 = " + m + "Pop/\r\n").toUtf8()));

    // Left without a change: scanned and written again.
    saved.close();
    QFile::remove(t.path("Liste.txt"));
    view.user = nullptr;
    edit.ListeBearbeiten();
    EXPECT_EQ(t.progress.opens, 2);
    EXPECT_TRUE(QFile::exists(t.path("Liste.txt")));

    // Every folder removed: scanned, but the old file keeps its folders.
    const QByteArray before = [&] { QFile f(t.path("Liste.txt")); f.open(QIODevice::ReadOnly); return f.readAll(); }();
    view.user = [&] {
        view.selectedLines = {0};
        edit.VerzeichnisseEntfernen();
    };
    edit.ListeBearbeiten();
    EXPECT_EQ(t.progress.opens, 3);
    QFile after(t.path("Liste.txt"));
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), before);

    view.canOpen = false;
    edit.ListeBearbeiten();
    EXPECT_EQ(t.progress.opens, 3);
    ASSERT_FALSE(t.messages.shown.isEmpty());
    EXPECT_EQ(t.messages.shown.last().text, "Fehler: Konnte WndChldListe-Fenster nicht öffnen!");
}

// Before the first use the explorer starts at home; the helpers of the path
// arithmetic on the edges.
TEST(ListEditPaths, HomeBeforeFirstUseAndPathParts) {
    QTemporaryDir temp;
    EXPECT_EQ(usableExplorerPath(QString(), temp.path()), temp.path() + "/");
    EXPECT_EQ(usableExplorerPath(QStringLiteral("C:\\Musik\\"), temp.path()), temp.path() + "/");
    EXPECT_EQ(usableExplorerPath(temp.path() + "/a/b/", "/nowhere"), temp.path() + "/");
    EXPECT_EQ(parentDirectory(QStringLiteral("/m/Musik/Rock/")), "/m/Musik/");
    EXPECT_EQ(parentDirectory(QStringLiteral("/")), "");
    EXPECT_EQ(lastComponent(QStringLiteral("/m/Musik/Rock/")), "Rock");
}
