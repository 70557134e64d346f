// Test main for widget tests: they must run without a display, in any order.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QApplication>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  // gtest_discover_tests runs the binary without the test's environment, so the
  // fallback has to live here.
  if (const char* p = std::getenv("QT_QPA_PLATFORM"); p == nullptr || *p == '\0') {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  }
  if (std::getenv("XDG_RUNTIME_DIR") == nullptr) {
    std::string dir = "/tmp/osc-test-runtime-" + std::to_string(getuid());
    mkdir(dir.c_str(), 0700);
    chmod(dir.c_str(), 0700);
    setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
  }
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
