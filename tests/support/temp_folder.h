#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace qrt::testing {

/// A folder of the running test's own under the system's temporary folder, removed
/// with the object (kept when the test failed, for a look at its files).
class TempFolder {
  public:
    explicit TempFolder(const std::string& prefix) {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = prefix + "_" + std::to_string(::getpid());
        if (info != nullptr) {
            name += std::string("_") + info->test_suite_name() + "_" + info->name();
        }
        for (char& c : name) {
            c = c == '/' ? '_' : c;
        }
        path_ = std::filesystem::temp_directory_path() / name;
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        if (test == nullptr || !test->result()->Failed()) {
            std::error_code ignored;
            std::filesystem::remove_all(path_, ignored);
        }
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    [[nodiscard]] const std::filesystem::path& path() const { return path_; }
    [[nodiscard]] std::string file(const std::string& name) const {
        return (path_ / name).string();
    }

  private:
    std::filesystem::path path_;
};

}  // namespace qrt::testing
