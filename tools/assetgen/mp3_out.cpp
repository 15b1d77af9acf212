#include "mp3_out.h"

#include <lame/lame.h>

#include <cstdio>
#include <vector>

namespace vxs {

bool WriteMp3(const Stereo& s, bool mono, int kbps, const char* path) {
  lame_global_flags* gf = lame_init();
  if (!gf) {
    std::fprintf(stderr, "LAME failed to start\n");
    return false;
  }
  lame_set_in_samplerate(gf, kRate);
  lame_set_out_samplerate(gf, kRate);
  lame_set_num_channels(gf, mono ? 1 : 2);
  lame_set_mode(gf, mono ? MONO : JOINT_STEREO);
  lame_set_brate(gf, kbps);
  lame_set_quality(gf, 2);
  lame_set_bWriteVbrTag(gf, 1);
  if (lame_init_params(gf) < 0) {
    std::fprintf(stderr, "LAME rejected the settings for %s\n", path);
    lame_close(gf);
    return false;
  }
  const int n = int(s.Frames());
  std::vector<unsigned char> buf(size_t(1.25 * n) + 7200 + 16384);
  int bytes = lame_encode_buffer_ieee_float(gf, s.l.data(), mono ? nullptr : s.r.data(), n,
                                            buf.data(), int(buf.size()));
  if (bytes < 0) {
    std::fprintf(stderr, "LAME failed encoding %s (%d)\n", path, bytes);
    lame_close(gf);
    return false;
  }
  const int tail = lame_encode_flush(gf, buf.data() + bytes, int(buf.size()) - bytes);
  bytes += tail > 0 ? tail : 0;

  FILE* f = std::fopen(path, "wb");
  bool ok = f != nullptr;
  if (ok) {
    ok = std::fwrite(buf.data(), 1, size_t(bytes), f) == size_t(bytes);
    // The info frame is only complete now; it replaces the placeholder the
    // encoder put first.
    unsigned char tag[2880];
    const size_t tagLen = lame_get_lametag_frame(gf, tag, sizeof tag);
    if (ok && tagLen > 0 && tagLen <= sizeof tag) {
      ok = std::fseek(f, 0, SEEK_SET) == 0 && std::fwrite(tag, 1, tagLen, f) == tagLen;
    }
    ok = (std::fclose(f) == 0) && ok;
  }
  if (!ok) std::fprintf(stderr, "cannot write %s\n", path);
  lame_close(gf);
  return ok;
}

}  // namespace vxs
