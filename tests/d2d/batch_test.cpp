// Painter's-order batching on its own: instances regroup by program and
// texture only where no pixel could see the difference.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/d2d/gl_batch.h"

namespace vxd2d {
namespace {

constexpr D2D1_MATRIX_3X2_F kIdentity{1, 0, 0, 1, 0, 0};

// Owners are only compared, never touched.
ID2D1Resource* const kSheet = reinterpret_cast<ID2D1Resource*>(0x1000);
ID2D1Resource* const kBackdrop = reinterpret_cast<ID2D1Resource*>(0x2000);

struct Frame {
  std::vector<Segment> segments;
  std::vector<Instance> instances;
  std::vector<ID2D1Resource*> owners;

  void Add(int kind, float cx, float cy, float half, ID2D1Resource* owner = nullptr) {
    if (segments.empty() || segments.back().clear)
      segments.push_back(Segment{false, {0, 0, 0, 0}, instances.size(), 0, kIdentity});
    Instance in{};
    if (kind == kLine) {
      Set(in.g0, cx - half, cy, cx + half, cy);
      Set(in.g1, 1.0f, 2.0f, 2.0f, half);  // round caps, width 2
    } else {
      Set(in.g0, cx, cy, half, half);
    }
    in.col[0] = static_cast<float>(instances.size());  // tells the instances apart
    in.kind = static_cast<float>(kind);
    instances.push_back(in);
    owners.push_back(owner);
    ++segments.back().count;
  }
  void Clear() { segments.push_back(Segment{true, {0, 0, 0, 1}, 0, 0, kIdentity}); }
};

struct Expected {
  int mask;
  ID2D1Resource* owner;
  std::vector<int> instances;  // by their place in the recorded stream
};

void ExpectDraws(const Frame& f, const std::vector<Expected>& expected) {
  Batcher b;
  b.Build(f.segments, f.instances, f.owners, 600, 720);
  std::vector<Expected> got;
  for (const Draw& d : b.draws()) {
    Expected e{d.mask, d.owner, {}};
    for (size_t i = d.first; i < d.first + d.count; ++i) {
      for (size_t j = 0; j < f.instances.size(); ++j) {
        if (std::memcmp(&b.ordered()[i], &f.instances[j], sizeof(Instance)) == 0) e.instances.push_back(int(j));
      }
    }
    if (d.segment->clear) e.mask = -1;
    got.push_back(e);
  }
  ASSERT_EQ(got.size(), expected.size());
  for (size_t i = 0; i < got.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(got[i].mask, expected[i].mask);
    EXPECT_EQ(got[i].owner, expected[i].owner);
    EXPECT_EQ(got[i].instances, expected[i].instances);
  }
}

const int kLineMask = MaskOf(kLine), kSpriteMask = MaskOf(kSprite), kEllipseMask = MaskOf(kEllipseFill);

TEST(Batching, OverlappingShapesKeepTheirOrder) {
  Frame f;
  f.Add(kLine, 100, 100, 20);
  f.Add(kSprite, 100, 100, 16, kSheet);  // over the line
  f.Add(kLine, 100, 100, 20);            // over the sprite
  f.Add(kSprite, 110, 100, 16, kBackdrop);
  ExpectDraws(f, {{kLineMask, nullptr, {0}},
                  {kSpriteMask, kSheet, {1}},
                  {kLineMask, nullptr, {2}},
                  {kSpriteMask, kBackdrop, {3}}});
}

TEST(Batching, DisjointShapesRegroupByProgramAndTexture) {
  Frame f;
  f.Add(kLine, 50, 50, 10);
  f.Add(kSprite, 300, 300, 16, kSheet);
  f.Add(kEllipseFill, 500, 50, 8);
  f.Add(kLine, 50, 400, 10);
  f.Add(kSprite, 300, 600, 16, kSheet);
  f.Add(kSprite, 500, 600, 16, kBackdrop);
  f.Add(kEllipseFill, 500, 200, 8);
  ExpectDraws(f, {{kLineMask, nullptr, {0, 3}},
                  {kSpriteMask, kSheet, {1, 4}},
                  {kEllipseMask, nullptr, {2, 6}},
                  {kSpriteMask, kBackdrop, {5}}});
}

TEST(Batching, AShapeNeverPassesOneItTouches) {
  Frame f;
  f.Add(kSprite, 100, 100, 16, kSheet);  // x 84..116
  f.Add(kLine, 200, 100, 10);
  f.Add(kSprite, 133, 100, 16, kBackdrop);  // x 117..149: no shared pixel, but no gap either
  f.Add(kSprite, 300, 100, 16, kSheet);
  // The backdrop sprite may not pass the first sheet sprite, but the second
  // sheet sprite, clear of it, joins the first.
  ExpectDraws(f, {{kSpriteMask, kSheet, {0, 3}}, {kLineMask, nullptr, {1}}, {kSpriteMask, kBackdrop, {2}}});
}

TEST(Batching, ClearsAndOffTargetShapes) {
  Frame f;
  f.Add(kLine, 50, 50, 10);
  f.Add(kLine, -500, 50, 10);  // wholly outside: drawn by nobody
  f.Clear();
  f.Add(kLine, 50, 50, 10);
  f.Add(kSprite, 900, 900, 16, kSheet);  // outside
  ExpectDraws(f, {{kLineMask, nullptr, {0}}, {-1, nullptr, {}}, {kLineMask, nullptr, {2}}});
}

TEST(Batching, AWarmBatcherReusesItsStorage) {
  Frame f;
  for (int i = 0; i < 200; ++i) {
    f.Add(i % 2 ? kSprite : kLine, float(i * 3 % 600), float(i * 7 % 720), 8, i % 2 ? kSheet : nullptr);
  }
  Batcher b;
  b.Reserve();
  b.Build(f.segments, f.instances, f.owners, 600, 720);
  const Instance* storage = b.ordered().data();
  const size_t draws = b.draws().size();
  b.Build(f.segments, f.instances, f.owners, 600, 720);
  EXPECT_EQ(b.ordered().data(), storage);
  EXPECT_EQ(b.draws().size(), draws);
  EXPECT_EQ(b.ordered().size(), f.instances.size());
}

}  // namespace
}  // namespace vxd2d
