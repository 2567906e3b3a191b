#include "platform/linux/pocketsphinx/PocketSphinxDecoder.h"

#include <pocketsphinx.h>
#include <ps_search.h>
#include <sphinxbase/ngram_model.h>
#include <sphinxbase/err.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <string_view>
#include <unordered_set>
#include <utility>

namespace {

struct FileDescriptor {
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

void writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) throw std::runtime_error("couldn’t write the speech dictionary’s file");
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

}  // namespace

void PocketSphinxDecoder::ConfigFree::operator()(cmd_ln_s* config) const { cmd_ln_free_r(config); }

void PocketSphinxDecoder::DecoderFree::operator()(ps_decoder_s* decoder) const { ps_free(decoder); }

PocketSphinxDecoder::Tuning PocketSphinxDecoder::liveTuning() {
  return Tuning{.postSpeechFrames = 20, .secondPasses = false, .maxActiveHmms = 3000};
}

PocketSphinxDecoder::PocketSphinxDecoder(const std::filesystem::path& folder,
                                         const std::string& acousticModel,
                                         const std::string& languageModel,
                                         const std::string& dictionary, const Tuning& tuning) {
  static std::once_flag quiet;
  // The library logs every step of a load on standard error, which belongs to the parent app.
  std::call_once(quiet, [] { err_set_logfp(nullptr); });
  const std::string hmm = (folder / acousticModel).string();
  const std::string lm = (folder / languageModel).string();
  const std::string dict = (folder / dictionary).string();
  const std::string postSpeech = std::to_string(tuning.postSpeechFrames);
  const char* passes = tuning.secondPasses ? "yes" : "no";
  const std::string maxActive = std::to_string(tuning.maxActiveHmms);
  // The language model first, with an empty dictionary; then only the pronunciations of the
  // words it knows.
  config_.reset(cmd_ln_init(nullptr, ps_args(), TRUE, "-hmm", hmm.c_str(), "-lm", lm.c_str(),
                            "-dict", "/dev/null", "-vad_postspeech", postSpeech.c_str(),
                            "-fwdflat", passes, "-bestpath", passes, "-maxhmmpf",
                            maxActive.c_str(), static_cast<char*>(nullptr)));
  if (!config_) throw std::runtime_error("PocketSphinx refused its settings for " + folder.string());
  decoder_.reset(ps_init(config_.get()));
  if (!decoder_) throw std::runtime_error("PocketSphinx couldn’t load the model in " + folder.string());
  loadKnownWords(dict);
}

void PocketSphinxDecoder::loadKnownWords(const std::string& dictionary) {
  // The dictionary has about 135 000 pronunciations, the language model 72 500 words: a word the
  // model doesn't know can never be recognised, and leaving its pronunciations out saves about
  // 13 MB. They are copied to an in-memory file that the decoder then loads.
  ngram_model_t* models = ps_get_lm(decoder_.get(), ps_get_search(decoder_.get()));
  if (!models) throw std::runtime_error("PocketSphinx has no language model");
  FileDescriptor known(memfd_create("vesk-dictionary", MFD_CLOEXEC));
  if (known.get() < 0) throw std::runtime_error("couldn’t make the speech dictionary’s file");
  {
    // The decoder holds its language models as a set; the words are those of its members.
    std::unordered_set<std::string_view> words;
    for (ngram_model_set_iter_t* member = ngram_model_set_iter(models); member;
         member = ngram_model_set_iter_next(member)) {
      const char* name = nullptr;
      ngram_model_t* model = ngram_model_set_iter_model(member, &name);
      const std::uint32_t count = ngram_model_get_counts(model)[0];
      for (std::uint32_t wid = 0; wid < count; ++wid) {
        if (const char* word = ngram_word(model, static_cast<std::int32_t>(wid))) words.insert(word);
      }
    }
    std::ifstream in(dictionary);
    if (!in) throw std::runtime_error("couldn’t read the speech dictionary " + dictionary);
    std::string kept;
    for (std::string line; std::getline(in, line);) {
      // "word phones..." or "word(2) phones..." for a second pronunciation.
      const std::string_view entry(line);
      const std::string_view word = entry.substr(0, entry.find_first_of(" \t("));
      if (word.empty() || !words.count(word)) continue;
      kept += line;
      kept += '\n';
      if (kept.size() >= 65536) writeAll(known.get(), std::exchange(kept, ""));
    }
    writeAll(known.get(), kept);
  }
  const std::string path = "/proc/self/fd/" + std::to_string(known.get());
  if (ps_load_dict(decoder_.get(), path.c_str(), nullptr, nullptr) < 0) {
    throw std::runtime_error("PocketSphinx couldn’t load the dictionary " + dictionary);
  }
}

void PocketSphinxDecoder::startUtterance() {
  if (ps_start_utt(decoder_.get()) < 0) throw std::runtime_error("PocketSphinx couldn’t start an utterance");
}

void PocketSphinxDecoder::process(std::span<const std::int16_t> samples) {
  if (samples.empty()) return;
  if (ps_process_raw(decoder_.get(), samples.data(), samples.size(), FALSE, FALSE) < 0) {
    throw std::runtime_error("PocketSphinx couldn’t decode the audio");
  }
}

bool PocketSphinxDecoder::inSpeech() { return ps_get_in_speech(decoder_.get()) != 0; }

std::string PocketSphinxDecoder::hypothesis() {
  const char* words = ps_get_hyp(decoder_.get(), nullptr);
  return words ? words : "";
}

std::string PocketSphinxDecoder::endUtterance() {
  if (ps_end_utt(decoder_.get()) < 0) throw std::runtime_error("PocketSphinx couldn’t end an utterance");
  return hypothesis();
}
