// The shell's start-up as the tests and benchmarks run it, in the program's
// own steps and order, for the shell's functions and globals to work on.
#pragma once

#include "app/shell.h"

namespace support {

// COM, the factories and imaging, then (with loadImages) the two images from
// images\ below the working directory, then the device-independent
// resources. Null once all is made; else a line saying what failed.
inline const char* StartShell(bool loadImages) {
  bool comStarted = false;
  if (FAILED(StartFactories(&comStarted))) return "COM, the Direct2D or DirectWrite factory, or imaging did not start";
  if (loadImages) {
    try {
      LoadImageAssets();
    } catch (...) {
      return "images\\back01.png or images\\jiki1.png did not load";
    }
  }
  if (FAILED(CreateDeviceIndependentResources())) return "the text formats or the stroke style could not be made";
  return nullptr;
}

}  // namespace support
