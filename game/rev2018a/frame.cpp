// The revision of 2018-11-01: 48 homing lasers from the fighter in place of
// the pod lasers, shots that hit without a sound, "hit" once in each burst,
// and no lock-on display.
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
  UpdateShots(renderTarget, ShotHitRule::HitSilently);
  UpdatePodsAndDrawFighter(renderTarget);
  UpdateEnemyLasers(renderTarget);
  UpdateRingBullets(renderTarget);
  UpdateSpiralBullets(renderTarget);
  UpdateMissiles(renderTarget);
  UpdateFanBullets(renderTarget);
  UpdateEnemySlots(renderTarget, BurstSound::HitOnce);
  UpdateHomingLasers(renderTarget, g_homingLasers);
  DrawSight(renderTarget);
  PlayMusicCues();
  DrawClosingTexts(renderTarget);
  DrawPictureAndAdvanceClock(renderTarget);
}
