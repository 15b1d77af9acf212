// MP3 decoding with libmpg123, streamed, with a linear resampler to the
// mixer's rate. Position arithmetic is exact (integers), so a seek to output
// frame n resumes with the very samples a continuous read would have given.
#include "vx_dshow.h"

#include <mpg123.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace vxds {

namespace {

HRESULT ErrnoToHresult(int error, std::string* why) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG: *why = "not found"; break;
    case EACCES:
    case EPERM: *why = "not readable (permission denied)"; break;
    default: *why = std::string("not readable (") + std::strerror(error) + ")"; break;
  }
  switch (error) {
    case ENOENT: return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    case ENOTDIR:
    case ENAMETOOLONG: return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    case EACCES:
    case EPERM: return E_ACCESSDENIED;
    case ENOMEM: return E_OUTOFMEMORY;
    default: return VFW_E_NOT_FOUND;
  }
}

// What a refused file is, by its first bytes: one that starts as MP3 files
// do (an ID3 tag or an MPEG audio frame) is cut short or damaged.
const char* WhatIsWrong(int fd) {
  uint8_t head[3] = {};
  const bool mp3 = pread(fd, head, sizeof head, 0) == ssize_t(sizeof head) &&
                   ((head[0] == 'I' && head[1] == 'D' && head[2] == '3') || (head[0] == 0xFF && (head[1] & 0xE0) == 0xE0));
  return mp3 ? "truncated or corrupt" : "not an MP3";
}

}  // namespace

