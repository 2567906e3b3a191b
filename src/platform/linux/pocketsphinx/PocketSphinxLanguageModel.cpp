#include "platform/linux/pocketsphinx/PocketSphinxLanguageModel.h"

#include <pocketsphinx.h>
#include <sphinxbase/err.h>
#include <sphinxbase/logmath.h>
#include <sphinxbase/ngram_model.h>

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <stdexcept>

PocketSphinxLanguageModel::PocketSphinxLanguageModel(const std::string& path) {
  static std::once_flag quiet;
  // The library logs every step of a load on standard error, which belongs to the parent app.
  std::call_once(quiet, [] { err_set_logfp(nullptr); });
  // The decoders' own settings for the model (language weight, word insertion penalty) are the
  // library's defaults, which reading with a configuration of its defaults applies.
  config_ = cmd_ln_init(nullptr, ps_args(), TRUE, static_cast<char*>(nullptr));
  if (!config_) throw std::runtime_error("PocketSphinx refused the settings of its language model");
  // The model keeps a reference of its own to the log tables; ours goes once it is read.
  logmath_t* logMath = logmath_init(cmd_ln_float_r(config_, "-logbase"), 0, FALSE);
  if (logMath) model_ = ngram_model_read(config_, path.c_str(), NGRAM_AUTO, logMath);
  if (logMath) logmath_free(logMath);
  if (!model_) {
    cmd_ln_free_r(config_);
    throw std::runtime_error("PocketSphinx couldn’t load the language model " + path);
  }
}

PocketSphinxLanguageModel::~PocketSphinxLanguageModel() {
  ngram_model_free(model_);
  cmd_ln_free_r(config_);
}

std::vector<std::string> PocketSphinxLanguageModel::words(std::size_t most) const {
  const std::uint32_t count = ngram_model_get_counts(model_)[0];
  std::vector<std::pair<std::int32_t, const char*>> scored;  // each word's score on its own
  scored.reserve(count);
  for (std::uint32_t wid = 0; wid < count; ++wid) {
    const auto id = static_cast<std::int32_t>(wid);
    std::int32_t used = 0;
    if (const char* word = ngram_word(model_, id)) {
      scored.emplace_back(ngram_ng_score(model_, id, nullptr, 0, &used), word);
    }
  }
  if (most < scored.size()) {
    std::nth_element(scored.begin(), scored.begin() + static_cast<std::ptrdiff_t>(most), scored.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    scored.resize(most);
  }
  std::vector<std::string> words;
  words.reserve(scored.size());
  for (const auto& [score, word] : scored) words.emplace_back(word);
  return words;
}
