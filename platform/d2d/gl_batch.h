// Painter's-order batching: a frame's instances regrouped into as few draws
// as painter's order allows. Pure bookkeeping on the processor; the render
// target uploads and draws the result.
#pragma once
#include <d2d1.h>

#include <cstddef>
#include <utility>
#include <vector>

#include "d2d/gl_instance.h"

namespace vxd2d {

// A run of recorded instances under one transform, or a clear.
struct Segment {
  bool clear;
  float clearColor[4];
  size_t first, count;
  D2D1_MATRIX_3X2_F transform;
};

// One draw call over the reordered stream.
struct Draw {
  const Segment* segment;  // a clear, or the transform to apply
  int mask;                // the program
  ID2D1Resource* owner;    // the bitmap or gradient sampled as u_tex, or null
  size_t first, count;     // in ordered()
};

class Batcher {
 public:
  // Side of the overlap grid's cells, in pixels.
  static constexpr int kCell = 16;

  void Reserve();
  // Rebuilds ordered() and draws() for a frame on a width x height target.
  // owners holds each instance's texture owner (or null).
  void Build(const std::vector<Segment>& segments, const std::vector<Instance>& instances,
             const std::vector<ID2D1Resource*>& owners, unsigned width, unsigned height);
  const std::vector<Instance>& ordered() const { return ordered_; }
  const std::vector<Draw>& draws() const { return draws_; }

  // The cells an instance's quad can touch: the quad the vertex shader makes,
  // through the transform, widened by a pixel. False when it lies wholly
  // outside the target and so draws nothing.
  static bool Cells(const Instance& in, const D2D1_MATRIX_3X2_F& m, float unit, unsigned width, unsigned height,
                    int gw, int gh, int* cells);

 private:
  void Order(const Segment& seg, const std::vector<Instance>& instances, const std::vector<ID2D1Resource*>& owners,
             unsigned width, unsigned height);

  // Kept between frames so that warm frames allocate nothing.
  std::vector<Instance> ordered_;
  std::vector<Draw> draws_;
  std::vector<std::pair<int, ID2D1Resource*>> keys_;  // (program mask, owner) per key index
  std::vector<int> keyOf_, rankOf_, cells_, bucket_;
};

}  // namespace vxd2d
