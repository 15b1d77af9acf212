// The sight and the lock-on marks of the first edition, on the recording
// target: the lock box's edges, what each locked enemy draws and sounds, and
// where the sight lies.
#include <gtest/gtest.h>

#include <cmath>

#include "game/lock_on.h"
#include "game/tables.h"
#include "game_fixture.h"

namespace {

bool FromSheet(const vxtest::Command& c, float l, float t, float r, float b) {
  return c.op == vxtest::Op::DrawBitmap && SameRect(c.source, l, t, r, b);
}
bool IsLockFrame(const vxtest::Command& c) { return FromSheet(c, 1200, 300, 1600, 600); }
bool IsMarker(const vxtest::Command& c) { return FromSheet(c, 200, 0, 270, 70); }
bool IsSight(const vxtest::Command& c) { return FromSheet(c, 1200, 0, 1600, 300); }
// The last, full-alpha pass of a lock line.
bool IsLockLine(const vxtest::Command& c) {
  return c.op == vxtest::Op::DrawLine && c.color.a == 1.0f && c.color.r == 0.0f && c.color.g == 1.0f &&
         c.color.b == 0.0f;
}

int Count(bool (*pred)(const vxtest::Command&)) {
  int n = 0;
  for (const auto& c : TheRecorder().Commands()) n += pred(c);
  return n;
}

TEST(LockOn, TheBoxIncludesItsEdgesAndNothingPastThem) {
  const float px = 300.0f, py = 520.0f;
  const struct {
    float dx, dy;
    bool locked;
  } cases[] = {
      {200.0f, 50.0f, true},   {-210.0f, -360.0f, true}, {0.0f, 50.0f, true},      {-210.0f, 50.0f, true},
      {200.5f, 0.0f, false},   {-210.5f, 0.0f, false},   {0.0f, 50.5f, false},     {0.0f, -360.5f, false},
      {0.0f, -400.0f, false},  // a big enemy whose picture reaches into the box
  };
  for (const auto& c : cases) {
    ResetWholeGame();
    g_playerX = px;
    g_playerY = py;
    g_enemies[20] = Enemy{1, px + c.dx, py + c.dy, 0, 0, 0, 0};
    TheRecorder().BeginFrame();
    LockOnDisplay(TheRecorder().target, LockOnLine::Drawn);
    const int want = c.locked ? 1 : 0;
    EXPECT_EQ(Count(IsMarker), want) << c.dx << ", " << c.dy;
    EXPECT_EQ(Count(IsLockFrame), want) << c.dx << ", " << c.dy;
    EXPECT_EQ(SoundsNamed(L"loc"), want) << c.dx << ", " << c.dy;
    TheRecorder().EndFrame();
  }
  EXPECT_FALSE(IsLockedOn(NAN, py, px, py));
  EXPECT_FALSE(IsLockedOn(px, NAN, px, py));
}

// Three enemies in the box on a whole frame: each gets the frame, its marker
// and then its line, "loc" restarts for each, and the sight lies over all.
TEST(LockOn, EachLockedEnemyIsMarkedJoinedAndSoundedEveryFrame) {
  ResetWholeGame();
  g_stageClock = 13200.0f;  // no spawns; live enemies dive 6 a frame
  const float at[3][2] = {{300, 300}, {160, 200}, {450, 500}};
  for (int k = 0; k < 3; ++k) g_enemies[k] = Enemy{1, at[k][0], at[k][1], 0, 0, 0, 0};
  for (int frame = 0; frame < 3; ++frame) {
    ClearSounds();
    RunPaintFrame();
    EXPECT_EQ(SoundsNamed(L"loc"), 3) << "frame " << frame;
    const auto& cmds = TheRecorder().Commands();
    int locked = 0;
    size_t lastMark = 0, sight = 0;
    for (size_t i = 0; i < cmds.size(); ++i) {
      if (IsSight(cmds[i])) sight = i;
      if (!IsLockFrame(cmds[i])) continue;
      ASSERT_LT(i + 4, cmds.size());
      EXPECT_TRUE(SameRect(cmds[i].rect, 100, 170, 500, 470));
      // The marker on the enemy where it has moved to, then the line's three passes.
      const Enemy& e = g_enemies[locked];
      EXPECT_TRUE(IsMarker(cmds[i + 1]));
      EXPECT_TRUE(SameRect(cmds[i + 1].rect, e.x - 35, e.y - 35, e.x + 35, e.y + 35));
      EXPECT_TRUE(IsLockLine(cmds[i + 4]));
      EXPECT_EQ(cmds[i + 4].p0.x, g_playerX);
      EXPECT_EQ(cmds[i + 4].p0.y, g_playerY);
      EXPECT_EQ(cmds[i + 4].p1.x, e.x);
      EXPECT_EQ(cmds[i + 4].p1.y, e.y);
      lastMark = i + 4;
      ++locked;
    }
    EXPECT_EQ(locked, 3);
    EXPECT_GT(sight, lastMark);
    EXPECT_EQ(Count(IsSight), 1);
  }
  // Nothing in the box: the sight alone, and no sound.
  for (Enemy& e : g_enemies) e = Enemy{0, PARK_X, PARK_Y, 0, 0, 0, 0};
  ClearSounds();
  RunPaintFrame();
  EXPECT_EQ(SoundsNamed(L"loc"), 0);
  EXPECT_EQ(Count(IsLockFrame) + Count(IsMarker) + Count(IsLockLine), 0);
  EXPECT_EQ(Count(IsSight), 1);
}

// The sight is drawn ahead of the fighter in every frame, under the title
// and ending pictures too.
TEST(LockOn, TheSightIsDrawnInEveryFrame) {
  for (float clock : {0.0f, 99.0f, 5000.0f, 14100.0f, 14299.0f}) {
    ResetWholeGame();
    g_stageClock = clock;
    HoldKey(VK_RIGHT, true);
    RunPaintFrame();
    ASSERT_EQ(Count(IsSight), 1) << "clock " << clock;
    for (const auto& c : TheRecorder().Commands()) {
      if (IsSight(c)) {
        EXPECT_TRUE(SameRect(c.rect, 108, 170, 508, 470)) << "clock " << clock;
      }
    }
  }
}

}  // namespace