HRESULT Mpg123Source::Open(const std::string& path, int outRate, std::unique_ptr<Mpg123Source>* out,
                           std::string* why) {
  out->reset();
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return ErrnoToHresult(errno, why);
  // A directory opens and then reads as an error; FIFOs and devices may never end.
  if (!S_ISREG(st.st_mode)) {
    *why = S_ISDIR(st.st_mode) ? "a folder" : "not a regular file";
    return E_ACCESSDENIED;
  }
  if (st.st_size == 0) {
    *why = "empty";
    return VFW_E_INVALID_FILE_FORMAT;
  }

  std::unique_ptr<Mpg123Source> s(new Mpg123Source());
  s->outRate_ = outRate;
  s->fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (s->fd_ < 0) return ErrnoToHresult(errno, why);

  int err = MPG123_OK;
  s->mh_ = mpg123_new(nullptr, &err);
  if (!s->mh_) {
    *why = "out of memory";
    return E_OUTOFMEMORY;
  }
  // Strict: no hunting through junk for something that looks like a frame, and
  // tags are skipped rather than parsed into memory.
  mpg123_param(s->mh_, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_NO_RESYNC | MPG123_SKIP_ID3V2 | MPG123_GAPLESS, 0);
  mpg123_param(s->mh_, MPG123_RESYNC_LIMIT, 0, 0);
  mpg123_format_none(s->mh_);
  const long* rates = nullptr;
  size_t rateCount = 0;
  mpg123_rates(&rates, &rateCount);
  for (size_t i = 0; i < rateCount; ++i) {
    mpg123_format(s->mh_, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
  }
  *why = WhatIsWrong(s->fd_);
  if (mpg123_open_fd(s->mh_, s->fd_) != MPG123_OK) return VFW_E_UNSUPPORTED_STREAM;

  long rate = 0;
  int channels = 0, encoding = 0;
  int r = mpg123_getformat(s->mh_, &rate, &channels, &encoding);
  if (r != MPG123_OK) {
    // Nothing that parses as a frame: cut short, or not MPEG audio at all.
    off_t consumed = mpg123_tell_stream(s->mh_);
    if (consumed >= 0 && consumed < 4) {
      *why = "truncated or corrupt";
      return VFW_E_INVALID_FILE_FORMAT;
    }
    return VFW_E_UNSUPPORTED_STREAM;
  }
  if (rate <= 0 || (channels != 1 && channels != 2) || encoding != MPG123_ENC_FLOAT_32) {
    return VFW_E_UNSUPPORTED_STREAM;
  }
  mpg123_format_none(s->mh_);
  mpg123_format(s->mh_, rate, channels, MPG123_ENC_FLOAT_32);  // fixed from here on
  s->srcRate_ = rate;
  s->channels_ = channels;
  s->raw_.resize(std::max<size_t>(mpg123_outblock(s->mh_) / sizeof(float), 2304 * 2));
  s->buf_.resize((s->raw_.size() / channels + 2) * 2);

  off_t srcLength = mpg123_length(s->mh_);
  if (srcLength > 0) s->length_ = (int64_t(srcLength) * outRate + rate - 1) / rate;

  // Playable means at least one frame decodes.
  *why = "truncated or corrupt";
  if (!s->Fill()) return VFW_E_UNSUPPORTED_STREAM;
  why->clear();
  *out = std::move(s);
  return S_OK;
}

Mpg123Source::~Mpg123Source() {
  if (mh_) {
    mpg123_close(mh_);
    mpg123_delete(mh_);
  }
  if (fd_ >= 0) close(fd_);
}

bool Mpg123Source::Fill() {
  if (ended_) return false;
  // Keep what is still needed (the frame at srcIndex_ and after), drop the rest.
  int64_t keepFrom = std::max(srcIndex_, bufBase_);
  int keep = int(std::max<int64_t>(0, bufBase_ + bufCount_ - keepFrom));
  if (keep > 0 && keepFrom != bufBase_) {
    std::memmove(buf_.data(), buf_.data() + (keepFrom - bufBase_) * 2, size_t(keep) * 2 * sizeof(float));
  }
  bufBase_ = keepFrom;
  bufCount_ = keep;

  // A bounded number of tries: mpg123 may return nothing for a frame it skips.
  for (int tries = 0; tries < 64; ++tries) {
    size_t room = std::min(raw_.size(), (buf_.size() / 2 - size_t(bufCount_)) * size_t(channels_));
    size_t done = 0;
    int r = mpg123_read(mh_, reinterpret_cast<unsigned char*>(raw_.data()), room * sizeof(float), &done);
    size_t frames = done / sizeof(float) / size_t(channels_);
    float* dst = buf_.data() + size_t(bufCount_) * 2;
    if (channels_ == 2) {
      std::memcpy(dst, raw_.data(), frames * 2 * sizeof(float));
    } else {
      for (size_t i = 0; i < frames; ++i) dst[2 * i] = dst[2 * i + 1] = raw_[i];
    }
    bufCount_ += int(frames);
    // A later format change or a decoding error ends the sound where it stands.
    if (r != MPG123_OK && r != MPG123_NEW_FORMAT) {
      ended_ = true;
      damaged_ = r != MPG123_DONE;
    }
    if (r == MPG123_NEW_FORMAT) {
      long rate = 0;
      int ch = 0, enc = 0;
      mpg123_getformat(mh_, &rate, &ch, &enc);
      if (rate != srcRate_ || ch != channels_ || enc != MPG123_ENC_FLOAT_32) ended_ = damaged_ = true;
    }
    if (frames > 0) return true;
    if (ended_) return false;
  }
  ended_ = damaged_ = true;
  return false;
}

int Mpg123Source::Read(float* out, int frames) {
  int made = 0;
  while (made < frames) {
    int64_t need = srcIndex_ + (acc_ != 0 ? 1 : 0);
    if (need >= bufBase_ + bufCount_ && !Fill()) {
      // At the very end the missing right-hand neighbour repeats the last frame.
      if (srcIndex_ >= bufBase_ + bufCount_) break;
    }
    if (srcRate_ == outRate_) {
      int n = int(std::min<int64_t>(frames - made, bufBase_ + bufCount_ - srcIndex_));
      std::memcpy(out + made * 2, buf_.data() + (srcIndex_ - bufBase_) * 2, size_t(n) * 2 * sizeof(float));
      made += n;
      srcIndex_ += n;
      continue;
    }
    while (made < frames) {
      int64_t i = srcIndex_ - bufBase_;
      if (i >= bufCount_) break;
      if (acc_ != 0 && i + 1 >= bufCount_ && !ended_) break;
      const float* a = buf_.data() + i * 2;
      const float* b = (i + 1 < bufCount_) ? a + 2 : a;
      float t = float(acc_) / float(outRate_);
      out[made * 2] = a[0] + (b[0] - a[0]) * t;
      out[made * 2 + 1] = a[1] + (b[1] - a[1]) * t;
      ++made;
      acc_ += srcRate_;
      srcIndex_ += acc_ / outRate_;
      acc_ %= outRate_;
    }
  }
  return made;
}

void Mpg123Source::Seek(int64_t frame) {
  int64_t pos = frame * srcRate_;
  srcIndex_ = pos / outRate_;
  acc_ = pos % outRate_;
  bufBase_ = srcIndex_;
  bufCount_ = 0;
  // mpg123 does not decode reliably again once a frame has failed it, seek
  // or not: the file is opened afresh, and every replay stops at that frame
  // as the first play did.
  if (damaged_) {
    mpg123_close(mh_);
    damaged_ = lseek(fd_, 0, SEEK_SET) != 0 || mpg123_open_fd(mh_, fd_) != MPG123_OK;
    if (damaged_) {
      ended_ = true;
      return;
    }
  }
  off_t at = mpg123_seek(mh_, off_t(srcIndex_), SEEK_SET);
  ended_ = at < 0 || at != off_t(srcIndex_);
}

}  // namespace vxds
