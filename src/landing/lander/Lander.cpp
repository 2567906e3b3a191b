#include "landing/lander/Lander.h"

#include "landing/lander/Pasteboard.h"

Lander::Lander(Services services) : services_(std::move(services)) {}

Lander::~Lander() {
  if (restoring_) restoring_();
}

void Lander::land(std::string words, std::optional<long> app) {
  waiting_.push_back({std::move(words), app});
  next();
}

void Lander::leave() {
  leaving_ = true;
  next();
}

void Lander::next() {
  while (!pasting_) {
    if (waiting_.empty()) {
      if (leaving_) services_.finished();
      return;
    }
    Landing landing = std::move(waiting_.front());
    waiting_.pop_front();
    if (!services_.mayRead()) {
      services_.landed("kept");
    } else if (services_.mayPaste(landing.app)) {
      SavedClipboard saved = snapshot(services_.board);
      if (hidesItsItems(services_.board, saved)) {
        services_.landed("kept");
      } else {
        paste(landing.words, std::move(saved));
      }
    } else {
      writeText(landing.words, services_.board);
      services_.landed("copied");
    }
  }
}

void Lander::paste(const std::string& words, std::vector<ClipboardFlavor> saved) {
  writeForPaste(words, services_.board);
  const auto count = services_.board.changeCount();
  if (!services_.post()) {
    // Nothing was typed (the user refused the desktop's consent, say): the words stay for the
    // user to paste, and the clipboard they replace is not put back over them.
    writeText(words, services_.board);
    services_.landed("copied");
    return;
  }
  pasting_ = true;
  restoring_ = services_.later.after(services_.backAfter, [this, count, saved = std::move(saved)] {
    restoring_ = nullptr;
    if (services_.board.changeCount() == count) restore(saved, services_.board);
    services_.landed("pasted");
    pasting_ = false;
    next();
  });
}
