#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>

#include "platform/SecretStore.h"

// A keyring in memory. `failWith` makes every call throw that code.
class FakeSecretStore final : public SecretStore {
 public:
  struct Item {
    std::string value;
    std::string label;
  };
  std::map<std::pair<std::string, std::string>, Item> items;
  std::optional<int> failWith;
  std::optional<int> failAddWith;
  int calls = 0;

  std::optional<std::string> read(const SecretKey& key, Limit) override {
    check();
    auto found = items.find({key.service, key.account});
    if (found == items.end()) return std::nullopt;
    return found->second.value;
  }
  bool replace(const SecretKey& key, const std::string& value, Limit) override {
    check();
    auto found = items.find({key.service, key.account});
    if (found == items.end()) return false;
    found->second.value = value;
    return true;
  }
  void add(const SecretKey& key, const std::string& value, const std::string& label,
           Limit) override {
    check();
    if (failAddWith) throw SecretStoreError(*failAddWith, "add refused");
    items[{key.service, key.account}] = Item{value, label};
  }
  bool remove(const SecretKey& key, Limit) override {
    check();
    return items.erase({key.service, key.account}) > 0;
  }

 private:
  void check() {
    ++calls;
    if (failWith) throw SecretStoreError(*failWith, "refused");
  }
};
