// A stand-in for the game: counts what the shell asks of it and, when told,
// acts at given frames (close the window, lose the target, remove the images).
#pragma once

#include <windows.h>

#include <cstdint>

// The scene drawn when drawScene is set, in window pixels: the background
// bitmap's bottom-left kBackW x kBackH pixels at (0, 0), the sprite
// bitmap's top-left 32 x 32 at kSpriteAt, and the shared brush, red, over
// kRedSquare. The read-back keeps the picture's top-left kPictureW x kPictureH.
constexpr int kBackW = 160, kBackH = 120;
constexpr int kSpriteAt[2] = {200, 40};
constexpr int kRedSquare[4] = {200, 100, 240, 140};  // left, top, right, bottom
constexpr int kPictureW = 260, kPictureH = 160;

struct GameScript {
  // Observed.
  int initCalls;
  int initSawWindow;           // a window existed when InitGameState ran
  int frames;                  // UpdateAndDrawFrame calls
  int flashDraws;              // DrawHitFlashes calls
  int flashDrawsWithSharedBrush;
  int firstFrameHadTimerQueue; // the timer queue existed at the first frame
  int targetsSeen;             // distinct render targets drawn into
  int framesWhileInactive;
  int soundsLoadedAtInit;
  // Directions: 0 means never.
  int closeAtFrame;
  int loseTargetAtFrame;
  int removeImagesAtFrame;
  int deactivateAtFrame;       // then reactivated 300 ms later by a helper thread
  int readBackAtClose;         // read the window's picture after the closing frame
  int drawScene;               // draw both bitmaps and a red square (below)
  // Read back.
  int readBackWidth;
  int readBackHeight;
  int readBackInFrame;         // 1 when a read-back inside the closing frame gave a picture, -1 when refused
  int readBackNonBlack;        // pixels outside the scene other than opaque black
  long liveObjectsAfterRun;    // platform COM objects left when WinMain returned
  uint8_t picture[kPictureW * kPictureH * 4];  // the read-back's top-left corner, RGBA
};

// In memory shared with the parent process when a scenario runs in a child.
GameScript* Script();
void ResetScript();
