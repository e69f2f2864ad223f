// The in-process port: frames go to the model at once, answers come back as messages on the
// window thread, one per burst.

#include "sim/in_process_port.h"

#include <gtest/gtest.h>

#include <future>

#include "app/queue_loop.h"
#include "host_side.h"

namespace kv218::sim::test {
namespace {

class InProcessPortTest : public ::testing::Test {
 protected:
  explicit InProcessPortTest(DeviceOptions options = Driver::NoWait())
      : model(std::move(options)), port(model, loop) {
    port.SetReceiver([this](const std::uint8_t* data, std::size_t count) {
      received.emplace_back(data, data + count);
      if (onReceive) onReceive(received.back());
    });
  }
  bool Send(const Bytes& frame) { return port.Send(frame.data(), frame.size()); }

  kv218::QueueLoop loop;
  DeviceModel model;
  InProcessPort port;
  std::vector<Bytes> received;
  std::function<void(const Bytes&)> onReceive;
};

TEST_F(InProcessPortTest, OpensAnyPathUnlessToldToFail) {
  EXPECT_FALSE(Send(B({0x1F, 'R', 'I'}))) << "not open yet";
  EXPECT_TRUE(port.Open("\\\\.\\COM7", "115200,E,8,1"));
  EXPECT_TRUE(port.IsOpen());
  port.Close();
  EXPECT_FALSE(port.IsOpen());
  port.SetOpenFails(true);
  EXPECT_FALSE(port.Open("/dev/ttyS0", ""));
}

TEST_F(InProcessPortTest, AnswersArriveAsMessagesOnePerBurst) {
  ASSERT_TRUE(port.Open("sim", ""));
  ASSERT_TRUE(Send(B({0x1F, 'R', 'I'})));
  ASSERT_TRUE(Send(B({0x1F, '-'})));
  EXPECT_TRUE(received.empty()) << "nothing before the loop runs";
  loop.PumpMessages();
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[0], B({0x1F, 'R', 'I', 0xBF, 0x00, 0x18, 0x21}));
  EXPECT_EQ(Header(received[1], 3), B({0x1F, '-', 'F'}));
}

TEST_F(InProcessPortTest, ClosingDiscardsAnswersNotYetHandedOver) {
  ASSERT_TRUE(port.Open("sim", ""));
  ASSERT_TRUE(Send(B({0x1F, 'R', 'I'})));
  port.Close();
  loop.PumpMessages();
  EXPECT_TRUE(received.empty());
  ASSERT_TRUE(port.Open("sim", ""));
  ASSERT_TRUE(Send(B({0x1F, 'R', 'I'})));
  loop.PumpMessages();
  EXPECT_EQ(received.size(), 1u);
}

TEST_F(InProcessPortTest, ABlockTransferDrivenFromTheReceiverRunsToTheEnd) {
  // As the host's reply handling does: each acknowledgement sends the next block.
  ASSERT_TRUE(port.Open("sim", ""));
  const auto image = PatternImage(1, 6);
  int blocks = 0;
  onReceive = [&](const Bytes& reply) {
    if (reply == B({0x1F, '8', 'W', 'S'}) || (reply == B({0x1F, '8', 'W', 'D'}) && ++blocks < 32)) {
      Send(Block16(1, *image, static_cast<std::size_t>(blocks) * 64));
    }
  };
  Send(B({0x1F, '8', 'W', 'S'}));
  while (loop.PendingCount() > 0) loop.PumpMessages();
  EXPECT_EQ(blocks, 32);
  EXPECT_EQ(received.size(), 33u);
  EXPECT_EQ(model.Memory().target.memory16[0][0x7FFE], image->ProgramImage[0x7FFF]);
  EXPECT_EQ(port.DroppedBursts(), 0u);
}

TEST_F(InProcessPortTest, AReceiverThatPumpsMessagesSeesEachBurstOnce) {
  // The host's reply handling pumps messages (the gauge repaints during long transfers), so a
  // second answer can be handed over while the first is still being handled.
  ASSERT_TRUE(port.Open("sim", ""));
  onReceive = [&](const Bytes&) {
    if (received.size() == 1) loop.PumpMessages();
  };
  ASSERT_TRUE(Send(B({0x1F, 'R', 'I'})));
  ASSERT_TRUE(Send(B({0x1F, 'E'})));
  ASSERT_TRUE(Send(B({0x1F, 'S'})));
  while (loop.PendingCount() > 0) loop.PumpMessages();
  ASSERT_EQ(received.size(), 3u);
  EXPECT_EQ(Header(received[0], 3), B({0x1F, 'R', 'I'}));
  EXPECT_EQ(Header(received[1], 2), B({0x1F, 'E'}));
  EXPECT_EQ(Header(received[2], 2), B({0x1F, 'S'}));
}

TEST_F(InProcessPortTest, StandaloneRunReportsArriveAsSeparateMessages) {
  ASSERT_TRUE(port.Open("sim", ""));
  model.StartStandaloneRun();
  port.PostDeviceOutput();
  loop.PumpMessages();
  ASSERT_EQ(received.size(), 3u) << "no image: start, not ready, failed";
  EXPECT_EQ(received[2], B({0x1B, 'S', 6}));
}

TEST_F(InProcessPortTest, ReadBurstWaitsUntilInterrupted) {
  ASSERT_TRUE(port.Open("sim", ""));
  auto read = std::async(std::launch::async, [this] {
    std::uint8_t buffer[16];
    std::size_t count = 99;
    const kv218::ReadStatus status = port.ReadBurst(buffer, sizeof buffer, count, nullptr);
    return std::pair{status, count};
  });
  port.InterruptRead();
  const auto [status, count] = read.get();
  EXPECT_EQ(status, kv218::ReadStatus::Interrupted);
  EXPECT_EQ(count, 0u);
}

class HangingUpPort : public InProcessPortTest {
 protected:
  static DeviceOptions Faulty() {
    DeviceOptions options = Driver::NoWait();
    std::string error;
    options.faults.Add("hangup-mid-transfer=2", error);
    return options;
  }
  HangingUpPort() : InProcessPortTest(Faulty()) {}
};

TEST_F(HangingUpPort, AHangUpFailsTheReadAndLaterSends) {
  ASSERT_TRUE(port.Open("sim", ""));
  const auto image = PatternImage(0);
  EXPECT_TRUE(Send(FlashWrite(*image, 0)));
  EXPECT_TRUE(Send(FlashWrite(*image, 1)));
  EXPECT_TRUE(port.HungUp());
  EXPECT_FALSE(Send(B({0x1F, 'R', 'I'})));
  std::uint8_t buffer[16];
  std::size_t count = 0;
  EXPECT_EQ(port.ReadBurst(buffer, sizeof buffer, count, nullptr), kv218::ReadStatus::Failed);
  loop.PumpMessages();
  EXPECT_EQ(received.size(), 1u) << "the answer before the hang-up still arrives";
}

}  // namespace
}  // namespace kv218::sim::test
