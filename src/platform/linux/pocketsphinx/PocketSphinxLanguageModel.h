#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct cmd_ln_s;
struct ngram_model_s;

// One language model file loaded once and used by every decoder of the process that recognises
// its language: at about 32 MB it is the largest part of a decoder. The library scores words
// through a cache of the last history inside the model, which a score on another thread would
// overwrite halfway: the decoders that share a model take turns, one call at a time, under its
// mutex (decoding a voice costs a fraction of a core, so the turns are short).
//
// Threads: any; turns() guards the model's use, its reference count included (every call into a
// decoder that holds it, and that decoder's creation and release).
class PocketSphinxLanguageModel {
 public:
  // Throws std::runtime_error when the file doesn't load.
  explicit PocketSphinxLanguageModel(const std::string& path);
  ~PocketSphinxLanguageModel();
  PocketSphinxLanguageModel(const PocketSphinxLanguageModel&) = delete;
  PocketSphinxLanguageModel& operator=(const PocketSphinxLanguageModel&) = delete;

  ngram_model_s* model() const { return model_; }
  std::mutex& turns() { return turns_; }
  // The words the model knows (72 500 in the en-US model): no other word can be recognised.
  // With `most`, only that many, the likeliest on their own first.
  std::vector<std::string> words(std::size_t most = SIZE_MAX) const;

 private:
  std::mutex turns_;
  cmd_ln_s* config_ = nullptr;
  ngram_model_s* model_ = nullptr;
};
