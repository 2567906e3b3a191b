#include "platform/linux/pocketsphinx/PocketSphinxDecoder.h"

#include <pocketsphinx.h>
#include <sphinxbase/err.h>

#include <mutex>
#include <stdexcept>

void PocketSphinxDecoder::ConfigFree::operator()(cmd_ln_s* config) const { cmd_ln_free_r(config); }

void PocketSphinxDecoder::DecoderFree::operator()(ps_decoder_s* decoder) const { ps_free(decoder); }

PocketSphinxDecoder::Tuning PocketSphinxDecoder::dictationTuning() { return Tuning{20, false}; }

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
  config_.reset(cmd_ln_init(nullptr, ps_args(), TRUE, "-hmm", hmm.c_str(), "-lm", lm.c_str(),
                            "-dict", dict.c_str(), "-vad_postspeech", postSpeech.c_str(),
                            "-fwdflat", passes, "-bestpath", passes,
                            static_cast<char*>(nullptr)));
  if (!config_) throw std::runtime_error("PocketSphinx refused its settings for " + folder.string());
  decoder_.reset(ps_init(config_.get()));
  if (!decoder_) throw std::runtime_error("PocketSphinx couldn’t load the model in " + folder.string());
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
