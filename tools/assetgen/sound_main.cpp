// Renders and encodes the six sounds into the folder given.
#include <cstdio>
#include <string>

#include "mp3_out.h"
#include "sounds.h"

using namespace vxs;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <assets/sound folder>\n", argv[0]);
    return 2;
  }
  const std::string dir = std::string(argv[1]) + "/";
  bool ok = true;
  const char* songs[3] = {"bgm01.mp3", "bgm02.mp3", "bgm03.mp3"};
  for (int i = 0; i < 3; ++i) ok = WriteMp3(RenderSong(i), false, 112, (dir + songs[i]).c_str()) && ok;
  ok = WriteMp3(RenderExplosion(), true, 128, (dir + "bom2.mp3").c_str()) && ok;
  ok = WriteMp3(RenderShot(), true, 128, (dir + "SHOT.mp3").c_str()) && ok;
  ok = WriteMp3(RenderLockBlip(), true, 128, (dir + "Loc2.mp3").c_str()) && ok;
  return ok ? 0 : 1;
}
