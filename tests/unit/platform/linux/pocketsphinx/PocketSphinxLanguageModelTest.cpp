#include "platform/linux/pocketsphinx/PocketSphinxLanguageModel.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// The packaged model's words, all of them or only the likeliest: the commonest words are among
// those kept, a rare one is not, and none is kept twice.
TEST(PocketSphinxLanguageModel, KeepsTheLikeliestWordsWhenAskedForFewer) {
  const PocketSphinxLanguageModel model("/usr/share/pocketsphinx/model/en-us/en-us.lm.bin");
  const auto all = model.words();
  const auto likeliest = model.words(1000);
  EXPECT_GT(all.size(), 70000u);
  ASSERT_EQ(likeliest.size(), 1000u);
  const auto has = [](const std::vector<std::string>& words, const std::string& word) {
    return std::find(words.begin(), words.end(), word) != words.end();
  };
  for (const char* common : {"the", "and", "of"}) EXPECT_TRUE(has(likeliest, common)) << common;
  EXPECT_TRUE(has(all, "amiable"));
  EXPECT_FALSE(has(likeliest, "amiable"));
  auto sorted = likeliest;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end());
}

}  // namespace
