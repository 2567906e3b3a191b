#include "platform/linux/libsecret/LibsecretStore.h"

#include <libsecret/secret.h>

#include "platform/linux/gio/GioHandles.h"
#include "platform/linux/libsecret/KeyringCall.h"

namespace {

struct SecretValueUnref {
  void operator()(SecretValue* value) const { secret_value_unref(value); }
};
using SecretValuePtr = std::unique_ptr<SecretValue, SecretValueUnref>;

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

std::string textOf(const SecretValuePtr& value) {
  gsize length = 0;
  const gchar* bytes = secret_value_get(value.get(), &length);
  return std::string(bytes, length);
}

SecretValuePtr valueOf(const std::string& value) {
  return SecretValuePtr(
      secret_value_new(value.data(), static_cast<gssize>(value.size()), "text/plain"));
}

}  // namespace

SecretService* LibsecretStore::service(KeyringCall& call) {
  if (!service_) service_ = call.connect();
  return service_.get();
}

std::optional<std::string> LibsecretStore::read(const SecretKey& key, Limit limit) {
  auto attributes = attributesOf(key);
  KeyringCall call(limit);
  SecretService* keyring = service(call);
  // The search goes out first; the session's key exchange, which costs the keyring and us a
  // millisecond or two of arithmetic each, runs while the search is answered.
  auto found = call.awaitAll({[&](GAsyncReadyCallback done, gpointer data) {
                                secret_service_search_for_dbus_paths(
                                    keyring, nullptr, attributes.get(), call.cancellable(), done,
                                    data);
                              },
                              [&](GAsyncReadyCallback done, gpointer data) {
                                secret_service_ensure_session(keyring, call.cancellable(), done,
                                                              data);
                              }});
  GError* error = nullptr;
  gchar** unlockedPaths = nullptr;
  gchar** lockedPaths = nullptr;
  if (!secret_service_search_for_dbus_paths_finish(keyring, found[0].get(), &unlockedPaths,
                                                   &lockedPaths, &error)) {
    call.raise(error);
  }
  GStrvPtr unlocked(unlockedPaths), locked(lockedPaths);
  if (!secret_service_ensure_session_finish(keyring, found[1].get(), &error)) call.raise(error);
  if (unlocked && unlocked.get()[0] != nullptr) {
    const gchar* path = unlocked.get()[0];
    auto result = call.await([&](GAsyncReadyCallback done, gpointer data) {
      secret_service_get_secret_for_dbus_path(keyring, path, call.cancellable(), done, data);
    });
    SecretValuePtr value(secret_service_get_secret_for_dbus_path_finish(keyring, result.get(),
                                                                        &error));
    if (error != nullptr) call.raise(error);
    // An item deleted since the search reads as none.
    if (!value) return std::nullopt;
    return textOf(value);
  }
  if (!locked || locked.get()[0] == nullptr) return std::nullopt;
  // Only locked items: libsecret's lookup asks the keyring to unlock them (a prompt), and
  // answers a refused unlock as no item at all; the secret is there, only out of reach.
  auto result = call.await([&](GAsyncReadyCallback done, gpointer data) {
    secret_service_lookup(keyring, nullptr, attributes.get(), call.cancellable(), done, data);
  });
  SecretValuePtr value(secret_service_lookup_finish(keyring, result.get(), &error));
  if (error != nullptr) call.raise(error);
  if (!value) {
    auto items = call.search(keyring, attributes.get(), SECRET_SEARCH_ALL);
    for (GList* item = items.get(); item != nullptr; item = item->next) {
      if (secret_item_get_locked(SECRET_ITEM(item->data))) {
        throw SecretStoreError(SECRET_ERROR_IS_LOCKED, "The keyring is locked.");
      }
    }
    return std::nullopt;
  }
  return textOf(value);
}

bool LibsecretStore::replace(const SecretKey& key, const std::string& value, Limit limit) {
  auto attributes = attributesOf(key);
  KeyringCall call(limit);
  auto items = call.search(service(call), attributes.get(), SECRET_SEARCH_UNLOCK);
  if (!items) return false;
  auto secret = valueOf(value);
  auto* item = SECRET_ITEM(items->data);
  auto result = call.await([&](GAsyncReadyCallback done, gpointer data) {
    secret_item_set_secret(item, secret.get(), call.cancellable(), done, data);
  });
  GError* error = nullptr;
  if (!secret_item_set_secret_finish(item, result.get(), &error)) call.raise(error);
  return true;
}

void LibsecretStore::add(const SecretKey& key, const std::string& value, const std::string& label,
                         Limit limit) {
  requireText(label);
  auto attributes = attributesOf(key);
  KeyringCall call(limit);
  SecretService* keyring = service(call);
  auto secret = valueOf(value);
  auto result = call.await([&](GAsyncReadyCallback done, gpointer data) {
    secret_service_store(keyring, nullptr, attributes.get(), SECRET_COLLECTION_DEFAULT,
                         label.c_str(), secret.get(), call.cancellable(), done, data);
  });
  GError* error = nullptr;
  if (!secret_service_store_finish(keyring, result.get(), &error)) call.raise(error);
}

bool LibsecretStore::remove(const SecretKey& key, Limit limit) {
  auto attributes = attributesOf(key);
  KeyringCall call(limit);
  SecretService* keyring = service(call);
  auto result = call.await([&](GAsyncReadyCallback done, gpointer data) {
    secret_service_clear(keyring, nullptr, attributes.get(), call.cancellable(), done, data);
  });
  GError* error = nullptr;
  bool removed = secret_service_clear_finish(keyring, result.get(), &error);
  if (error != nullptr) call.raise(error);
  return removed;
}
