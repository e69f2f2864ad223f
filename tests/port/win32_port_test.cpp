// Win32Port without a serial line: the line it asks for, the owner name that keeps two
// spellings of one port apart from each other, and a port that does not exist. Its traffic
// is tested through kv218.exe under Wine against the simulated programmer.

#include "port/win32_port.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>

namespace kv218 {
namespace {

// A port's state with every flag the port must not run with switched on.
DCB EverythingOn() {
  DCB dcb{};
  dcb.DCBlength = sizeof(DCB);
  dcb.BaudRate = 9600;
  dcb.ByteSize = 7;
  dcb.Parity = ODDPARITY;
  dcb.StopBits = TWOSTOPBITS;
  dcb.fParity = 1;
  dcb.fOutxCtsFlow = 1;
  dcb.fOutxDsrFlow = 1;
  dcb.fDtrControl = DTR_CONTROL_HANDSHAKE;
  dcb.fDsrSensitivity = 1;
  dcb.fTXContinueOnXoff = 1;
  dcb.fOutX = 1;
  dcb.fInX = 1;
  dcb.fErrorChar = 1;
  dcb.fNull = 1;
  dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
  dcb.fAbortOnError = 1;
  return dcb;
}

struct LineCase {
  const char* text;
  DWORD baud;
  BYTE parity;
  BYTE dataBits;
  BYTE stopBits;
};

class LineForText : public ::testing::TestWithParam<LineCase> {};

TEST_P(LineForText, AppliesTheTextAndForcesTheFlags) {
  const LineCase& c = GetParam();
  const DCB line = LineFor(EverythingOn(), c.text);
  EXPECT_EQ(line.DCBlength, 28u);
  EXPECT_EQ(line.BaudRate, c.baud);
  EXPECT_EQ(line.Parity, c.parity);
  EXPECT_EQ(line.ByteSize, c.dataBits);
  EXPECT_EQ(line.StopBits, c.stopBits);
  EXPECT_EQ(line.fBinary, 1u);
  EXPECT_EQ(line.fOutxCtsFlow, 0u);
  EXPECT_EQ(line.fOutxDsrFlow, 0u);
  EXPECT_EQ(line.fDtrControl, static_cast<DWORD>(DTR_CONTROL_DISABLE));
  EXPECT_EQ(line.fDsrSensitivity, 0u);
  EXPECT_EQ(line.fTXContinueOnXoff, 0u);
  EXPECT_EQ(line.fOutX, 0u);
  EXPECT_EQ(line.fInX, 0u);
  EXPECT_EQ(line.fErrorChar, 0u);
  EXPECT_EQ(line.fNull, 0u);
  EXPECT_EQ(line.fRtsControl, static_cast<DWORD>(RTS_CONTROL_DISABLE));
  EXPECT_EQ(line.fAbortOnError, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Win32Port, LineForText,
    ::testing::Values(
        // The settings' defaults.
        LineCase{"115200,E,8,1", 115200, EVENPARITY, 8, ONESTOPBIT},
        // The key=value form; flow control asked for in the text is still switched off.
        LineCase{"baud=19200 parity=N data=8 stop=2 octs=on", 19200, NOPARITY, 8, TWOSTOPBITS},
        LineCase{"9600,n,8,1,x", 9600, NOPARITY, 8, ONESTOPBIT},
        // A text the parser refuses leaves the port's own line settings.
        LineCase{"fast please", 9600, ODDPARITY, 7, TWOSTOPBITS}));

TEST(Win32Port, LeavesParityCheckingAsThePortHadIt) {
  DCB off = EverythingOn();
  off.fParity = 0;
  EXPECT_EQ(LineFor(EverythingOn(), "115200,E,8,1").fParity, 1u);
  EXPECT_EQ(LineFor(off, "fast please").fParity, 0u);
}

TEST(Win32Port, OwnerNameIsTheSameForEverySpellingOfOnePort) {
  EXPECT_EQ(PortOwnerName("COM5"), PortOwnerName("\\\\.\\com5"));
  EXPECT_EQ(PortOwnerName("com5"), PortOwnerName("\\\\.\\COM5"));
  EXPECT_NE(PortOwnerName("COM5"), PortOwnerName("COM15"));
  // A backslash would make the name a namespace path, which the system refuses.
  EXPECT_EQ(PortOwnerName("\\\\.\\COM5").find('\\'), std::string::npos);
  EXPECT_EQ(PortOwnerName("\\\\?\\GLOBALROOT\\Device\\Serial0").find('\\'), std::string::npos);
}

class MissingPort : public ::testing::TestWithParam<const char*> {};

TEST_P(MissingPort, DoesNotOpenAndEveryCallIsHarmless) {
  Win32Port port;
  EXPECT_FALSE(port.Open(GetParam(), "115200,E,8,1"));
  EXPECT_FALSE(port.IsOpen());
  const std::array<std::uint8_t, 2> frame = {0x1F, 0x2D};
  EXPECT_FALSE(port.Send(frame.data(), frame.size()));
  EXPECT_FALSE(port.Drain(std::chrono::milliseconds(10)));
  std::array<std::uint8_t, 16> buffer{};
  std::size_t count = 7;
  EXPECT_EQ(port.ReadBurst(buffer.data(), buffer.size(), count, nullptr), ReadStatus::Interrupted);
  EXPECT_EQ(count, 0u);
  port.Close();
  port.Close();
  EXPECT_FALSE(port.IsOpen());
}

INSTANTIATE_TEST_SUITE_P(Win32Port, MissingPort,
                         ::testing::Values("COM77", "\\\\.\\COM77", "\\\\.\\NOSUCHPORT"));

// A failed open leaves nothing held: the same name opens no differently the second time.
TEST(Win32Port, AFailedOpenHoldsNoOwnership) {
  Win32Port first;
  Win32Port second;
  EXPECT_FALSE(first.Open("COM78", "115200,E,8,1"));
  EXPECT_FALSE(second.Open("COM78", "115200,E,8,1"));
  HANDLE owner = CreateSemaphoreA(nullptr, 1, 1, PortOwnerName("COM78").c_str());
  ASSERT_NE(owner, nullptr);
  EXPECT_EQ(WaitForSingleObject(owner, 0), static_cast<DWORD>(WAIT_OBJECT_0));
  ReleaseSemaphore(owner, 1, nullptr);
  CloseHandle(owner);
}

// What the command line tells the operator: a missing port, a port another program holds, and
// a path that is no serial device, which is left as it was.
TEST(Win32Port, SaysWhyItDidNotOpen) {
  Win32Port port;
  EXPECT_FALSE(port.Open("COM79", "115200,E,8,1"));
  EXPECT_EQ(port.LastOpenFailure().reason, OpenError::NoSuchDevice);

  HANDLE owner = CreateSemaphoreA(nullptr, 1, 1, PortOwnerName("COM80").c_str());
  ASSERT_NE(owner, nullptr);
  ASSERT_EQ(WaitForSingleObject(owner, 0), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_FALSE(port.Open("\\\\.\\COM80", "115200,E,8,1"));
  EXPECT_EQ(port.LastOpenFailure().reason, OpenError::Busy);
  ReleaseSemaphore(owner, 1, nullptr);
  CloseHandle(owner);

  std::array<char, MAX_PATH> folder{};
  ASSERT_GT(GetTempPathA(static_cast<DWORD>(folder.size()), folder.data()), 0u);
  const std::string file = std::string(folder.data()) + "kv218-not-a-port.txt";
  std::ofstream(file, std::ios::binary) << "notes";
  EXPECT_FALSE(port.Open(file, "115200,E,8,1"));
  EXPECT_EQ(port.LastOpenFailure().reason, OpenError::NotASerialDevice);
  EXPECT_FALSE(port.IsOpen());
  std::ifstream in(file, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "notes");
  in.close();
  DeleteFileA(file.c_str());
}

}  // namespace
}  // namespace kv218
