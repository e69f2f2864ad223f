#include "test_hex.h"

#include <cstddef>

namespace kv218::testing {
namespace {

// A reproducible byte pattern, different per address, so a misplaced block shows.
std::uint8_t PatternByte(std::uint32_t index) {
  return static_cast<std::uint8_t>((index * 37u + (index >> 8) * 11u + 5u) & 0xFF);
}

}  // namespace

void HexText::Record(std::uint8_t type, std::uint16_t address,
                     const std::vector<std::uint8_t>& bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::vector<std::uint8_t> all = {static_cast<std::uint8_t>(bytes.size()),
                                   static_cast<std::uint8_t>(address >> 8),
                                   static_cast<std::uint8_t>(address & 0xFF), type};
  all.insert(all.end(), bytes.begin(), bytes.end());
  std::uint8_t sum = 0;
  for (std::uint8_t b : all) sum = static_cast<std::uint8_t>(sum + b);
  all.push_back(static_cast<std::uint8_t>(0x100 - sum));
  text_.push_back(':');
  for (std::uint8_t b : all) {
    text_.push_back(digits[b >> 4]);
    text_.push_back(digits[b & 0xF]);
  }
  text_ += "\r\n";
}

void HexText::ExtendedLinear(std::uint16_t upper) {
  Record(4, 0, {static_cast<std::uint8_t>(upper >> 8), static_cast<std::uint8_t>(upper & 0xFF)});
  upper_ = upper;
}

void HexText::Data(std::uint16_t address, const std::vector<std::uint8_t>& bytes) {
  Record(0, address, bytes);
}

void HexText::Block(std::uint32_t address, const std::vector<std::uint8_t>& bytes) {
  for (std::size_t at = 0; at < bytes.size(); at += 16) {
    const std::uint32_t here = address + static_cast<std::uint32_t>(at);
    if ((here >> 16) != upper_) ExtendedLinear(static_cast<std::uint16_t>(here >> 16));
    const std::size_t end = at + 16 < bytes.size() ? at + 16 : bytes.size();
    Data(static_cast<std::uint16_t>(here & 0xFFFF),
         std::vector<std::uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                                   bytes.begin() + static_cast<std::ptrdiff_t>(end)));
  }
}

std::string HexText::Finish() {
  Record(1, 0, {});
  return text_;
}

std::string Type0Hex(std::uint32_t words, std::uint32_t highestWord) {
  // Each 24-bit word is four file bytes: low, middle, high and a zero pad byte; a word takes
  // two units of the word address (four byte addresses).
  auto wordBytes = [](std::uint32_t first, std::uint32_t count) {
    std::vector<std::uint8_t> bytes;
    for (std::uint32_t n = first; n < first + count; ++n) {
      bytes.push_back(PatternByte(3 * n));
      bytes.push_back(PatternByte(3 * n + 1));
      bytes.push_back(PatternByte(3 * n + 2));
      bytes.push_back(0);
    }
    return bytes;
  };
  HexText hex;
  hex.Block(0, wordBytes(0, words));
  hex.Block(highestWord * 2, wordBytes(highestWord / 2, 4));
  hex.ExtendedLinear(0x01F0);
  const std::uint8_t registers[12] = {0xCF, 0x8F, 0x07, 0xA7, 0xC7, 0xDF,
                                      0xE7, 0xE3, 0x12, 0x34, 0x56, 0x78};
  for (std::uint16_t k = 0; k < 12; ++k)
    hex.Data(static_cast<std::uint16_t>(4 * k), {registers[k], 0, 0, 0});
  return hex.Finish();
}

std::string Type16Hex(bool withProtectedBlock, std::uint32_t programBytes) {
  HexText hex;
  std::vector<std::uint8_t> program(programBytes);
  for (std::uint32_t i = 0; i < program.size(); ++i) program[i] = PatternByte(i);
  hex.Block(0, program);
  if (withProtectedBlock) {
    // 2,048 bytes at 0x7400 summing to 0x6795 + 7 * 0x10000 = 485,269: FF everywhere but
    // for enough zero bytes and one partial byte.
    std::vector<std::uint8_t> block(0x800, 0xFF);
    std::uint32_t excess = 0x800 * 0xFF - (0x6795 + 7 * 0x10000);
    for (std::size_t i = 0; excess > 0; ++i) {
      const std::uint32_t take = excess < 0xFF ? excess : 0xFF;
      block[i] = static_cast<std::uint8_t>(0xFF - take);
      excess -= take;
    }
    hex.Block(0x7400, block);
  }
  const std::uint8_t registers[6] = {0xE1, 0x04, 0xC7, 0x0F, 0x5A, 0x01};
  for (std::uint16_t k = 0; k < 6; ++k)
    hex.Data(static_cast<std::uint16_t>(0x7FF8 + k), {registers[k]});
  return hex.Finish();
}

std::string Type1KHex(std::uint32_t windowBytes) {
  HexText hex;
  std::vector<std::uint8_t> window(windowBytes);
  for (std::uint32_t i = 0; i < window.size(); ++i) window[i] = PatternByte(i + 7);
  hex.Block(0xFC00, window);
  return hex.Finish();
}

std::string SmallHex(int type) {
  if (type == 0) return Type0Hex(4, 0);
  if (type == 3) return Type1KHex(16);
  return Type16Hex(type == 1, 16);
}

}  // namespace kv218::testing
