#include <gtest/gtest.h>

#include "fakes/Fakes.h"

TEST(Skeleton, ContextBuildsOnFakes) {
    TestKalvo t;
    EXPECT_TRUE(t.k->playback.currentSong.isEmpty());
    EXPECT_EQ(AddBackslash(QStringLiteral("/a")), QStringLiteral("/a/"));
    EXPECT_EQ(filePart(QStringLiteral("/a/b.mp3")), QStringLiteral("b.mp3"));
}
