// The account token's stores as another program may leave them: the input is the session
// file (first byte even) or the credential's blob (first byte odd, the rest of the input),
// read by the page's "get" request. Whatever they hold, the reply the page receives is JSON
// that reads back, and a token from the file is a valid one or none.
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <system_error>

#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_folders.h"
#include "rack/session_request.h"
#include "rack/session_token_store.h"
#include "rack/ui_msg_tag.h"
#include "rack/ui_outbox.h"

namespace {

struct OneCredential final : plugkit::platform::CredentialStore {
  std::optional<std::string> Read(const std::string&) override { return blob; }
  bool Write(const std::string&, const std::string&, std::string_view) override { return false; }
  bool Delete(const std::string&) override { return false; }
  std::optional<std::string> blob;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::filesystem::path scratch = tarnwell::fuzz::UseScratchUserFolders();
  static OneCredential credentials;
  static tarnwell::SessionTokenStore store(credentials, (scratch / "store").string());
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const bool inCredential = size > 0 && (data[0] & 1) != 0;
  credentials.blob = inCredential ? std::optional<std::string>(bytes.substr(1)) : std::nullopt;
  const std::string path = store.SessionFilePathCreatingFolder();
  std::error_code error;
  if (inCredential)
    std::filesystem::remove(path, error);
  else
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  static const std::string get = R"({"action":"get","request_id":7})";
  const tarnwell::UIRequest request{tarnwell::TagValue(tarnwell::UIMsgTag::SessionRequest),
                                    0,
                                    {reinterpret_cast<const uint8_t*>(get.data()), get.size()}};
  const std::string reply = tarnwell::CompactJson(tarnwell::SessionReply(store, request));
  const nlohmann::json page = nlohmann::json::parse(reply, nullptr, false);
  tarnwell::fuzz::Require(page.is_object(), "the page receives a reply that reads back");
  const nlohmann::json* token = page.contains("token") ? &page["token"] : nullptr;
  tarnwell::fuzz::Require(inCredential || token == nullptr || !token->is_string() ||
                              token->get<std::string>().empty() ||
                              tarnwell::IsValidSessionToken(token->get<std::string>()),
                          "a token from the session file is a valid one");
  return 0;
}
