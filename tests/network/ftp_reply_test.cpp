// The FTP reply reader fed raw bytes in chosen cuts, without sockets: line
// ends, continuations, over-long lines, and one time-out per whole reply.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/network/ftp_reply.h"

namespace {

// Hands out the pieces one per receive call; once they are used up every
// call is "nothing came in time".  Records the reply start of each call.
struct Feed {
  std::vector<std::string> pieces;
  size_t next = 0;
  std::vector<int32_t> starts;
  int emptyCalls = 0;

  static int Receive(void* context, char* buffer, int size, int32_t start) {
    Feed* feed = static_cast<Feed*>(context);
    feed->starts.push_back(start);
    if (feed->next >= feed->pieces.size()) {
      feed->emptyCalls++;
      return 0;
    }
    std::string& piece = feed->pieces[feed->next];
    int count = static_cast<int>(piece.size()) < size ? static_cast<int>(piece.size()) : size;
    piece.copy(buffer, count);
    piece.erase(0, count);
    if (piece.empty()) feed->next++;
    return count;
  }
};

class FtpReply : public testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(kx::StartReplyReader(&reader, Feed::Receive, &feed), 1); }
  void TearDown() override { kx::EndReplyReader(&reader); }

  // The lines of one reply as the reader hands them out.
  std::vector<std::string> Reply() {
    std::vector<std::string> lines;
    char line[kx::FtpLineSize];
    kx::BeginReply(&reader);
    while (kx::NextReplyLine(&reader, line)) {
      lines.push_back(line);
      if (!kx::IsContinuation(line)) break;
    }
    return lines;
  }

  Feed feed;
  kx::FtpReplyReader reader;
};

using Lines = std::vector<std::string>;

TEST_F(FtpReply, LineEndsAndCutsAnywhereGiveTheSameReplies) {
  const std::string stream = "220-Welcome\r220-to the\n\n220 server\r\n331 Password\r\n\r\n230-a\r\n230 b\n";
  for (size_t cut = 1; cut <= stream.size(); ++cut) {
    SCOPED_TRACE(cut);
    kx::EndReplyReader(&reader);
    feed = Feed();
    for (size_t i = 0; i < stream.size(); i += cut) feed.pieces.push_back(stream.substr(i, cut));
    ASSERT_EQ(kx::StartReplyReader(&reader, Feed::Receive, &feed), 1);
    EXPECT_EQ(Reply(), (Lines{"220-Welcome", "220-to the", "220 server"}));
    EXPECT_EQ(Reply(), (Lines{"331 Password"}));
    EXPECT_EQ(Reply(), (Lines{"230-a", "230 b"}));
    EXPECT_EQ(Reply(), Lines{});
  }
}

TEST_F(FtpReply, ExpectMatchesAnyLineOfTheReplyAndCopiesIt) {
  feed.pieces = {"150-Opening\r\n150 data connection\r\n", "550 No\r\n", "227 Entering (1,2,3,4,5,6)\r\n",
                 "xyz\r\n"};
  char copy[16];
  EXPECT_EQ(kx::ExpectReply(&reader, "125;150"), 1);
  EXPECT_EQ(kx::ExpectReply(&reader, "125;150"), 0);  // the whole 550 reply is taken
  EXPECT_EQ(kx::ExpectReply(&reader, "227", copy, sizeof copy), 1);
  EXPECT_STREQ(copy, "227 Entering (1");  // cut to the copy's size
  EXPECT_EQ(kx::ExpectReply(&reader, "200"), 0);  // no code at all
  EXPECT_EQ(kx::ExpectReply(&reader, "200"), 0);  // nothing more came
}

TEST_F(FtpReply, OverlongLinesAreCutAndTheirRestDropped) {
  feed.pieces = {"220-" + std::string(3000, 'x') + "\r\n", "220-" + std::string(6000, 'y'), "\r\n220 Ready\r\n",
                 "331 Next\r\n"};
  Lines lines = Reply();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "220-" + std::string(kx::FtpLineSize - 1 - 4, 'x'));
  EXPECT_EQ(lines[1].substr(0, 5), "220-y");
  EXPECT_EQ(lines[2], "220 Ready");
  EXPECT_EQ(Reply(), (Lines{"331 Next"}));
}

TEST_F(FtpReply, MoreLinesThanTheTableAreHandedOutInOrder) {
  std::string many;
  for (int i = 0; i < 300; i++) many += "220-line " + std::to_string(i) + "\r\n";
  feed.pieces = {many + "220 end\r\n331 Next\r\n"};
  Lines lines = Reply();
  ASSERT_EQ(lines.size(), 301u);
  EXPECT_EQ(lines[299], "220-line 299");
  EXPECT_EQ(lines[300], "220 end");
  EXPECT_EQ(Reply(), (Lines{"331 Next"}));
}

TEST_F(FtpReply, AnUnfinishedReplyWaitsOnceInAll) {
  // Continuation lines, then silence: once the receive routine has given
  // nothing the reply ends, without a second wait for its remaining lines.
  feed.pieces = {"226-Transfer\r\n", "226-still going\r\n"};
  EXPECT_EQ(kx::ExpectReply(&reader, "226"), 0);
  EXPECT_EQ(feed.emptyCalls, 1);
  // Every read of the reply was given the same start: one time-out in all.
  ASSERT_EQ(feed.starts.size(), 3u);
  EXPECT_EQ(feed.starts[0], feed.starts[2]);

  // The next reply has a clock of its own and reads again.
  feed.pieces.push_back("200 Okay\r\n");
  EXPECT_EQ(kx::ExpectReply(&reader, "200"), 1);
}

TEST_F(FtpReply, TheLastReplyIsKeptWithItsCodeOrItsCause) {
  feed.pieces = {"530-Not\r\n530 Login incorrect.  \r\n", "hello\r\n"};
  EXPECT_EQ(kx::ExpectReply(&reader, "230"), 0);
  EXPECT_EQ(reader.lastCode, 530);
  EXPECT_STREQ(reader.lastText, "530 Login incorrect.");  // the final line, without its blanks
  EXPECT_EQ(kx::ExpectReply(&reader, "230"), 0);  // a line without a code is no reply
  EXPECT_EQ(reader.lastCode, kx::FtpReplyLost);
  EXPECT_EQ(kx::ExpectReply(&reader, "230"), 0);  // nothing came in time
  EXPECT_EQ(reader.lastCode, kx::FtpReplyTimeout);
  EXPECT_STREQ(reader.lastText, "");
}

// A server that never ends its reply (continuation lines without end, fast
// enough that no time-out comes) fails the reply once it passed 64 KB.
TEST_F(FtpReply, AReplyBeyondTheLimitFailsInsteadOfHoldingTheClient) {
  std::string flut;
  while (flut.size() < 4000) flut += "220-noch eine Zeile\r\n";
  feed.pieces.assign(100, flut);  // 400 KB, then "220 Ready"
  feed.pieces.push_back("220 Ready\r\n");
  EXPECT_EQ(kx::ExpectReply(&reader, "220"), 0);
  EXPECT_EQ(reader.lastCode, kx::FtpReplyTooLong);
  EXPECT_LE(feed.next, size_t(kx::FtpReplyLimit / 4000 + 2));  // it stopped reading at the limit
}

}  // namespace
