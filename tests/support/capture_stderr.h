// What the code under test writes to stderr while a function runs.
#pragma once
#include <stdio.h>
#include <unistd.h>

#include <string>

namespace support {

template <class F>
std::string CaptureStderr(F run) {
  fflush(stderr);
  FILE* sink = tmpfile();
  if (!sink) return "<no temporary file>";
  const int saved = dup(2);
  dup2(fileno(sink), 2);
  run();
  fflush(stderr);
  dup2(saved, 2);
  close(saved);
  std::string text;
  rewind(sink);
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, sink)) > 0;) text.append(buffer, n);
  fclose(sink);
  return text;
}

// The start of every line the platform writes: the program's own name.
inline std::string ProgramPrefix() { return std::string(program_invocation_short_name) + ": "; }

}  // namespace support
