// A credential store in memory that can refuse every write, for the session store's tests.
#pragma once

#include <map>
#include <string>

#include "platform/credential_store.h"

namespace test {

struct FakeCredentials final : plugkit::platform::CredentialStore {
  std::optional<std::string> Read(const std::string& target) override {
    const auto found = items.find(target);
    return found != items.end() ? std::optional<std::string>(found->second) : std::nullopt;
  }
  bool Write(const std::string& target, const std::string& userName, std::string_view blob) override {
    if (refuseWrites) return false;
    items[target] = std::string(blob);
    users[target] = userName;
    return true;
  }
  bool Delete(const std::string& target) override { return items.erase(target) > 0; }

  bool refuseWrites = false;
  std::map<std::string, std::string> items;
  std::map<std::string, std::string> users;
};

}  // namespace test
