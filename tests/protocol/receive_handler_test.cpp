// One read as the window thread handles it: RxBuffer, status reports, TimeOutCount,
// information notes, and at most one reply decoded from the read's first byte.

#include "protocol/receive_handler.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/status_reports.h"
#include "reply_harness.h"

namespace kv218 {
namespace {

using test::B;
using test::Bytes;
using test::Lead;
using test::operator+;
using test::ReplyHarness;
using test::Stamped;

using Lines = std::vector<std::string>;

struct ReportCase {
  const char* name;
  Bytes bytes;
  Lines log;
};

class StatusReportTest : public ::testing::TestWithParam<ReportCase> {};

TEST_P(StatusReportTest, LogsTheReportsOfTheRead) {
  const ReportCase& c = GetParam();
  ReplyHarness h;
  h.Receive(c.bytes);
  EXPECT_EQ(h.window.log, c.log);
}

const ReportCase kReports[] = {
    {"Code0RunStarts", B({0x1B, 0x53, 0x00}), {"", Stamped("KV-218 TO TARGET ... (")}},
    {"Code1DeviceReady", B({0x1B, 0x53, 0x01, 0x05}), {"1. Check Device Ready ( 0x05 )"}},
    {"Code2ProgrammingCode",
     B({0x1B, 0x53, 0x02, 0x12, 0x34}),
     {"2. Programming Code Memory ( 0x1234 )"}},
    {"Code3VerifyCodeZero",
     B({0x1B, 0x53, 0x03, 0x00, 0x00}),
     {"3. Verify Code Memory ( 0x0000 )"}},
    {"Code4ProgrammingConfiguration",
     B({0x1B, 0x53, 0x04, 0xAB, 0xCD}),
     {"4. Programming Configuration Bits ( 0xABCD )"}},
    {"Code5VerifyConfiguration",
     B({0x1B, 0x53, 0x05, 0x00, 0x0F}),
     {"5. Verify Configuration Bits ( 0x000F )"}},
    {"Code6Failed", B({0x1B, 0x53, 0x06}), {Stamped("PROGRAMMING FAILED. (")}},
    {"Code7Succeeded", B({0x1B, 0x53, 0x07}), {Stamped("PROGRAMMING SUCCEEDED. (")}},
    {"Code8IsNoReport", B({0x1B, 0x53, 0x08, 0x00, 0x00}), {}},
    {"OtherMarkIsNoReport", B({0x1B, 0x54, 0x01, 0x05}), {}},
    {"TwoReportsInOrder",
     B({0x00, 0x1B, 0x53, 0x01, 0x05, 0x1B, 0x53, 0x02, 0x12, 0x34}),
     {"1. Check Device Ready ( 0x05 )", "2. Programming Code Memory ( 0x1234 )"}},
    {"ValueBytesAreScannedToo",
     B({0x1B, 0x53, 0x02, 0x1B, 0x53, 0x07}),
     {"2. Programming Code Memory ( 0x1B53 )", Stamped("PROGRAMMING SUCCEEDED. (")}},
    {"ReportInsideADataReply",
     Lead("RDD") + B({0x11, 0x1B, 0x53, 0x02, 0x12, 0x34, 0x00}),
     {"2. Programming Code Memory ( 0x1234 )"}},
    {"ReportCutOffAtTheEndOfTheRead", B({0x00, 0x1B, 0x53, 0x02, 0x12}), {}},
    {"CodeCutOffAtTheEndOfTheRead", B({0x1B, 0x53}), {}},
    {"ValuelessReportAtTheVeryEnd",
     B({0x00, 0x00, 0x1B, 0x53, 0x07}),
     {Stamped("PROGRAMMING SUCCEEDED. (")}},
    {"FactoryNote", Lead("-S"), {"<<NOTE>> FACTORY SETTING"}},
    {"TextNoteFromIndex2", Lead("-F") + B({0x31, 0x32}), {"<<NOTE>> F12"}},
    {"TextNoteSkipsZeroBytes", Lead("-F") + B({0x00, 0x41, 0x00}), {"<<NOTE>> FA"}},
    {"OtherNoteLetterIsNothing", Lead("-A") + B({0x31}), {}},
    {"NoteAfterOtherBytesIsNothing", B({0x20}) + Lead("-S"), {}},
    {"NoteWithAReportInIt",
     Lead("-F") + B({0x1B, 0x53, 0x01, 0x07}),
     {"1. Check Device Ready ( 0x07 )", "<<NOTE>> F\\x1BS\\x01\\x07"}},
    // The programmer's text reaches a terminal: no control character goes through as it is.
    {"NoteTextAsItCame",
     Lead("-F") + B({'W', ' ', '1', '.', '8', '5', '\t', '(', 'x', ')'}),
     {"<<NOTE>> FW 1.85\t(x)"}},
    {"NoteEscapeSequencesShown",
     Lead("-F") + B({0x1B, '[', '2', 'J', 0x1B, ']', '0', ';', 'T', 0x07}),
     {"<<NOTE>> F\\x1B[2J\\x1B]0;T\\x07"}},
    {"NoteLineBreaksAndDeleteShown",
     Lead("-F") + B({'a', 0x0D, 0x0A, 'b', 0x7F, 0x08}),
     {"<<NOTE>> Fa\\x0D\\x0Ab\\x7F\\x08"}},
    {"NoteEightBitControlsShown",
     Lead("-F") + B({0x9B, '2', 'J', 0xC2, 0x9D, 0xC2}),
     {"<<NOTE>> F\\x9B2J\\xC2\\x9D\\xC2"}},
    // Bytes that are no UTF-8 would reach the terminal raw (0xA0..0xFF): shown as bytes too.
    {"NoteKeepsUtf8AndShowsOtherBytes",
     Lead("-F") + B({0xC3, 0xA9, 0xE2, 0x82, 0xAC, 0xE9, 0xA0, 0xFF, 'x'}),
     {"<<NOTE>> F\xC3\xA9\xE2\x82\xAC\\xE9\\xA0\\xFFx"}},
};

struct CaseName {
  template <class Info>
  std::string operator()(const Info& p) const {
    return p.param.name;
  }
};
INSTANTIATE_TEST_SUITE_P(Reads, StatusReportTest, ::testing::ValuesIn(kReports), CaseName());

TEST(StatusReports, BytesLeftByAnEarlierReadNeverCompleteAReport) {
  ReplyHarness h;
  h.Receive(B({0x1B, 0x53, 0x02, 0x12, 0x34}));
  h.Receive(B({0x1B, 0x53}));
  h.Receive(B({0x1B, 0x53, 0x02}));
  EXPECT_EQ(h.window.log, Lines{"2. Programming Code Memory ( 0x1234 )"});
}

TEST(StatusReports, AReportInTheLastBytesOfAFullReadStaysInsideTheRead) {
  RecordingWindow window;
  Bytes full(kMaxBurst, 0x00);
  // A complete three-byte report ends exactly at the last byte; a two-byte value report
  // starting two bytes later would need bytes past the read and past RxBuffer.
  full[kMaxBurst - 8] = 0x1B, full[kMaxBurst - 7] = 0x53, full[kMaxBurst - 6] = 0x07;
  full[kMaxBurst - 3] = 0x1B, full[kMaxBurst - 2] = 0x53, full[kMaxBurst - 1] = 0x02;
  ReportCarry carry;
  LogStatusReports(window, carry, full.data(), full.size(), test::kNow);
  EXPECT_EQ(window.log, Lines{Stamped("PROGRAMMING SUCCEEDED. (")});
  EXPECT_EQ(carry.count, 3u);  // the cut-off report waits for the next read
}

struct SplitCase {
  const char* name;
  std::vector<Bytes> reads;
  Lines log;
};

class SplitReportTest : public ::testing::TestWithParam<SplitCase> {};

// A pause of the programmer cuts a report in two: it is logged once, when its last byte came.
TEST_P(SplitReportTest, IsLoggedOnceItsBytesHaveArrived) {
  const SplitCase& c = GetParam();
  ReplyHarness h;
  for (const Bytes& read : c.reads) h.Receive(read);
  EXPECT_EQ(h.window.log, c.log);
}

const Lines kCode2 = {"2. Programming Code Memory ( 0x1234 )"};
const SplitCase kSplits[] = {
    {"AfterEsc", {B({0x00, 0x1B}), B({0x53, 0x02, 0x12, 0x34})}, kCode2},
    {"AfterMark", {B({0x1B, 0x53}), B({0x02, 0x12, 0x34, 0x00})}, kCode2},
    {"AfterCode", {B({0x1B, 0x53, 0x02}), B({0x12, 0x34})}, kCode2},
    {"InTheValue", {B({0x1B, 0x53, 0x02, 0x12}), B({0x34})}, kCode2},
    {"OverThreeReads", {B({0x1B}), B({0x53, 0x02}), B({0x12, 0x34})}, kCode2},
    {"ValuelessCode", {B({0x1B, 0x53}), B({0x00})}, {"", Stamped("KV-218 TO TARGET ... (")}},
    {"FollowedByAnother",
     {B({0x1B, 0x53, 0x01}), B({0x05, 0x1B, 0x53, 0x07})},
     {"1. Check Device Ready ( 0x05 )", Stamped("PROGRAMMING SUCCEEDED. (")}},
    {"AfterAFullRead",
     {Bytes(kMaxBurst - 2, 0x00) + B({0x1B, 0x53}), B({0x02, 0x12, 0x34})},
     kCode2},
    {"NotContinued", {B({0x1B, 0x53}), B({0x09, 0x12, 0x34})}, {}},
};
INSTANTIATE_TEST_SUITE_P(Reads, SplitReportTest, ::testing::ValuesIn(kSplits), CaseName());

TEST(StatusReports, ASplitReportDoesNotKeepTheReplyAfterItFromBeingDecoded) {
  ReplyHarness h;
  h.window.AppendLog("step ...");
  h.Receive(B({0x1B, 0x53}));
  h.Receive(Lead("RI") + B({0xBF, 0x00, 0x34, 0x12}));
  EXPECT_EQ(h.station.flags.target.DeviceIdResult, 1);
  EXPECT_EQ(h.window.log, Lines{"step ... OK ( 0xBF , 0x1234 )"});
}

TEST(StatusReports, AReportDuringAStepLeavesTheStepsResultOnItsLine) {
  ReplyHarness h;
  h.window.AppendLog("2. Bulk Erasing ...");
  h.Receive(B({0x1B, 0x53, 0x02, 0x00, 0xAB}));
  h.Receive(Lead("-F") + B({'x'}));
  h.Receive(Lead("E") + B({0x00}));
  EXPECT_EQ(h.window.log, (Lines{"2. Bulk Erasing ... OK", "2. Programming Code Memory ( 0x00AB )",
                                 "<<NOTE>> Fx"}));
}

TEST(ReceiveHandler, EveryReadResetsTheTimeOutCount) {
  for (const Bytes& read : {B({0x00}), B({0x1F}), B({0xFF, 0xFE}), Lead("RI") + B({0xBF, 0, 0, 0}),
                            Lead("-S"), B({0x1B, 0x53, 0x07})}) {
    ReplyHarness h;
    h.station.TimeOutCount = 5;
    h.Receive(read);
    EXPECT_EQ(h.station.TimeOutCount, 0);
  }
}

// A note longer than one read (a 64 KB text) comes in full reads back to back: the rest is
// more of the note, never a reply, and the note counts once, when its last read came.
TEST(ReceiveHandler, ANoteLongerThanOneReadIsOneNote) {
  ReplyHarness h;
  Bytes first = Lead("-F");
  first.resize(kMaxBurst, 'a');
  Bytes second = Lead("RI") + B({0xBF, 0x00, 0x34, 0x12});  // text that reads like a reply
  second.resize(kMaxBurst, 'b');
  const Bytes last = B({'c', 'c', 0x0A});
  h.window.AppendLog("step ...");
  h.Receive(first);
  EXPECT_EQ(h.station.notesEnded, 0u);
  h.Receive(second);
  EXPECT_EQ(h.station.notesEnded, 0u);
  h.Receive(last);
  EXPECT_EQ(h.station.notesEnded, 1u);
  EXPECT_EQ(h.station.flags.target.DeviceIdResult, 0);
  ASSERT_EQ(h.window.log.size(), 4u);
  EXPECT_EQ(h.window.log[0], "step ...");
  EXPECT_EQ(h.window.log[1], "<<NOTE>> F" + std::string(kMaxBurst - 3, 'a'));
  EXPECT_TRUE(h.window.log[2].starts_with("<<NOTE>> (continued) \\x1FRI\\xBF4\\x12bbb"))
      << h.window.log[2];
  EXPECT_EQ(h.window.log[3], "<<NOTE>> (continued) cc\\x0A");

  // The read after the note is a reply again; a note of one read counts at once.
  h.Receive(Lead("RI") + B({0xBF, 0x00, 0x34, 0x12}));
  EXPECT_EQ(h.station.flags.target.DeviceIdResult, 1);
  h.Receive(Lead("-S"));
  EXPECT_EQ(h.station.notesEnded, 2u);
}

TEST(ReceiveHandler, TheReadBecomesRxBufferAndRxCount) {
  ReplyHarness h;
  h.Receive(B({1, 2, 3, 4, 5}));
  h.Receive(B({9, 8}));
  EXPECT_EQ(h.station.rx.RxCount, 2u);
  EXPECT_EQ(Bytes(h.station.rx.bytes.begin(), h.station.rx.bytes.begin() + 5), B({9, 8, 3, 4, 5}));
}

TEST(ReceiveHandler, TakesAtMostOneBurstOfBytes) {
  ReplyHarness h;
  Bytes tooLong(kMaxBurst + 100, 0x42);
  h.Receive(tooLong);
  EXPECT_EQ(h.station.rx.RxCount, kMaxBurst);
}

TEST(ReceiveHandler, AcceptsTheBufferItselfAsTheRead) {
  ReplyHarness h;
  const Bytes reply = Lead("RI") + B({0xBF, 0x00, 0x34, 0x12});
  h.LeaveInBuffer(reply);
  h.Await(Lead("RI"));
  h.window.AppendLog("step ...");
  ReceiveHandler(h.station, h.window, h.loop, h.followUp, h.station.rx.bytes.data(), reply.size(),
                 test::kNow);
  EXPECT_EQ(h.station.flags.target.DeviceIdResult, 1);
  EXPECT_EQ(h.window.log, Lines{"step ... OK ( 0xBF , 0x1234 )"});
}

TEST(ReceiveHandler, AReplyAfterOtherBytesIsNotDecodedButItsReportIsLogged) {
  ReplyHarness h;
  h.window.AppendLog("step ...");
  h.Await(Lead("RI"));
  h.ReceiveUnasked(B({0x00}) + Lead("RI") + B({0xBF, 0x00, 0x34, 0x12, 0x1B, 0x53, 0x01, 0x05}));
  EXPECT_EQ(h.station.flags.target.DeviceIdResult, 0);
  EXPECT_EQ(h.window.log, (Lines{"step ...", "1. Check Device Ready ( 0x05 )"}));
}

TEST(ReceiveHandler, ADataReplyCarryingAReportIsStillDecoded) {
  ReplyHarness h;
  h.station.image.HighestAddress = 0x2ABFF;
  h.station.transfer.ReadPhase = 2;
  h.Receive(Lead("RDD") + B({0x1B, 0x53, 0x07}) + Bytes(9, 0));
  EXPECT_EQ(h.window.log, Lines{Stamped("PROGRAMMING SUCCEEDED. (")});
  EXPECT_EQ(h.station.transfer.ReadBlocks, 1);
  EXPECT_EQ(h.followUp.calls, Lines{"ReadProgram"});
}

TEST(ReceiveHandler, WithoutAGivenTimeTheLinesCarryTheCurrentTime) {
  ReplyHarness h;
  const Bytes report = B({0x1B, 0x53, 0x06});
  const std::time_t before = std::time(nullptr);
  ReceiveHandler(h.station, h.window, h.loop, h.followUp, report.data(), report.size());
  const std::time_t after = std::time(nullptr);
  ASSERT_EQ(h.window.log.size(), 1u);
  bool matches = false;
  for (std::time_t t = before; t <= after; ++t) {
    matches = matches || h.window.log[0] == "PROGRAMMING FAILED. (" + TimeStampText(t) + ")";
  }
  EXPECT_TRUE(matches) << h.window.log[0];
}

}  // namespace
}  // namespace kv218
