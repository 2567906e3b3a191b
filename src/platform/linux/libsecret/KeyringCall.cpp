#include "platform/linux/libsecret/KeyringCall.h"

#include <algorithm>

namespace {

[[noreturn]] void timedOut() {
  throw SecretStoreError(G_IO_ERROR_TIMED_OUT, "The keyring did not answer in time.");
}

}  // namespace

KeyringCall::KeyringCall(SecretStore::Limit limit, std::chrono::milliseconds late)
    : cancellable_(g_cancellable_new()),
      deadline_(OwnContext::Clock::now() + limit),
      late_(late) {}

GObjectPtr<GAsyncResult> KeyringCall::await(const Start& start) {
  return std::move(awaitAll({start}).front());
}

std::vector<GObjectPtr<GAsyncResult>> KeyringCall::awaitAll(const std::vector<Start>& starts) {
  // Each call's callback fills its own slot; the slots stay put, since only this function runs
  // the context.
  std::vector<GAsyncResult*> results(starts.size(), nullptr);
  for (std::size_t i = 0; i < starts.size(); ++i) {
    starts[i](
        [](GObject*, GAsyncResult* answered, gpointer into) {
          *static_cast<GAsyncResult**>(into) = G_ASYNC_RESULT(g_object_ref(answered));
        },
        &results[i]);
  }
  auto arrived = [&results] {
    return std::all_of(results.begin(), results.end(), [](GAsyncResult* r) { return r != nullptr; });
  };
  if (!context_.runUntil(arrived, deadline_) && !cancelled_) {
    cancelled_ = true;
    g_cancellable_cancel(cancellable_.get());
  }
  const bool answered = context_.runUntil(arrived, deadline_ + late_);
  std::vector<GObjectPtr<GAsyncResult>> owned;
  for (GAsyncResult* result : results) owned.emplace_back(result);
  if (!answered) timedOut();
  return owned;
}

void KeyringCall::raise(GError* raw) const {
  GErrorPtr error(raw);
  if (cancelled_) timedOut();
  if (!error) throw SecretStoreError(-1, "The keyring failed without saying why.");
  throw SecretStoreError(error->code, error->message);
}

GObjectPtr<SecretService> KeyringCall::connect() {
  auto result = await([this](GAsyncReadyCallback done, gpointer data) {
    secret_service_open(SECRET_TYPE_SERVICE, nullptr, SECRET_SERVICE_NONE, cancellable(), done,
                        data);
  });
  GError* error = nullptr;
  SecretService* service = secret_service_open_finish(result.get(), &error);
  if (service == nullptr) raise(error);
  return GObjectPtr<SecretService>(service);
}

GObjectList KeyringCall::search(SecretService* service, GHashTable* attributes,
                                SecretSearchFlags flags) {
  auto result = await([&](GAsyncReadyCallback done, gpointer data) {
    secret_service_search(service, nullptr, attributes, flags, cancellable(), done, data);
  });
  GError* error = nullptr;
  GObjectList items(secret_service_search_finish(service, result.get(), &error));
  if (error != nullptr) raise(error);
  return items;
}
