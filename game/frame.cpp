// The first edition: four pod lasers, shots that hit with a sound, and the
// lock-on display with its line.
#include "game/burst.h"
#include "game/curl_laser.h"
#include "game/game.h"
#include "game/lock_on.h"
#include "game/missiles_fans.h"
#include "game/player.h"
#include "game/ring_spiral.h"
#include "game/stage_script.h"
#include "game/tables.h"
#include "game/waves.h"

CurlLaser g_podLasers[POD_COUNT];

void InitGameState() { InitGameTables(g_podLasers, POD_COUNT); }

void UpdateAndDrawFrame(ID2D1HwndRenderTarget* renderTarget) {
  FrameTick();
  ScrollAndDrawBackground(renderTarget);
  MoveFighter();
  FireVolley();
  UpdateShots(renderTarget, ShotHitRule::HitWithSound);
  UpdatePodsAndDrawFighter(renderTarget);
  UpdatePodLasers(renderTarget, g_podLasers);
  UpdateEnemyLasers(renderTarget);
  UpdateRingBullets(renderTarget);
  UpdateSpiralBullets(renderTarget);
  UpdateMissiles(renderTarget);
  UpdateFanBullets(renderTarget);
  UpdateEnemySlots(renderTarget, BurstSound::Silent);
  LockOnDisplay(renderTarget, LockOnLine::Drawn);
  DrawSight(renderTarget);
  PlayMusicCues();
  DrawClosingTexts(renderTarget);
  DrawPictureAndAdvanceClock(renderTarget);
}
