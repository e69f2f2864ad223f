#pragma once
// Small Intel HEX images of each target type, written by the tests themselves into a
// temporary folder (TempFolder), with the content a case needs (block counts, the type-1
// protected block).

#include <cstdint>
#include <string>
#include <vector>

#include "testkit/temp_folder.h"

namespace kv218::testing {

// Builds the text of an Intel HEX file record by record (with correct record checksums).
class HexText {
 public:
  void ExtendedLinear(std::uint16_t upper);
  void Data(std::uint16_t address, const std::vector<std::uint8_t>& bytes);
  // Data records of 16 bytes from address on, as many as bytes needs.
  void Block(std::uint32_t address, const std::vector<std::uint8_t>& bytes);
  std::string Finish();  // adds the end-of-file record

 private:
  void Record(std::uint8_t type, std::uint16_t address, const std::vector<std::uint8_t>& bytes);
  std::string text_;
  std::uint32_t upper_ = 0xFFFFFFFF;
};

// A type-0 image: program words from word address 0 on, and a last record at word address
// highestWord (which fixes the transfer's block count), plus configuration records.
std::string Type0Hex(std::uint32_t words, std::uint32_t highestWord);
// A 16-bit image for types 1 and 2: programBytes from address 0 on. withProtectedBlock puts a
// block at 0x7400..0x7BFF whose bytes sum to 0x6795, the value that lets a type-1 target
// read-back verify.
std::string Type16Hex(bool withProtectedBlock, std::uint32_t programBytes = 0x1000);
// A type-3 image: windowBytes from the start of the window 0xFC00..0xFFFF.
std::string Type1KHex(std::uint32_t windowBytes = 0x400);
// 16 bytes at the start of the type's memory (type 1 with its protected block, so that it can
// verify): every block of a read-back but the first holds only blank bytes.
std::string SmallHex(int type);

// One image per target type, written once into a folder of their own: Type0Hex, Type1KHex,
// and for types 1 and 2 one Type16Hex, with or without its protected block.
class TypeFiles {
 public:
  explicit TypeFiles(bool withProtectedBlock)
      : type0(dir.Write("tk.hex", Type0Hex(64, 0x2ABF8))),
        type16(dir.Write("type16.hex", Type16Hex(withProtectedBlock))),
        type3(dir.Write("eco.hex", Type1KHex())) {}
  const std::string& ForType(int type) const {
    return type == 0 ? type0 : type == 3 ? type3 : type16;
  }

  TempFolder dir;
  std::string type0, type16, type3;
};

}  // namespace kv218::testing
