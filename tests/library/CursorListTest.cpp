#include <gtest/gtest.h>

#include "library/SongList.h"

namespace {

PathList threePaths() {
    PathList l;
    l.append(QStringLiteral("a/"));
    l.append(QStringLiteral("b/"));
    l.append(QStringLiteral("c/"));
    return l;
}

TEST(CursorList, EmptyListHasNoCurrentEntry) {
    PathList l;
    EXPECT_EQ(l.first(), nullptr);
    EXPECT_EQ(l.index(), -1);
    EXPECT_EQ(l.next(), nullptr);
    EXPECT_EQ(l.previous(), nullptr);
    EXPECT_EQ(l.select(0), nullptr);
    EXPECT_EQ(l.index(), -1);
    EXPECT_EQ(l.current(), nullptr);
}

TEST(CursorList, NextStopsOnTheLastAndStartsFromBeforeTheFirst) {
    PathList l = threePaths();
    EXPECT_EQ(l.index(), -1);
    ASSERT_NE(l.next(), nullptr);  // before the first: moves to the first
    EXPECT_EQ(*l.current(), QStringLiteral("a/"));
    l.next();
    EXPECT_EQ(*l.next(), QStringLiteral("c/"));
    EXPECT_EQ(l.next(), nullptr);
    EXPECT_EQ(l.index(), 2);  // stays on the last
    EXPECT_EQ(*l.current(), QStringLiteral("c/"));
}

TEST(CursorList, PreviousStopsOnTheFirst) {
    PathList l = threePaths();
    l.select(1);
    EXPECT_EQ(*l.previous(), QStringLiteral("a/"));
    EXPECT_EQ(l.previous(), nullptr);
    EXPECT_EQ(l.index(), 0);
    l.reset();
    EXPECT_EQ(l.previous(), nullptr);
    EXPECT_EQ(l.index(), -1);
}

TEST(CursorList, SelectOutsideTheListPutsTheCursorBeforeTheFirst) {
    PathList l = threePaths();
    EXPECT_EQ(*l.select(2), QStringLiteral("c/"));
    EXPECT_EQ(l.select(3), nullptr);
    EXPECT_EQ(l.index(), -1);
    l.select(1);
    EXPECT_EQ(l.select(-1), nullptr);
    EXPECT_EQ(l.index(), -1);
    EXPECT_EQ(*l.first(), QStringLiteral("a/"));
    EXPECT_EQ(l.index(), 0);
}

TEST(CursorList, AddInsertsAZeroEntryAfterTheCursor) {
    SongList l;
    SongEntry* e = l.add();  // empty list: at the front
    ASSERT_NE(e, nullptr);
    EXPECT_TRUE(e->filePath.isEmpty());
    EXPECT_EQ(e->randomKey, 0);
    EXPECT_EQ(e->presence, 0);
    e->filePath = QStringLiteral("x");
    l.add()->filePath = QStringLiteral("y");  // after x
    EXPECT_EQ(l.index(), 1);
    l.first();
    l.add()->filePath = QStringLiteral("between");
    l.reset();
    l.add()->filePath = QStringLiteral("front");  // before the first: at the front
    EXPECT_EQ(l.index(), 0);
    QStringList order;
    for (const SongEntry& s : l.raw()) order << s.filePath;
    EXPECT_EQ(order, (QStringList{"front", "x", "between", "y"}));
}

TEST(CursorList, DeleteCurrentMovesBackAndAWalkContinuesWithTheFollower) {
    PathList l = threePaths();
    l.append(QStringLiteral("d/"));
    // Walk that deletes b/ and c/ while walking.
    QStringList seen;
    l.reset();
    while (QString* p = l.next()) {
        seen << *p;
        if (*p == QStringLiteral("b/") || *p == QStringLiteral("c/")) l.deleteCurrent();
    }
    EXPECT_EQ(seen, (QStringList{"a/", "b/", "c/", "d/"}));
    EXPECT_EQ(l.raw(), (QVector<QString>{"a/", "d/"}));

    l.first();
    l.deleteCurrent();  // the first: cursor before the first
    EXPECT_EQ(l.index(), -1);
    EXPECT_EQ(*l.next(), QStringLiteral("d/"));
    l.deleteCurrent();
    EXPECT_EQ(l.size(), 0);
    EXPECT_EQ(l.index(), -1);
    l.deleteCurrent();  // nothing under the cursor: nothing happens
    EXPECT_EQ(l.size(), 0);
}

TEST(CursorList, ClearEmptiesAndResets) {
    PathList l = threePaths();
    l.select(2);
    l.clear();
    EXPECT_EQ(l.size(), 0);
    EXPECT_EQ(l.index(), -1);
    EXPECT_EQ(l.next(), nullptr);
}

}  // namespace
