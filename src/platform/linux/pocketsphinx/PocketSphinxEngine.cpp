#include "platform/linux/pocketsphinx/PocketSphinxEngine.h"

#include <cctype>
#include <system_error>
#include <vector>

#include "platform/XdgFolders.h"
#include "platform/linux/pocketsphinx/PocketSphinxDecoder.h"
#include "platform/linux/pocketsphinx/PocketSphinxLanguageModel.h"

namespace {

// A model the distribution packages: the languages it serves and where its files lie.
struct Model {
  std::string language;  // "en"
  std::string locale;    // "en-US"
  std::string folder;    // under pocketsphinx/model/
  std::string acousticModel;
  std::string languageModel;
  std::string dictionary;
  std::string package;
};

const std::vector<Model>& models() {
  static const std::vector<Model> MODELS = {
      {"en", "en-US", "en-us", "en-us", "en-us.lm.bin", "cmudict-en-us.dict", "pocketsphinx-en-us"},
  };
  return MODELS;
}

const Model* modelFor(const std::string& locale) {
  for (const Model& model : models()) {
    if (model.locale == locale) return &model;
  }
  return nullptr;
}

// The shared data folders, as a list in the environment's form.
std::string dataDirsText(const XdgFolders& xdg) {
  std::string text;
  for (const auto& folder : xdg.dataDirs()) {
    if (!text.empty()) text += ':';
    text += folder.string();
  }
  return text;
}

}  // namespace

std::optional<std::string> PocketSphinxEngine::supportedLocale(const std::string& localeIdentifier) {
  std::string language;
  for (char c : localeIdentifier) {
    if (c == '_' || c == '-' || c == '.' || c == '@') break;
    language += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  for (const Model& model : models()) {
    if (model.language == language) return model.locale;
  }
  return std::nullopt;
}

std::optional<std::filesystem::path> PocketSphinxEngine::modelFolder(const std::string& locale) {
  const Model* model = modelFor(locale);
  if (!model) return std::nullopt;
  const XdgFolders xdg;
  for (const auto& dataFolder : xdg.dataDirs()) {
    const auto folder = dataFolder / "pocketsphinx" / "model" / model->folder;
    std::error_code error;
    if (std::filesystem::is_regular_file(folder / model->acousticModel / "mdef", error) &&
        std::filesystem::is_regular_file(folder / model->languageModel, error) &&
        std::filesystem::is_regular_file(folder / model->dictionary, error)) {
      return folder;
    }
  }
  return std::nullopt;
}

std::optional<std::string> PocketSphinxEngine::missingModel(const std::string& locale) {
  const Model* model = modelFor(locale);
  if (!model) return "no speech model is known for " + locale;
  if (modelFolder(locale)) return std::nullopt;
  return "no " + model->locale + " model under " + dataDirsText(XdgFolders()) +
         "; install the package " + model->package;
}

PcmFormat PocketSphinxEngine::audioFormat() {
  return PcmFormat{16000.0, 1, SampleFormat::Int16, true};
}

std::unique_ptr<SpeechDecoder> PocketSphinxEngine::load(const std::string& locale) {
  const Model* model = modelFor(locale);
  auto folder = modelFolder(locale);
  if (!model || !folder) throw std::runtime_error("The speech model for " + locale + " isn’t installed");
  return std::make_unique<PocketSphinxDecoder>(*folder, model->acousticModel,
                                               languageModel(*folder / model->languageModel),
                                               model->dictionary);
}

std::shared_ptr<PocketSphinxLanguageModel> PocketSphinxEngine::languageModel(
    const std::filesystem::path& file) {
  // Loading under the lock makes a second decoder wait for the first one's model, not load its own.
  std::lock_guard guard(mutex_);
  auto& kept = languageModels_[file];
  auto model = kept.lock();
  if (!model) {
    model = std::make_shared<PocketSphinxLanguageModel>(file.string());
    kept = model;
  }
  return model;
}
