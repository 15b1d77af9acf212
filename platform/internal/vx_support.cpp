// The stderr lines and text conversion every platform family uses.
#include "vx_support.h"

#include <SDL.h>
#include <errno.h>

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <set>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

std::string VxUtf32ToUtf8(const wchar_t* text) {
  std::string out;
  if (!text) return out;
  for (; *text; ++text) {
    uint32_t c = static_cast<uint32_t>(*text);
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::wstring VxUtf8ToUtf32(const char* text) {
  static const uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};  // below these a sequence is overlong
  std::wstring out;
  const auto* s = reinterpret_cast<const unsigned char*>(text ? text : "");
  while (*s) {
    int length = *s < 0x80 ? 1 : *s < 0xC2 ? 0 : *s < 0xE0 ? 2 : *s < 0xF0 ? 3 : *s < 0xF5 ? 4 : 0;
    uint32_t c = length == 1 ? *s : length == 2 ? *s & 0x1F : length == 3 ? *s & 0x0F : *s & 0x07;
    for (int i = 1; i < length; ++i) {
      if ((s[i] & 0xC0) != 0x80) {
        length = 0;
        break;
      }
      c = (c << 6) | (s[i] & 0x3F);
    }
    if (length == 0 || c < kLeast[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      out += wchar_t(0xFFFD);
      ++s;  // the next byte may start a good sequence
    } else {
      out += wchar_t(c);
      s += length;
    }
  }
  return out;
}

void VxPrepareSdl() {
  static std::once_flag once;
  std::call_once(once, [] {
    VxExcuseLibraryLeaks();
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // SDL joins the session bus at its first start, whichever subsystem it
    // starts. With no bus on an X display, libdbus tries to launch one, fails
    // and leaks what it read meanwhile: that join is made here, with nothing
    // else, so that only it goes unchecked.
#if defined(__SANITIZE_ADDRESS__)
    __lsan_disable();
#endif
    SDL_InitSubSystem(0);
#if defined(__SANITIZE_ADDRESS__)
    __lsan_enable();
#endif
  });
}

std::string VxPathToUtf8(const wchar_t* path) {
  std::string out = VxUtf32ToUtf8(path);
  for (char& c : out) {
    if (c == '\\') c = '/';
  }
  return out;
}

void VxReportOnce(const char* what, const char* detail) {
  // Never destroyed: worker threads may report while exit() runs.
  static std::mutex& mutex = *new std::mutex;
  static std::set<std::string>& said = *new std::set<std::string>;
  {
    std::lock_guard<std::mutex> lock(mutex);
    if (!said.insert(what ? what : "").second) return;
  }
  VxReportEnvironmentFailure(what, detail);
}

void VxReportEnvironmentFailure(const char* what, const char* detail) {
  // The name the process was started under, as argv[0]'s last component.
  std::string line = program_invocation_short_name;
  line += ": ";
  line += what ? what : "environment failure";
  if (detail && *detail) {
    line += ": ";
    line += detail;
  }
  for (char& c : line) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  line += '\n';
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
}

