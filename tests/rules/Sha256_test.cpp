// SHA-256 against the FIPS 180-2 test vectors, fed whole and in pieces that
// straddle the 64-byte blocks, so the buffering and the padding (which
// needs a block of its own after 56 and 112 bytes) are both exercised.
#include "Sha256.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

struct TVector {
  const char* Name;
  std::string Message;
  const char* Digest;
};

const std::uint8_t* Bytes(const std::string& Text) {
  return reinterpret_cast<const std::uint8_t*>(Text.data());
}

TEST(Sha256, FipsVectorsWholeAndInPieces) {
  const TVector cVectors[] = {
      {"empty", "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"448 bits", "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {"896 bits",
       "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlm"
       "nopqrsmnopqrstnopqrstu",
       "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
      {"a million a", std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  const std::size_t cPieceSizes[] = {1, 63, 65, 997};
  for (const TVector& V : cVectors) {
    EXPECT_EQ(Sha256Hex(Bytes(V.Message), V.Message.size()), V.Digest) << V.Name;
    for (const std::size_t Piece : cPieceSizes) {
      TSha256 Hash;
      for (std::size_t At = 0; At < V.Message.size(); At += Piece) {
        Hash.Update(Bytes(V.Message) + At, std::min(Piece, V.Message.size() - At));
        if (At == 0) (void)Hash.HexDigest();  // asking midway must not disturb the state
      }
      EXPECT_EQ(Hash.HexDigest(), V.Digest) << V.Name << " in pieces of " << Piece;
    }
  }
}

}  // namespace
