#include "platform/linux/canberra/SoundThemeSounds.h"

#include <canberra.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

#include "platform/XdgFolders.h"

namespace {

struct ContextDestroy {
  void operator()(ca_context* context) const { ca_context_destroy(context); }
};
struct ProplistDestroy {
  void operator()(ca_proplist* list) const { ca_proplist_destroy(list); }
};

// Set by libcanberra's thread when the sound has finished; waited for by the caller.
struct Finished {
  std::mutex mutex;
  std::condition_variable changed;
  bool done = false;
  int code = CA_SUCCESS;
};

void onFinished(ca_context*, uint32_t, int code, void* data) noexcept {
  auto* finished = static_cast<Finished*>(data);
  {
    std::lock_guard lock(finished->mutex);
    finished->done = true;
    finished->code = code;
  }
  finished->changed.notify_all();
}

void check(int code) {
  if (code != CA_SUCCESS) throw SoundFailure(ca_strerror(code));
}

}  // namespace

std::optional<std::filesystem::path> SoundThemeSounds::find(const std::string& name) {
  if (name.empty()) return std::nullopt;
  for (const auto& folder : XdgFolders().dataFolders()) {
    for (const char* extension : {".oga", ".ogg", ".wav"}) {
      auto file = folder / "sounds/freedesktop/stereo" / (name + extension);
      std::error_code error;
      if (std::filesystem::is_regular_file(file, error)) return file;
    }
  }
  return std::nullopt;
}

bool SoundThemeSounds::exists(const std::string& name) { return find(name).has_value(); }

void SoundThemeSounds::play(const std::string& name, std::chrono::milliseconds longest) {
  auto file = find(name);
  if (!file) throw SoundFailure("There is no sound named " + name + ".");

  // Declared before the context, so it outlives it: destroying the context ends the callbacks.
  Finished finished;
  ca_context* rawContext = nullptr;
  check(ca_context_create(&rawContext));
  std::unique_ptr<ca_context, ContextDestroy> context(rawContext);
  // The sound server only: the sound card fallback would print its complaints on stderr.
  check(ca_context_set_driver(rawContext, "pulse"));
  check(ca_context_change_props(rawContext, CA_PROP_APPLICATION_NAME, "Vesk",
                                CA_PROP_APPLICATION_ID, "com.quorvel.vesk", nullptr));
  check(ca_context_open(rawContext));

  ca_proplist* rawList = nullptr;
  check(ca_proplist_create(&rawList));
  std::unique_ptr<ca_proplist, ProplistDestroy> properties(rawList);
  check(ca_proplist_sets(rawList, CA_PROP_EVENT_ID, name.c_str()));
  check(ca_proplist_sets(rawList, CA_PROP_MEDIA_FILENAME, file->c_str()));
  constexpr uint32_t PLAYING = 1;
  check(ca_context_play_full(rawContext, PLAYING, rawList, onFinished, &finished));

  std::unique_lock lock(finished.mutex);
  if (!finished.changed.wait_for(lock, longest, [&] { return finished.done; })) {
    lock.unlock();
    ca_context_cancel(rawContext, PLAYING);
    return;
  }
  if (finished.code != CA_SUCCESS && finished.code != CA_ERROR_CANCELED) check(finished.code);
}
