// The folders a user installs from: each holds the three products and nothing else, laid out
// for its platform, and every Linux bundle loads into a host built without sanitizers, as into
// a DAW, and answers with its factory.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

namespace {

namespace fs = std::filesystem;

struct Product {
  const char* bundle;
  const char* className;  // what a DAW lists
};
constexpr Product kProducts[] = {
    {"Tarnwell", "Tarnwell"}, {"TarnwellTempo", "Tarnwell Tempo"}, {"TarnwellDuck", "Tarnwell Duck"}};

struct Platform {
  const char* folder;
  const char* arch;
  const char* suffix;
};
constexpr Platform kLinux{"linux", "x86_64-linux", ".so"};
constexpr Platform kPlatforms[] = {kLinux, {"windows", "x86_64-win", ".vst3"}};

std::set<std::string> EntriesOf(const fs::path& folder) {
  std::set<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) names.insert(entry.path().filename().string());
  return names;
}

const Product* ProductOfBundle(const std::string& folderName) {
  for (const Product& product : kProducts)
    if (folderName == std::string(product.bundle) + ".vst3") return &product;
  return nullptr;
}

std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

struct HostRun {
  int exitCode = -1;
  std::string output;
};

// `info` in a process of its own, with nothing preloaded and no sanitizer options inherited,
// as a DAW starts.
HostRun RunHostInfo(const fs::path& bundle) {
  const std::string command = "env -u LD_PRELOAD -u ASAN_OPTIONS -u UBSAN_OPTIONS " + ShellQuoted(UNSANITIZED_HOST) +
                              " info " + ShellQuoted(bundle.string()) + " 2>&1";
  HostRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[4096];
  size_t read = 0;
  while ((read = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, read);
  const int status = pclose(pipe);
  if (status != -1 && WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
  return run;
}

TEST(DistBundles, HoldTheThreeProductsOnlyLaidOutForTheirPlatform) {
  std::set<std::string> products;
  for (const Product& product : kProducts) products.insert(std::string(product.bundle) + ".vst3");
  for (const Platform& platform : kPlatforms) {
    const fs::path folder = fs::path(DIST_DIR) / platform.folder;
    SCOPED_TRACE(folder.string());
    ASSERT_TRUE(fs::is_directory(folder)) << "missing: scripts/build-all.sh lays it out";
    EXPECT_EQ(EntriesOf(folder), products);
    for (const Product& product : kProducts) {
      const fs::path contents = folder / (std::string(product.bundle) + ".vst3") / "Contents";
      EXPECT_EQ(EntriesOf(contents), (std::set<std::string>{platform.arch, "Resources"})) << contents;
      EXPECT_TRUE(fs::is_regular_file(contents / platform.arch / (std::string(product.bundle) + platform.suffix)))
          << contents;
      EXPECT_TRUE(fs::is_regular_file(contents / "Resources" / "web" / "index.html")) << contents;
    }
  }
}

TEST(DistBundles, EveryLinuxBundleLoadsIntoAHostWithoutSanitizersAndAnswersWithItsFactory) {
  ASSERT_TRUE(fs::is_regular_file(UNSANITIZED_HOST))
      << UNSANITIZED_HOST << " is missing: scripts/build-all.sh builds it";
  const fs::path folder = fs::path(DIST_DIR) / kLinux.folder;
  const std::set<std::string> bundles = EntriesOf(folder);
  ASSERT_FALSE(bundles.empty()) << folder << " holds no bundle: scripts/build-all.sh lays it out";
  for (const std::string& name : bundles) {
    const fs::path bundle = folder / name;
    SCOPED_TRACE(bundle.string());
    const Product* product = ProductOfBundle(name);
    if (product == nullptr) {
      ADD_FAILURE() << "not a product";
      continue;
    }
    const HostRun run = RunHostInfo(bundle);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    if (run.exitCode != 0) continue;
    const fs::path binary = bundle / "Contents" / kLinux.arch / (std::string(product->bundle) + kLinux.suffix);
    EXPECT_NE(run.output.find("module: " + binary.string() + "\n"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("factory: vendor \"TarnwellAudio\""), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("class 0: \"" + std::string(product->className) + "\" category \"Audio Module Class\""),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("  parameters: "), std::string::npos) << "no instance was created\n" << run.output;
  }
}

}  // namespace
