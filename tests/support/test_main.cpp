// Every test program runs in a fresh temporary directory of its own: what
// its tests write (sound files, images, a child's stderr) never lands where
// it was started, and a passing run leaves nothing behind. A failing run
// keeps the directory for a look and says where it is.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  std::error_code error;
  fs::path base = fs::temp_directory_path(error);
  if (error) base = "/tmp";
  std::string pattern = (base / "vexalon-test-XXXXXX").string();
  if (!mkdtemp(pattern.data()) || chdir(pattern.c_str()) != 0) {
    std::perror(("cannot make a working directory in " + base.string()).c_str());
    return 2;
  }
  int result = RUN_ALL_TESTS();
  if (result == 0) {
    fs::remove_all(pattern, error);
  } else {
    std::fprintf(stderr, "the tests' files are kept in %s\n", pattern.c_str());
  }
  return result;
}
