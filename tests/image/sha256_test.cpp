// SHA-256 against the published test vectors and the padding boundaries, fed whole and in
// pieces that cross block edges.

#include "image/sha256.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace kv218 {
namespace {

struct Vector {
  std::string message;
  std::string digest;
};
void PrintTo(const Vector& v, std::ostream* os) { *os << v.message.size() << " bytes"; }

class Sha256Vectors : public ::testing::TestWithParam<Vector> {};

std::string DigestInPieces(const std::string& message, std::size_t piece) {
  Sha256 hash;
  for (std::size_t at = 0; at < message.size(); at += piece) {
    hash.Update(std::string_view(message).substr(at, piece));
  }
  return DigestText(hash.Finish());
}

TEST_P(Sha256Vectors, GivesTheKnownDigestHoweverTheInputIsCut) {
  const auto& [message, digest] = GetParam();
  EXPECT_EQ(DigestInPieces(message, message.size() + 1), digest);
  for (const std::size_t piece : {1u, 7u, 63u, 64u, 65u}) {
    EXPECT_EQ(DigestInPieces(message, piece), digest) << "pieces of " << piece;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Known, Sha256Vectors,
    ::testing::Values(
        Vector{"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        Vector{"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        Vector{"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
               "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        Vector{"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopq"
               "klmnopqrlmnopqrsmnopqrstnopqrstu",
               "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        // The padding's edges: the length still fits after 55 bytes, not after 56.
        Vector{std::string(55, 'a'),
               "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
        Vector{std::string(56, 'a'),
               "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
        Vector{std::string(63, 'a'),
               "7d3e74a05d7db15bce4ad9ec0658ea98e3f06eeecf16b4c6fff2da457ddc2f34"},
        Vector{std::string(64, 'a'),
               "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
        Vector{std::string(65, 'a'),
               "635361c48bb9eab14198e76ea8ab7f1a41685d6ad62aa9146d301d4f17eb0ae0"}));

}  // namespace
}  // namespace kv218
