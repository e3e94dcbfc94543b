// The request lines of "kalvo2 --next" and its kin: what the socket takes
// and what it refuses, since any program of the user may write to it.
#include <gtest/gtest.h>

#include "remote/RemoteAction.h"

TEST(RemoteAction, EveryActionTravelsAsOneLineAndComesBackTheSame) {
    EXPECT_EQ(remoteActions().size(), 14);
    for (const RemoteActionInfo& info : remoteActions()) {
        RemoteRequest r;
        r.action = info.action;
        EXPECT_EQ(parseRemoteRequest(remoteRequestLine(r)).action, info.action) << info.word;
        EXPECT_EQ(remoteActionNamed(QString::fromLatin1(info.word)), info.action);
    }
    // The old second start's request is still a raise.
    EXPECT_EQ(parseRemoteRequest("raise\n").action, RemoteAction::Raise);
    const RemoteRequest withToken = parseRemoteRequest("raise abc-123_x.y:Z\n");
    EXPECT_EQ(withToken.action, RemoteAction::Raise);
    EXPECT_EQ(withToken.activationToken, "abc-123_x.y:Z");
}

TEST(RemoteAction, MalformedOrOversizedLinesAreRefused) {
    for (const QByteArray& line :
         {QByteArray("next"), QByteArray("Next\n"), QByteArray("next \n"), QByteArray("next now\n"),
          QByteArray("raise \n"), QByteArray("raise a b\n"), QByteArray("raise a\tb\n"),
          QByteArray("raise \xC3\xA4\n"), QByteArray("\n"), QByteArray("quit\n"), QByteArray("next\r\n"),
          QByteArray("raise " + QByteArray(kMaxRemoteRequestBytes, 'x') + "\n")})
        EXPECT_EQ(parseRemoteRequest(line).action, RemoteAction::None) << line.toStdString();
    EXPECT_EQ(remoteActionNamed(QStringLiteral("none")), RemoteAction::None);
}
