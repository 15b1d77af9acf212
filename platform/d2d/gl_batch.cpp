#include "d2d/gl_batch.h"

#include <algorithm>
#include <cmath>

namespace vxd2d {

void Batcher::Reserve() {
  ordered_.reserve(1 << 15);
  draws_.reserve(256);
}

bool Batcher::Cells(const Instance& in, const D2D1_MATRIX_3X2_F& m, float unit, unsigned width, unsigned height,
                    int gw, int gh, int* cells) {
  const int shape = ShapeOf(static_cast<int>(in.kind));
  float cx, cy, ax, ay, bx, by;  // centre and two half-axes, user space
  if (shape == kLine) {
    float dx = in.g0[kLineX1] - in.g0[kLineX0], dy = in.g0[kLineY1] - in.g0[kLineY0];
    float len = std::sqrt(dx * dx + dy * dy);
    float ux = len > 0.0f ? dx / len : 1.0f, uy = len > 0.0f ? dy / len : 0.0f;
    const float halfWidth = in.g1[kLineHalfWidth];
    float capExt = (in.g1[kLineStartCap] != kCapFlat || in.g1[kLineEndCap] != kCapFlat) ? halfWidth : 0.0f;
    float ex = in.g1[kLineHalfLength] + capExt + unit, ey = halfWidth + unit;
    cx = 0.5f * (in.g0[kLineX0] + in.g0[kLineX1]);
    cy = 0.5f * (in.g0[kLineY0] + in.g0[kLineY1]);
    ax = ex * ux;
    ay = ex * uy;
    bx = -ey * uy;
    by = ey * ux;
  } else {
    float pad = Textured(shape) ? 0.5f * unit : in.g1[kOutlineHalfStroke] + unit;
    cx = in.g0[kBoxCentreX];
    cy = in.g0[kBoxCentreY];
    ax = in.g0[kBoxHalfX] + pad;
    by = in.g0[kBoxHalfY] + pad;
    ay = bx = 0.0f;
  }
  float px = m._11 * cx + m._21 * cy + m._31, py = m._12 * cx + m._22 * cy + m._32;
  float hx = std::fabs(m._11 * ax + m._21 * ay) + std::fabs(m._11 * bx + m._21 * by) + 1.0f;
  float hy = std::fabs(m._12 * ax + m._22 * ay) + std::fabs(m._12 * bx + m._22 * by) + 1.0f;
  float l = px - hx, r = px + hx, t = py - hy, b = py + hy;
  const float w = static_cast<float>(width), h = static_cast<float>(height);
  if (!(l <= r && t <= b)) {  // not a number: assume it covers everything
    cells[0] = cells[1] = 0;
    cells[2] = gw - 1;
    cells[3] = gh - 1;
    return true;
  }
  if (r < 0.0f || b < 0.0f || l > w || t > h) return false;
  cells[0] = static_cast<int>(std::max(l, 0.0f)) / kCell;
  cells[1] = static_cast<int>(std::max(t, 0.0f)) / kCell;
  cells[2] = std::min(static_cast<int>(std::min(r, w)) / kCell, gw - 1);
  cells[3] = std::min(static_cast<int>(std::min(b, h)) / kCell, gh - 1);
  return true;
}

void Batcher::Build(const std::vector<Segment>& segments, const std::vector<Instance>& instances,
                    const std::vector<ID2D1Resource*>& owners, unsigned width, unsigned height) {
  ordered_.clear();
  draws_.clear();
  for (const Segment& seg : segments) {
    if (seg.clear)
      draws_.push_back(Draw{&seg, 0, nullptr, 0, 0});
    else
      Order(seg, instances, owners, width, height);
  }
}

// Appends one segment's instances to ordered_, regrouped so that those of
// one program and texture draw together, and its draws to draws_. An
// instance moves ahead of earlier ones of another key only where their
// quads cannot overlap, so every pixel still sees painter's order: each
// gets a rank congruent to its key modulo the number of keys, at least the
// highest rank already in the cells it touches, and ranks draw in order.
void Batcher::Order(const Segment& seg, const std::vector<Instance>& instances,
                    const std::vector<ID2D1Resource*>& owners, unsigned width, unsigned height) {
  const D2D1_MATRIX_3X2_F& m = seg.transform;
  const float unit = 1.0f / std::max(std::sqrt(std::fabs(m._11 * m._22 - m._12 * m._21)), 1e-6f);
  keys_.clear();
  keyOf_.resize(seg.count);
  int last = -1;
  for (size_t j = 0; j < seg.count; ++j) {
    std::pair<int, ID2D1Resource*> key{MaskOf(static_cast<int>(instances[seg.first + j].kind)),
                                       owners[seg.first + j]};
    if (last < 0 || keys_[last] != key) {
      last = static_cast<int>(std::find(keys_.begin(), keys_.end(), key) - keys_.begin());
      if (last == static_cast<int>(keys_.size())) keys_.push_back(key);
    }
    keyOf_[j] = last;
  }
  const int nkeys = static_cast<int>(keys_.size());
  const int gw = std::max<int>(1, (width + kCell - 1) / kCell), gh = std::max<int>(1, (height + kCell - 1) / kCell);
  cells_.assign(static_cast<size_t>(gw) * gh, -1);
  rankOf_.resize(seg.count);
  int top = -1;
  for (size_t j = 0; j < seg.count; ++j) {
    int c[4];
    if (!Cells(instances[seg.first + j], m, unit, width, height, gw, gh, c)) {
      rankOf_[j] = -1;
      continue;
    }
    const int k = keyOf_[j];
    int rank = k;
    if (nkeys > 1) {
      int below = -1;
      for (int y = c[1]; y <= c[3]; ++y)
        for (int x = c[0]; x <= c[2]; ++x) below = std::max(below, cells_[y * gw + x]);
      if (below >= 0) {
        rank = below - below % nkeys + k;
        if (rank < below) rank += nkeys;
      }
      for (int y = c[1]; y <= c[3]; ++y)
        for (int x = c[0]; x <= c[2]; ++x) cells_[y * gw + x] = rank;
    }
    rankOf_[j] = rank;
    top = std::max(top, rank);
  }
  // A counting sort by rank keeps the recorded order within a rank.
  bucket_.assign(static_cast<size_t>(top) + 2, 0);
  for (size_t j = 0; j < seg.count; ++j)
    if (rankOf_[j] >= 0) ++bucket_[rankOf_[j] + 1];
  const size_t base = ordered_.size();
  for (int r = 0; r <= top; ++r) bucket_[r + 1] += bucket_[r];
  ordered_.resize(base + bucket_[top + 1]);
  size_t firstDraw = draws_.size();
  for (int r = 0; r <= top; ++r) {
    const size_t count = bucket_[r + 1] - bucket_[r];
    if (count == 0) continue;
    const auto& key = keys_[r % nkeys];
    if (draws_.size() > firstDraw && draws_.back().mask == key.first && draws_.back().owner == key.second) {
      draws_.back().count += count;
    } else {
      draws_.push_back(Draw{&seg, key.first, key.second, base + bucket_[r], count});
    }
  }
  for (size_t j = 0; j < seg.count; ++j)
    if (rankOf_[j] >= 0) ordered_[base + bucket_[rankOf_[j]]++] = instances[seg.first + j];
}

}  // namespace vxd2d
