#include "platform/linux/wayland/RemoteDesktopInput.h"

#include <cstring>
#include <thread>
#include <utility>

#include "platform/linux/wayland/MutterSession.h"
#include "platform/linux/wayland/PortalSession.h"
#include "platform/linux/wayland/XkbKeymap.h"

namespace {

constexpr unsigned KERNEL_LEFT_SHIFT = 42;
constexpr const char* INPUT_SOURCES = "org.gnome.desktop.input-sources";

struct SchemaUnref {
  void operator()(GSettingsSchema* schema) const { g_settings_schema_unref(schema); }
};

// GNOME's layout: the first keyboard layout among its input sources, "LAYOUT" or
// "LAYOUT+VARIANT"; "" where the setting is not installed or names none.
std::string gnomeLayout() {
  GSettingsSchemaSource* installed = g_settings_schema_source_get_default();
  if (!installed) return "";
  std::unique_ptr<GSettingsSchema, SchemaUnref> schema(
      g_settings_schema_source_lookup(installed, INPUT_SOURCES, TRUE));
  if (!schema || !g_settings_schema_has_key(schema.get(), "sources")) return "";
  GObjectPtr<GSettings> settings(g_settings_new_full(schema.get(), nullptr, nullptr));
  GVariantPtr sources(g_settings_get_value(settings.get(), "sources"));
  if (!g_variant_is_of_type(sources.get(), G_VARIANT_TYPE("a(ss)"))) return "";
  GVariantIter each;
  g_variant_iter_init(&each, sources.get());
  const gchar* kind = nullptr;
  const gchar* name = nullptr;
  while (g_variant_iter_next(&each, "(&s&s)", &kind, &name)) {
    if (std::strcmp(kind, "xkb") == 0 && name[0] != '\0') return name;
  }
  return "";
}

}  // namespace

RemoteDesktopInput::RemoteDesktopInput() : RemoteDesktopInput(RemoteDesktopTimings{}) {}

RemoteDesktopInput::RemoteDesktopInput(const RemoteDesktopTimings& timings) : timings_(timings) {}

RemoteDesktopInput::~RemoteDesktopInput() = default;

DBusLink* RemoteDesktopInput::link() {
  if (!link_) link_ = DBusLink::connect(timings_.callLimit);
  return link_.get();
}

bool RemoteDesktopInput::available() {
  DBusLink* bus = link();
  return bus && (PortalSession::offered(*bus, timings_) || MutterSession::offered(*bus, timings_));
}

std::optional<PasteKeys> RemoteDesktopInput::pasteKeys() {
  const std::string layout = gnomeLayout();
  if (pasteKeys_ && layout == layout_) return pasteKeys_;
  const auto plus = layout.find('+');
  auto keymap = plus == std::string::npos
                    ? XkbKeymap::fromNames(layout)
                    : XkbKeymap::fromNames(layout.substr(0, plus), layout.substr(plus + 1));
  if (!keymap) return std::nullopt;
  layout_ = layout;
  pasteKeys_ = keymap->pasteKeys();
  return pasteKeys_;
}

bool RemoteDesktopInput::start() {
  // The user answered the one consent dialog of this run already: with no way to restore that
  // session, another would mean asking again.
  if (refused_ || (consented_ && restoreToken_.empty())) return false;
  DBusLink* bus = link();
  if (!bus) return false;
  auto opening = PortalSession::open(*bus, timings_, restoreToken_);
  switch (opening.outcome) {
    case PortalSession::Outcome::Started:
      session_ = std::move(opening.session);
      consented_ = true;
      break;
    case PortalSession::Outcome::Refused:
      refused_ = true;
      return false;
    case PortalSession::Outcome::Absent:
      session_ = MutterSession::open(*bus, timings_);
      if (!session_) return false;
      break;
  }
  if (!session_->key(KERNEL_LEFT_SHIFT, true) || !session_->key(KERNEL_LEFT_SHIFT, false)) {
    session_.reset();
    return false;
  }
  std::this_thread::sleep_for(timings_.wakeSettle);
  return true;
}

bool RemoteDesktopInput::post(const std::vector<KeyStep>& steps) {
  if (!session_ && !start()) return false;
  for (const auto& step : steps) {
    if (!session_->key(XkbKeymap::kernelCode(step.code), step.down)) {
      session_.reset();
      return false;
    }
  }
  return true;
}
