#pragma once

#include "platform/SecretStore.h"

// The Secret Service (the desktop keyring) through libsecret. Items carry exactly the two
// attributes of their SecretKey, no schema name, and live in the default collection.
// Threads: called from the command's thread only; each call runs synchronously on a thread of its
// own, bounded by its limit, and the command's thread waits for it a second longer at most.
class LibsecretStore : public SecretStore {
 public:
  std::optional<std::string> read(const SecretKey& key, Limit limit) override;
  bool replace(const SecretKey& key, const std::string& value, Limit limit) override;
  void add(const SecretKey& key, const std::string& value, const std::string& label,
           Limit limit) override;
  bool remove(const SecretKey& key, Limit limit) override;
};
