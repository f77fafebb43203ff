// A folder of a test's own: made fresh under the system's temporary folder
// with a name no other test, suite or machine user can have at the same time,
// and removed with everything in it when the test ends. ctest runs tests in
// parallel, and two clones may run their suites at once: fixed names in the
// shared temporary folder would collide.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

namespace ordalyn::test {

class ScratchDir {
 public:
  ScratchDir() {
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
      const auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
      const std::string name = "ordalyn-test-" + std::to_string(random()) + "-" + std::to_string(counter++) +
                               "-" + std::to_string(tick % 1000000);
      std::error_code error;
      // create_directory is false when the name already exists: then another try.
      if (std::filesystem::create_directory(base / name, error)) {
        path_ = base / name;
        return;
      }
    }
    ADD_FAILURE() << "no scratch folder could be made in " << base;
  }
  ~ScratchDir() {
    std::error_code error;
    if (!path_.empty()) std::filesystem::remove_all(path_, error);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // A file's path inside the folder, as a string for the APIs that take one.
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace ordalyn::test
