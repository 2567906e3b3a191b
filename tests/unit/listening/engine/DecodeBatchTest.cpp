#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "listening/engine/DecodeBatch.h"

// Blocks of 20 ms at 16 kHz: 'L' loud, 'Q' quiet or near it, '|' the end of input; the sizes the decoder
// is handed, in blocks. Every sample goes in once, in order.
TEST(DecodeBatch, SoundWaitsForAFullPieceAndQuietGoesInAtOnce) {
  const std::vector<std::pair<const char*, std::vector<std::size_t>>> cases = {
      {"LLLLLLLL", {8}},  {"LLLLLLLLLL|", {8, 2}}, {"LLLQ", {4}},
      {"QQ", {1, 1}},     {"LLLLLLLLLQLL|", {8, 2, 2}}, {"|", {}},
  };
  for (const auto& [blocks, expected] : cases) {
    DecodeBatch batch(16000);
    std::vector<std::size_t> pieces;
    std::vector<std::int16_t> decoded, given;
    const DecodeBatch::Decode decode = [&](std::span<const std::int16_t> samples) {
      pieces.push_back(samples.size() / 320);
      decoded.insert(decoded.end(), samples.begin(), samples.end());
    };
    for (const char* b = blocks; *b; ++b) {
      if (*b == '|') {
        batch.flush(decode);
        continue;
      }
      std::vector<std::int16_t> block(320);
      std::iota(block.begin(), block.end(), static_cast<std::int16_t>(given.size() % 30000));
      given.insert(given.end(), block.begin(), block.end());
      batch.add(block, *b == 'L', decode);
    }
    EXPECT_EQ(pieces, expected) << blocks;
    EXPECT_EQ(decoded, given) << blocks;
  }
}
