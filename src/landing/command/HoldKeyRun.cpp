#include "landing/command/HoldKeyRun.h"

#include <variant>

#include "landing/command/HoldKeyRequest.h"
#include "landing/focus/FocusRules.h"
#include "landing/focus/FrontApp.h"
#include "landing/lander/PasteDecision.h"
#include "landing/lander/PasteKeystroke.h"
#include "landing/lander/Pasteboard.h"
#include "base/LineWriter.h"
#include "base/RunLog.h"
#include "base/Timings.h"
#include "platform/Platform.h"

HoldKeyRun::HoldKeyRun(Services services, std::optional<HeldKey> key)
    : services_(std::move(services)),
      lander_(Lander::Services{
          *services_.platform.clipboard, services_.later, services_.timings.clipboardBack,
          [this](std::optional<long> app) { return mayPasteNow(app); },
          [this] { return postPaste(); },
          [this] { return services_.platform.clipboard->available(); },
          [this](std::string_view how) { landed(how); },
          [this] {
            services_.platform.clipboard->keepAfterExit();
            services_.finished();
          }}),
      accessOn_(services_.trusted()) {
  if (!key) return;
  auto& lines = services_.lines;
  watcher_ = std::make_unique<HoldWatcher>(
      *key, services_.timings.holdDelay, services_.timings.ownKeys, services_.later,
      HoldWatcher::Callbacks{[this] { return onHeld(); }, [&lines] { lines.write("hold-up"); },
                             [&lines] { lines.write("hold-cancel"); },
                             [&lines] { lines.write("hold-stray"); },
                             [&lines] { lines.write("esc"); }});
}

void HoldKeyRun::see(const InputEvent& event) {
  if (watcher_) {
    watcher_->see(event);
  } else if (event.type == InputEvent::Type::KeyDown && event.key == KeyName::Escape) {
    services_.lines.write("esc");
  }
}

void HoldKeyRun::request(const std::string& line) {
  auto asked = HoldKeyRequest::parse(line);
  if (auto* land = std::get_if<HoldKeyRequest::Land>(&asked)) {
    lander_.land(std::move(land->text), land->app);
  } else if (auto* copy = std::get_if<HoldKeyRequest::Copy>(&asked)) {
    writeText(copy->text, *services_.platform.clipboard);
  } else if (std::holds_alternative<HoldKeyRequest::Front>(asked)) {
    services_.lines.write("front", appField(frontmostApp(services_.platform)));
  }
}

void HoldKeyRun::accessSeen(bool trusted) {
  if (accessOn_ && !trusted) services_.lines.write("access-lost");
  accessOn_ = trusted;
}

void HoldKeyRun::leave() { lander_.leave(); }

bool HoldKeyRun::onHeld() {
  auto front = frontmostApp(services_.platform);
  if (isPasswordBox(focusOf(services_.platform, front, services_.timings.askApp))) {
    services_.lines.write("hold-refused");
    return false;
  }
  auto fields = appField(front);
  fields["trusted"] = services_.trusted();
  services_.lines.write("hold-down", fields);
  return true;
}

bool HoldKeyRun::mayPasteNow(std::optional<long> into) {
  pasteFocus_ = Focus::unknown();
  auto front = frontmostApp(services_.platform);
  if (!front) return false;
  const auto& mayType = services_.mayType ? services_.mayType : services_.trusted;
  return shouldPaste(into, front->pid, front->id, mayType, [this, &front] {
    pasteFocus_ = focusOf(services_.platform, front, services_.timings.askApp);
    return pasteFocus_;
  });
}

bool HoldKeyRun::postPaste() {
  auto& input = *services_.platform.syntheticInput;
  auto keys = input.pasteKeys();
  if (!keys) return false;
  const bool terminal = pasteFocus_.kind == Focus::Kind::Element && pasteFocus_.role == "terminal";
  auto steps = pasteSteps(*keys, pasteKeyCode(*keys), terminal);
  if (watcher_) watcher_->expectOwn(steps);
  return input.post(steps);
}

void HoldKeyRun::landed(std::string_view how) {
  auto front = frontmostApp(services_.platform);
  services_.log.append("landed", how, {{"app", front ? front->id : "unknown"}});
  services_.lines.write("landed", {{"how", how}});
}
