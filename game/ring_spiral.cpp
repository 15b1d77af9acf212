#include "game/ring_spiral.h"

#include <array>
#include <cmath>
#include <cstdint>

#include "app/shell.h"
#include "game/tables.h"

namespace {

struct RingSet {
  float originDX;
  float originDY;
  double speed;
  uint32_t color;
};
const RingSet kRingSets[RING_SET_COUNT] = {
    {0.0f, 60.0f, 6.0, 0xF000FF},    {0.0f, 60.0f, 8.0, 0xF00FFF},    {0.0f, 60.0f, 10.0, 0xF000FF},
    {-60.0f, -60.0f, 6.0, 0xFFFF00}, {-60.0f, -60.0f, 8.0, 0xFFFF00}, {-60.0f, -60.0f, 10.0, 0xFFFF00},
    {60.0f, -60.0f, 6.0, 0xFFFF00},  {60.0f, -60.0f, 8.0, 0xFFFF00},  {60.0f, -60.0f, 10.0, 0xFFFF00},
};
constexpr int kSmallEnemyRingSets = 3;  // slots 0..8 have only A1..A3

constexpr double kSpiralSpeed = 16.0;
constexpr int kLastSpiralEntry = 35;
constexpr float kSpiralStreamOffset = 20.0f;

bool Present(const Enemy& e) { return e.alive > 0; }

bool OutOfField(float x, float y) { return x <= -400.0f || x >= 1000.0f || y <= -400.0f || y >= 1168.0f; }

// The step is formed in double and only then narrowed; the sum is in float.
void Advance(float& coordinate, double direction, double speed) {
  coordinate += static_cast<float>(direction * speed);
}

void DrawDot(ID2D1RenderTarget* renderTarget, uint32_t color, float x, float y) {
  DrawGlowLine(renderTarget, color, D2D1::Point2F(x, y), D2D1::Point2F(x + 1.0f, y + 1.0f));
}

// The angles are whole numbers taken as radians, so the ring is uneven.
double RingAngle(int j) { return static_cast<double>((RING_BULLETS - j) * 10); }

// 18 - j wraps for j > 18 and is used as the huge unsigned value it becomes.
double SpiralAngle(int j) { return static_cast<double>(18u - static_cast<uint32_t>(j)) * 0.2; }

struct Direction {
  double cosine;
  double sine;
};

// Every entry flies at a fixed angle, so its cosine and sine are worked out
// once, by the same library calls a frame would make. The angle is read
// through a volatile so the compiler cannot fold the calls at build time with
// rounding of its own.
template <int N> std::array<Direction, N> Directions(double (*angleOf)(int)) {
  std::array<Direction, N> out;
  for (int j = 0; j < N; ++j) {
    volatile double angle = angleOf(j);
    out[j] = Direction{std::cos(angle), std::sin(angle)};
  }
  return out;
}
const std::array<Direction, RING_BULLETS> kRingDirections = Directions<RING_BULLETS>(RingAngle);
const std::array<Direction, SPIRAL_BULLETS> kSpiralDirections = Directions<SPIRAL_BULLETS>(SpiralAngle);

void StepRingEntry(ID2D1RenderTarget* renderTarget, int s, int i, int j) {
  BulletPlanes<RING_BULLETS>& set = g_ringBullets[s];
  const RingSet& kind = kRingSets[s];
  const Enemy& e = g_enemies[i];
  if (Present(e) && e.y >= 150.0f && e.y <= 200.0f && set.active[i][j] == 0.0f) {
    set.x[i][j] = e.x + kind.originDX;
    set.y[i][j] = e.y + kind.originDY;
    set.active[i][j] = 1.0f;
  }
  if (set.active[i][j] == 1.0f) {
    DrawDot(renderTarget, kind.color, set.x[i][j], set.y[i][j]);
    Advance(set.x[i][j], kRingDirections[j].cosine, kind.speed);
    Advance(set.y[i][j], kRingDirections[j].sine, kind.speed);
  }
  if (OutOfField(set.x[i][j], set.y[i][j])) ParkBullet(set, i, j);
}

void StepSpiralEntry(ID2D1RenderTarget* renderTarget, int stream, int i, int j) {
  BulletPlanes<SPIRAL_BULLETS>& set = g_spiralBullets[stream];
  if (set.active[i][j] == 1.0f) {
    DrawDot(renderTarget, i < SMALL_ENEMY_COUNT ? 0xFFF000 : 0x00FFFF, set.x[i][j], set.y[i][j]);
    const double cosine = kSpiralDirections[j].cosine;
    // The right stream mirrors the left about the enemy's vertical axis.
    Advance(set.x[i][j], stream == 0 ? cosine : -cosine, kSpiralSpeed);
    Advance(set.y[i][j], kSpiralDirections[j].sine, kSpiralSpeed);
  }
  if (OutOfField(set.x[i][j], set.y[i][j])) ParkBullet(set, i, j);
}

}  // namespace

void UpdateRingBullets(ID2D1RenderTarget* renderTarget) {
  for (int i = 0; i < ENEMY_COUNT; ++i) {
    const int sets = i < SMALL_ENEMY_COUNT ? kSmallEnemyRingSets : RING_SET_COUNT;
    for (int j = 0; j < RING_BULLETS; ++j) {
      for (int s = 0; s < sets; ++s) StepRingEntry(renderTarget, s, i, j);
    }
  }
}

void UpdateSpiralBullets(ID2D1RenderTarget* renderTarget) {
  for (int i = 0; i < ENEMY_COUNT; ++i) {
    const Enemy& e = g_enemies[i];
    if (!Present(e) || !(e.y >= 150.0f && e.y <= 800.0f)) continue;
    // Entry 0 is never emitted: the counter is raised before it is used.
    const int k = ++g_spiralCounters[i];
    g_spiralBullets[0].x[i][k] = e.x - kSpiralStreamOffset;
    g_spiralBullets[0].y[i][k] = e.y;
    g_spiralBullets[0].active[i][k] = 1.0f;
    g_spiralBullets[1].x[i][k] = e.x + kSpiralStreamOffset;
    g_spiralBullets[1].y[i][k] = e.y;
    g_spiralBullets[1].active[i][k] = 1.0f;
    if (g_spiralCounters[i] == kLastSpiralEntry) g_spiralCounters[i] = 0;
  }
  for (int i = 0; i < ENEMY_COUNT; ++i) {
    for (int j = 0; j < SPIRAL_BULLETS; ++j) {
      for (int stream = 0; stream < SPIRAL_STREAMS; ++stream) StepSpiralEntry(renderTarget, stream, i, j);
    }
  }
}
