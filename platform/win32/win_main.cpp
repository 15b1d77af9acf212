// The process entry of programs written with a WinMain. Compiled into
// executables declared WIN32 only; tests and tools keep their own main().
#include <windows.h>

#include <string>

namespace {
struct VxInstanceTag {
  int unused;
} g_instance;
}  // namespace

int main(int argc, char** argv) {
  // The command line without the program name, as Windows hands it over.
  std::string commandLine;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) commandLine += ' ';
    commandLine += argv[i];
  }
  return WinMain(reinterpret_cast<HINSTANCE>(&g_instance), nullptr, &commandLine[0], SW_SHOWDEFAULT);
}
