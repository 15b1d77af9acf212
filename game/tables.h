// The game's state: fixed global tables indexed by slot, and a few scalars.
// Nothing here grows; every object that can ever exist has its slot from the
// start. A free entry of the enemy, missile, bullet, laser and debris tables
// lies at (PARK_X, PARK_Y) with its other fields 0; shot and hit-flash slots
// are never parked.
#pragma once

#include <cstdint>

constexpr float PARK_X = -2550.0f;
constexpr float PARK_Y = -3550.0f;
constexpr float STAGE_LENGTH = 14300.0f;

constexpr int ENEMY_COUNT = 48;
constexpr int SMALL_ENEMY_COUNT = 9;  // slots 0..8; 9..47 are thirteen groups of three
constexpr int GROUP_COUNT = 13;
constexpr int GUN_COUNT = 5;          // table 0 the fighter's gun, 1..4 the pods'
constexpr int SHOTS_PER_GUN = 100;
constexpr int POD_COUNT = 4;
constexpr int FAN_SET_COUNT = 12;     // D1..D6, then U1..U6
constexpr int FAN_BULLETS = 5;
constexpr int RING_SET_COUNT = 9;     // A1..A3, B1..B3, C1..C3
constexpr int RING_BULLETS = 36;
constexpr int SPIRAL_STREAMS = 2;     // left, right
constexpr int SPIRAL_BULLETS = 36;
constexpr int LASER_SEGMENTS = 21;
constexpr int DEBRIS_PER_ENEMY = 221; // 0..160 fragments, 161..220 pickups
constexpr int FIRST_PICKUP = 161;

struct Shot {
  int alive;  // 1 or more in flight; below 1 (hits can drive it negative) free
  float x;
  float y;
};

struct Enemy {
  int alive;  // 0 free, 1 present
  float x;
  float y;
  float hit;         // 1.0 once struck: the burst step turns it into a burst
  float deathTimer;  // counts burst entries, not frames
  float motionTimer; // 0..1200 between frames
  float heading;
};

template <int N>
struct BulletPlanes {
  float x[ENEMY_COUNT][N];
  float y[ENEMY_COUNT][N];
  float active[ENEMY_COUNT][N];
};

struct MissilePlanes {
  float x[ENEMY_COUNT];
  float y[ENEMY_COUNT];
  float active[ENEMY_COUNT];
};

struct CurlLaser {
  float segX[LASER_SEGMENTS];
  float segY[LASER_SEGMENTS];
  float segState[LASER_SEGMENTS];  // 0 never emitted, 1 live, 2 spent
  float curl[LASER_SEGMENTS];
  float aim[LASER_SEGMENTS];
  float segVX[LASER_SEGMENTS];
  float segVY[LASER_SEGMENTS];
  uint32_t head;  // compared unsigned: all ones means armed, burst not begun
  float active;
  float originX;
  float originY;
};

struct DebrisPlanes {
  float x[ENEMY_COUNT][DEBRIS_PER_ENEMY];
  float y[ENEMY_COUNT][DEBRIS_PER_ENEMY];
  float vx[ENEMY_COUNT][DEBRIS_PER_ENEMY];
  float vy[ENEMY_COUNT][DEBRIS_PER_ENEMY];
  float active[ENEMY_COUNT][DEBRIS_PER_ENEMY];
  float age[ENEMY_COUNT][DEBRIS_PER_ENEMY];
};

extern Shot g_shots[GUN_COUNT][SHOTS_PER_GUN];
extern Enemy g_enemies[ENEMY_COUNT];
extern MissilePlanes g_missiles;
extern BulletPlanes<FAN_BULLETS> g_fanBullets[FAN_SET_COUNT];
extern BulletPlanes<RING_BULLETS> g_ringBullets[RING_SET_COUNT];
extern BulletPlanes<SPIRAL_BULLETS> g_spiralBullets[SPIRAL_STREAMS];
extern int g_spiralCounters[ENEMY_COUNT];
extern CurlLaser g_enemyLasers[ENEMY_COUNT];
extern DebrisPlanes g_debris;

extern float g_playerX;
extern float g_playerY;
extern float g_podX[POD_COUNT];  // index 0 is pod 1
extern float g_podY[POD_COUNT];
extern float g_stageClock;       // whole numbers 0..14299 between frames
extern uint32_t g_frameTicks;    // wraps in a very long session; nothing reads it
extern float g_scrollA;
extern float g_scrollB;
extern float g_score;
extern uint32_t g_hitCount;      // nothing reads it
extern const float g_pi;         // 3.14, deliberately coarse: the enemies' loops depend on it

// A free entry: parked, its other fields 0.
template <int N>
void ParkBullet(BulletPlanes<N>& set, int slot, int n) {
  set.x[slot][n] = PARK_X;
  set.y[slot][n] = PARK_Y;
  set.active[slot][n] = 0.0f;
}
void ParkMissile(int slot);
void ParkDebris(int slot, int n);

// Every table back to its initial state. The player's laser table differs
// between the editions (four pod lasers, or one homing laser per enemy), so
// each edition's InitGameState passes its own. The enemies' motionTimer and
// heading, g_frameTicks, the scroll offsets and the score are left alone.
void InitGameTables(CurlLaser* playerLasers, int playerLaserCount);
