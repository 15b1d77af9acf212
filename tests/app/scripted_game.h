// A stand-in for the game: counts what the shell asks of it and, when told,
// acts at given frames (close the window, lose the target, remove the images).
#pragma once

#include <windows.h>

#include <cstdint>

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
  int readBackAtClose;         // read the window's last picture in the closing frame
  // Read back.
  int readBackWidth;
  int readBackHeight;
  int readBackNonBlack;        // pixels other than opaque black
  long liveObjectsAfterRun;    // platform COM objects left when WinMain returned
};

// In memory shared with the parent process when a scenario runs in a child.
GameScript* Script();
void ResetScript();
