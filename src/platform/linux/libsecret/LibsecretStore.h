#pragma once

#include <libsecret/secret.h>

#include "platform/SecretStore.h"
#include "platform/linux/gio/GioHandles.h"

class KeyringCall;

// The Secret Service (the desktop keyring) through libsecret. Items carry exactly the two
// attributes of their SecretKey, no schema name, and live in the default collection.
// Threads: called from the command's thread only, which runs each operation's calls itself
// (KeyringCall), within its limit and a second longer at most.
class LibsecretStore : public SecretStore {
 public:
  std::optional<std::string> read(const SecretKey& key, Limit limit) override;
  bool replace(const SecretKey& key, const std::string& value, Limit limit) override;
  void add(const SecretKey& key, const std::string& value, const std::string& label,
           Limit limit) override;
  bool remove(const SecretKey& key, Limit limit) override;

 private:
  // The service, connected by the first operation and kept for the others (a new item after a
  // search, in set), so that they share its encrypted session.
  SecretService* service(KeyringCall& call);

  GObjectPtr<SecretService> service_;
};
