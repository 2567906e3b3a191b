#include "platform/linux/pocketsphinx/PocketSphinxDecoder.h"

#include <pocketsphinx.h>
#include <ps_search.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

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
  return Tuning{.postSpeechFrames = 20, .secondPasses = false, .maxActiveHmms = 3000, .words = 40000};
}

PocketSphinxDecoder::PocketSphinxDecoder(const std::filesystem::path& folder,
                                         const std::string& acousticModel,
                                         const std::string& languageModel,
                                         const std::string& dictionary, const Tuning& tuning)
    : PocketSphinxDecoder(folder, acousticModel,
                          std::make_shared<PocketSphinxLanguageModel>((folder / languageModel).string()),
                          dictionary, tuning) {}

PocketSphinxDecoder::PocketSphinxDecoder(const std::filesystem::path& folder,
                                         const std::string& acousticModel,
                                         std::shared_ptr<PocketSphinxLanguageModel> languageModel,
                                         const std::string& dictionary, const Tuning& tuning)
    : languageModel_(std::move(languageModel)) {
  // The library's log is off since the language model loaded.
  const std::string hmm = (folder / acousticModel).string();
  const std::string dict = (folder / dictionary).string();
  const std::string postSpeech = std::to_string(tuning.postSpeechFrames);
  const char* passes = tuning.secondPasses ? "yes" : "no";
  const std::string maxActive = std::to_string(tuning.maxActiveHmms);
  // The acoustic model with an empty dictionary and no search; then only the pronunciations of
  // the words the language model knows, and the search over them.
  config_.reset(cmd_ln_init(nullptr, ps_args(), TRUE, "-hmm", hmm.c_str(), "-dict", "/dev/null",
                            "-vad_postspeech", postSpeech.c_str(), "-fwdflat", passes,
                            "-bestpath", passes, "-maxhmmpf", maxActive.c_str(),
                            static_cast<char*>(nullptr)));
  if (!config_) throw std::runtime_error("PocketSphinx refused its settings for " + folder.string());
  decoder_.reset(ps_init(config_.get()));
  if (!decoder_) throw std::runtime_error("PocketSphinx couldn’t load the model in " + folder.string());
  loadKnownWords(dict, tuning.words);
  useLanguageModel();
}

PocketSphinxDecoder::~PocketSphinxDecoder() {
  // Releasing the search releases its hold on the shared model.
  std::lock_guard turn(languageModel_->turns());
  decoder_.reset();
}

void PocketSphinxDecoder::useLanguageModel() {
  static constexpr const char* SEARCH = "words";
  std::lock_guard turn(languageModel_->turns());
  if (ps_set_lm(decoder_.get(), SEARCH, languageModel_->model()) < 0 ||
      ps_set_search(decoder_.get(), SEARCH) < 0) {
    throw std::runtime_error("PocketSphinx couldn’t search with its language model");
  }
}

void PocketSphinxDecoder::loadKnownWords(const std::string& dictionary, std::size_t most) {
  // The dictionary has about 135 000 pronunciations, the language model 72 500 words: a word the
  // model doesn't know can never be recognised, and leaving its pronunciations out saves about
  // 13 MB; so does each word past the tuning's most. They are copied to an in-memory file that
  // the decoder then loads.
  FileDescriptor known(memfd_create("vesk-dictionary", MFD_CLOEXEC));
  if (known.get() < 0) throw std::runtime_error("couldn’t make the speech dictionary’s file");
  {
    const std::vector<std::string> modelWords = languageModel_->words(most);
    const std::unordered_set<std::string_view> words(modelWords.begin(), modelWords.end());
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
  std::lock_guard turn(languageModel_->turns());
  if (ps_start_utt(decoder_.get()) < 0) throw std::runtime_error("PocketSphinx couldn’t start an utterance");
}

void PocketSphinxDecoder::process(std::span<const std::int16_t> samples) {
  if (samples.empty()) return;
  std::lock_guard turn(languageModel_->turns());
  if (ps_process_raw(decoder_.get(), samples.data(), samples.size(), FALSE, FALSE) < 0) {
    throw std::runtime_error("PocketSphinx couldn’t decode the audio");
  }
}

bool PocketSphinxDecoder::inSpeech() { return ps_get_in_speech(decoder_.get()) != 0; }

std::string PocketSphinxDecoder::hypothesis() {
  std::lock_guard turn(languageModel_->turns());
  const char* words = ps_get_hyp(decoder_.get(), nullptr);
  return words ? words : "";
}

std::string PocketSphinxDecoder::endUtterance() {
  std::unique_lock turn(languageModel_->turns());
  if (ps_end_utt(decoder_.get()) < 0) throw std::runtime_error("PocketSphinx couldn’t end an utterance");
  turn.unlock();
  return hypothesis();
}
