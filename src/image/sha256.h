#pragma once
// SHA-256 (FIPS 180-4): the fingerprint of a HEX file in the record of a run, taken by the
// loader from the bytes it reads.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kv218 {

class Sha256 {
 public:
  using Digest = std::array<std::uint8_t, 32>;

  Sha256();
  void Update(const std::uint8_t* data, std::size_t count);
  void Update(std::string_view text);
  // The digest of everything given so far; the object must not be updated afterwards.
  Digest Finish();

 private:
  void Compress(const std::uint8_t* block);

  std::array<std::uint32_t, 8> state_{};
  std::array<std::uint8_t, 64> block_{};
  std::size_t blockFill_ = 0;
  std::uint64_t totalBytes_ = 0;
};

// 64 lower-case hexadecimal digits.
std::string DigestText(const Sha256::Digest& digest);

}  // namespace kv218
