#pragma once

#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>

// A failed keyring operation, with the keyring's numeric error code.
class SecretStoreError : public std::runtime_error {
 public:
  SecretStoreError(int code, const std::string& message)
      : std::runtime_error(message), code(code) {}
  int code;
};

// Which item: the keyring identifies one by these two attributes.
struct SecretKey {
  std::string service;
  std::string account;
};

// The user's keyring of small secrets. Exists so tests can replace it.
// Every call gives up after `limit` (a locked keyring may wait on a prompt) and throws
// SecretStoreError for any failure.
class SecretStore {
 public:
  using Limit = std::chrono::milliseconds;
  virtual ~SecretStore() = default;

  // The stored value, or nothing when no item matches.
  virtual std::optional<std::string> read(const SecretKey& key, Limit limit) = 0;
  // Replaces the value of the matching item, keeping its label and other attributes.
  // False (nothing written) when no item matches.
  virtual bool replace(const SecretKey& key, const std::string& value, Limit limit) = 0;
  // Creates a new item in the default collection.
  virtual void add(const SecretKey& key, const std::string& value, const std::string& label,
                   Limit limit) = 0;
  // Deletes the matching items; false when there was none.
  virtual bool remove(const SecretKey& key, Limit limit) = 0;
};
