// The revision of 2018-11-11: as that of 2018-11-01, but shots pass through
// enemies, so only the homing lasers destroy them, and the lock-on display is
// back without its line, just before the lasers.
#include "game/burst.h"
#include "game/curl_laser.h"
#include "game/game.h"
#include "game/homing_lasers.h"
#include "game/lock_on.h"
#include "game/missiles_fans.h"
#include "game/player.h"
#include "game/ring_spiral.h"
#include "game/stage_script.h"
#include "game/tables.h"
#include "game/waves.h"

CurlLaser g_homingLasers[ENEMY_COUNT];

void InitGameState() { InitGameTables(g_homingLasers, ENEMY_COUNT); }

void UpdateAndDrawFrame(ID2D1HwndRenderTarget* renderTarget) {
  FrameTick();
  ScrollAndDrawBackground(renderTarget);
  MoveFighter();
  FireVolley();
  UpdateShots(renderTarget, ShotHitRule::PassThrough);
  UpdatePodsAndDrawFighter(renderTarget);
  UpdateEnemyLasers(renderTarget);
  UpdateRingBullets(renderTarget);
  UpdateSpiralBullets(renderTarget);
  UpdateMissiles(renderTarget);
  UpdateFanBullets(renderTarget);
  UpdateEnemySlots(renderTarget, BurstSound::HitOnce);
  LockOnDisplay(renderTarget, LockOnLine::Omitted);
  UpdateHomingLasers(renderTarget, g_homingLasers);
  DrawSight(renderTarget);
  PlayMusicCues();
  DrawClosingTexts(renderTarget);
  DrawPictureAndAdvanceClock(renderTarget);
}
