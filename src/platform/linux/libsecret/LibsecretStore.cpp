#include "platform/linux/libsecret/LibsecretStore.h"

#include <libsecret/secret.h>

#include "platform/linux/gio/GioHandles.h"
#include "platform/linux/glib/CallLimit.h"
#include "platform/linux/glib/FinishedWithin.h"

namespace {

struct SecretValueUnref {
  void operator()(SecretValue* value) const { secret_value_unref(value); }
};
using SecretValuePtr = std::unique_ptr<SecretValue, SecretValueUnref>;

struct ItemListFree {
  void operator()(GList* items) const { g_list_free_full(items, g_object_unref); }
};
using ItemListPtr = std::unique_ptr<GList, ItemListFree>;

struct HashTableUnref {
  void operator()(GHashTable* table) const { g_hash_table_unref(table); }
};
using HashTablePtr = std::unique_ptr<GHashTable, HashTableUnref>;

// D-Bus carries attributes and labels as UTF-8 strings; other bytes would make libsecret drop
// the attribute and store the item under the wrong name.
void requireText(const std::string& text) {
  if (!g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr) ||
      text.find('\0') != std::string::npos) {
    throw SecretStoreError(G_IO_ERROR_INVALID_ARGUMENT, "Keyring names must be UTF-8 text.");
  }
}

// The attribute table of a key; it borrows the key's strings.
HashTablePtr attributesOf(const SecretKey& key) {
  requireText(key.service);
  requireText(key.account);
  HashTablePtr table(g_hash_table_new(g_str_hash, g_str_equal));
  g_hash_table_insert(table.get(), const_cast<char*>("service"),
                      const_cast<char*>(key.service.c_str()));
  g_hash_table_insert(table.get(), const_cast<char*>("account"),
                      const_cast<char*>(key.account.c_str()));
  return table;
}

// Throws for a failed call; a call cut short by its limit reports a time-out.
[[noreturn]] void raise(GError* raw, CallLimit& limit) {
  GErrorPtr error(raw);
  if (limit.fired()) {
    throw SecretStoreError(G_IO_ERROR_TIMED_OUT, "The keyring did not answer in time.");
  }
  if (!error) throw SecretStoreError(-1, "The keyring failed without saying why.");
  throw SecretStoreError(error->code, error->message);
}

GObjectPtr<SecretService> connect(CallLimit& limit) {
  GError* error = nullptr;
  SecretService* service =
      secret_service_get_sync(SECRET_SERVICE_NONE, limit.cancellable(), &error);
  if (service == nullptr) raise(error, limit);
  return GObjectPtr<SecretService>(service);
}

SecretValuePtr valueOf(const std::string& value) {
  return SecretValuePtr(
      secret_value_new(value.data(), static_cast<gssize>(value.size()), "text/plain"));
}

// How long past its limit a call may take to come back from its cancellation.
constexpr std::chrono::seconds LATE{1};

// Runs one call on a thread of its own and cancels it at its limit, so that the command ends at
// its limit and a second even when libsecret never completes the cancelled call (as after the
// keyring failed under an unlock prompt).
template <class Call>
auto bounded(SecretStore::Limit limit, Call call) {
  auto bound = std::make_shared<CallLimit>();
  auto finished = finishedWithin(
      limit, LATE, [bound, call = std::move(call)]() mutable { return call(*bound); },
      [bound] { bound->fire(); });
  if (!finished) throw SecretStoreError(G_IO_ERROR_TIMED_OUT, "The keyring did not answer in time.");
  return finished->get();
}

std::optional<std::string> readNow(const SecretKey& key, CallLimit& bound) {
  auto attributes = attributesOf(key);
  auto service = connect(bound);
  GError* error = nullptr;
  SecretValuePtr value(secret_service_lookup_sync(service.get(), nullptr, attributes.get(),
                                                  bound.cancellable(), &error));
  if (error != nullptr) raise(error, bound);
  if (!value) {
    // libsecret answers a locked item whose unlock was refused (or could not be asked) as no
    // item at all; the secret is there, only out of reach.
    ItemListPtr items(secret_service_search_sync(service.get(), nullptr, attributes.get(),
                                                 SECRET_SEARCH_ALL, bound.cancellable(), &error));
    if (error != nullptr) raise(error, bound);
    for (GList* item = items.get(); item != nullptr; item = item->next) {
      if (secret_item_get_locked(SECRET_ITEM(item->data))) {
        throw SecretStoreError(SECRET_ERROR_IS_LOCKED, "The keyring is locked.");
      }
    }
    return std::nullopt;
  }
  gsize length = 0;
  const gchar* bytes = secret_value_get(value.get(), &length);
  return std::string(bytes, length);
}

bool replaceNow(const SecretKey& key, const std::string& value, CallLimit& bound) {
  auto attributes = attributesOf(key);
  auto service = connect(bound);
  GError* error = nullptr;
  ItemListPtr items(secret_service_search_sync(service.get(), nullptr, attributes.get(),
                                               SECRET_SEARCH_UNLOCK, bound.cancellable(),
                                               &error));
  if (error != nullptr) raise(error, bound);
  if (!items) return false;
  auto secret = valueOf(value);
  if (!secret_item_set_secret_sync(SECRET_ITEM(items->data), secret.get(), bound.cancellable(),
                                   &error)) {
    raise(error, bound);
  }
  return true;
}

void addNow(const SecretKey& key, const std::string& value, const std::string& label,
            CallLimit& bound) {
  requireText(label);
  auto attributes = attributesOf(key);
  auto service = connect(bound);
  auto secret = valueOf(value);
  GError* error = nullptr;
  if (!secret_service_store_sync(service.get(), nullptr, attributes.get(),
                                 SECRET_COLLECTION_DEFAULT, label.c_str(), secret.get(),
                                 bound.cancellable(), &error)) {
    raise(error, bound);
  }
}

bool removeNow(const SecretKey& key, CallLimit& bound) {
  auto attributes = attributesOf(key);
  auto service = connect(bound);
  GError* error = nullptr;
  bool removed = secret_service_clear_sync(service.get(), nullptr, attributes.get(),
                                           bound.cancellable(), &error);
  if (error != nullptr) raise(error, bound);
  return removed;
}

}  // namespace

std::optional<std::string> LibsecretStore::read(const SecretKey& key, Limit limit) {
  return bounded(limit, [key](CallLimit& bound) { return readNow(key, bound); });
}

bool LibsecretStore::replace(const SecretKey& key, const std::string& value, Limit limit) {
  return bounded(limit,
                 [key, value](CallLimit& bound) { return replaceNow(key, value, bound); });
}

void LibsecretStore::add(const SecretKey& key, const std::string& value, const std::string& label,
                         Limit limit) {
  bounded(limit, [key, value, label](CallLimit& bound) { addNow(key, value, label, bound); });
}

bool LibsecretStore::remove(const SecretKey& key, Limit limit) {
  return bounded(limit, [key](CallLimit& bound) { return removeNow(key, bound); });
}
