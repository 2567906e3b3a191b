#include "platform/linux/wayland/DBusLink.h"

#include <algorithm>

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* BUS_NAME = "org.freedesktop.DBus";
constexpr const char* BUS_PATH = "/org/freedesktop/DBus";

// Makes the context the thread's default for as long as it lives: asynchronous calls and signal
// subscriptions made meanwhile deliver to it.
class ContextPushed {
 public:
  explicit ContextPushed(GMainContext* context) : context_(context) {
    g_main_context_push_thread_default(context_);
  }
  ~ContextPushed() { g_main_context_pop_thread_default(context_); }
  ContextPushed(const ContextPushed&) = delete;
  ContextPushed& operator=(const ContextPushed&) = delete;

 private:
  GMainContext* context_;
};

// Runs the context until `done` is set by one of its sources, or the limit has passed.
void runUntil(GMainContext* context, const bool& done, std::chrono::milliseconds limit) {
  bool expired = false;
  GSource* timer = g_timeout_source_new(static_cast<guint>(std::max<long>(0, limit.count())));
  g_source_set_callback(
      timer,
      [](gpointer flag) -> gboolean {
        *static_cast<bool*>(flag) = true;
        return G_SOURCE_REMOVE;
      },
      &expired, nullptr);
  g_source_attach(timer, context);
  while (!done && !expired) g_main_context_iteration(context, TRUE);
  g_source_destroy(timer);
  g_source_unref(timer);
}

// The bus connection the asynchronous connect hands over. Shared with its callback, which may
// come after the caller gave up waiting.
struct Connecting {
  GObjectPtr<GDBusConnection> bus;
  bool done = false;
};

void onConnected(GObject*, GAsyncResult* result, gpointer data) {
  std::unique_ptr<std::shared_ptr<Connecting>> state(static_cast<std::shared_ptr<Connecting>*>(data));
  GError* raw = nullptr;
  (*state)->bus.reset(g_bus_get_finish(result, &raw));
  GErrorPtr error(raw);
  (*state)->done = true;
}

// What a signal handler hands over: the signal's parameters.
struct Caught {
  GVariantPtr parameters;
  bool done = false;
};

void onSignal(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
              GVariant* parameters, gpointer data) {
  auto* caught = static_cast<Caught*>(data);
  if (caught->done) return;
  caught->parameters.reset(g_variant_ref(parameters));
  caught->done = true;
}

}  // namespace

DBusLink::DBusLink(GObjectPtr<GDBusConnection> bus, ContextPtr context)
    : bus_(std::move(bus)), context_(std::move(context)) {}

DBusLink::~DBusLink() = default;

std::unique_ptr<DBusLink> DBusLink::connect(std::chrono::milliseconds limit) {
  ContextPtr context(g_main_context_new());
  auto state = std::make_shared<Connecting>();
  GObjectPtr<GCancellable> cancel(g_cancellable_new());
  {
    ContextPushed pushed(context.get());
    g_bus_get(G_BUS_TYPE_SESSION, cancel.get(), onConnected,
              new std::shared_ptr<Connecting>(state));
  }
  runUntil(context.get(), state->done, limit);
  if (!state->done) {
    g_cancellable_cancel(cancel.get());
    return nullptr;
  }
  if (!state->bus) return nullptr;
  return std::unique_ptr<DBusLink>(new DBusLink(std::move(state->bus), std::move(context)));
}

GVariantPtr DBusLink::call(const std::string& name, const std::string& path,
                           const std::string& iface, const std::string& method, GVariant* args,
                           const char* replyType, std::chrono::milliseconds limit,
                           bool startService) {
  GError* raw = nullptr;
  GVariantPtr reply(g_dbus_connection_call_sync(
      bus_.get(), name.c_str(), path.c_str(), iface.c_str(), method.c_str(), args,
      replyType ? G_VARIANT_TYPE(replyType) : nullptr,
      startService ? G_DBUS_CALL_FLAGS_NONE : G_DBUS_CALL_FLAGS_NO_AUTO_START,
      static_cast<int>(limit.count()), nullptr, &raw));
  GErrorPtr error(raw);
  return reply;
}

bool DBusLink::hasOwner(const std::string& name, std::chrono::milliseconds limit) {
  auto reply = call(BUS_NAME, BUS_PATH, BUS_NAME, "NameHasOwner",
                    g_variant_new("(s)", name.c_str()), "(b)", limit);
  gboolean owned = FALSE;
  if (reply) g_variant_get(reply.get(), "(b)", &owned);
  return owned;
}

bool DBusLink::activatable(const std::string& name, std::chrono::milliseconds limit) {
  auto reply = call(BUS_NAME, BUS_PATH, BUS_NAME, "ListActivatableNames", nullptr, "(as)", limit);
  if (!reply) return false;
  GVariantPtr names(g_variant_get_child_value(reply.get(), 0));
  gsize count = 0;
  GMemoryPtr<const gchar*> all(g_variant_get_strv(names.get(), &count));
  return std::find(all.get(), all.get() + count, name) != all.get() + count;
}

std::string DBusLink::senderPathElement() const {
  std::string name = g_dbus_connection_get_unique_name(bus_.get());
  if (!name.empty() && name.front() == ':') name.erase(0, 1);
  std::replace(name.begin(), name.end(), '.', '_');
  return name;
}

unsigned DBusLink::subscribe(const std::string& sender, const std::string& iface,
                             const std::string& member, const std::string& path, void* into) {
  ContextPushed pushed(context_.get());
  return g_dbus_connection_signal_subscribe(bus_.get(), sender.c_str(), iface.c_str(),
                                            member.c_str(), path.c_str(), nullptr,
                                            G_DBUS_SIGNAL_FLAGS_NONE, onSignal, into, nullptr);
}

GVariantPtr DBusLink::awaitSignal(const std::string& sender, const std::string& iface,
                                  const std::string& member, const std::string& path,
                                  const std::function<std::optional<std::string>()>& send,
                                  std::chrono::milliseconds limit) {
  Caught caught;
  const unsigned predicted = subscribe(sender, iface, member, path, &caught);
  unsigned actual = 0;
  std::optional<std::string> sentTo = send();
  if (sentTo) {
    if (*sentTo != path) actual = subscribe(sender, iface, member, *sentTo, &caught);
    runUntil(context_.get(), caught.done, limit);
  }
  // Once unsubscribed, a signal still queued on the context is not handed to the handler.
  g_dbus_connection_signal_unsubscribe(bus_.get(), predicted);
  if (actual != 0) g_dbus_connection_signal_unsubscribe(bus_.get(), actual);
  return caught.done ? std::move(caught.parameters) : nullptr;
}
