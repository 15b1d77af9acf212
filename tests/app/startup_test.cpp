// Whole runs of WinMain, each in a child process of its own (the shell's
// state is process-wide), on recording render targets unless said otherwise.
#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "app/shell.h"
#include "display_servers.h"
#include "scripted_game.h"
#include "sound/dshow_helper.h"
#include "tests/support/capture_stderr.h"
#include "vx_testing.h"

namespace fs = std::filesystem;

namespace {

// The test images' pixels: no two rows alike within 256, so rows out of
// place show.
struct Rgb {
  uint8_t r, g, b;
};
Rgb PatternAt(int x, int y, int seed) { return {uint8_t(x * 3 + seed), uint8_t(y), uint8_t(y / 256 * 50 + x + seed)}; }

void WritePng(const fs::path& path, int width, int height, int seed) {
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_RGBA32);
  ASSERT_NE(s, nullptr);
  for (int y = 0; y < height; ++y) {
    uint8_t* p = static_cast<uint8_t*>(s->pixels) + y * s->pitch;
    for (int x = 0; x < width; ++x, p += 4) {
      const Rgb c = PatternAt(x, y, seed);
      p[0] = c.r, p[1] = c.g, p[2] = c.b, p[3] = 255;
    }
  }
  ASSERT_EQ(IMG_SavePNG(s, path.c_str()), 0);
  SDL_FreeSurface(s);
}

constexpr int kBackSeed = 0, kSpriteSeed = 99;

// A working directory laid out as the game expects: images with the test
// pattern (the background tall enough to be read in several bands), and the
// project's sounds.
fs::path MakeWorkDir(const std::string& name, int backgroundHeight = 128) {
  fs::path dir = fs::current_path() / name;
  fs::remove_all(dir);
  fs::create_directories(dir / "images");
  fs::create_directories(dir / "sound");
  WritePng(dir / "images" / "back01.png", 600, backgroundHeight, kBackSeed);
  WritePng(dir / "images" / "jiki1.png", 32, 32, kSpriteSeed);
  for (const char* f : {"bgm01.mp3", "bgm02.mp3", "bgm03.mp3", "bom2.mp3", "SHOT.mp3", "Loc2.mp3"}) {
    fs::copy_file(fs::path(VX_ASSETS_DIR) / "sound" / f, dir / "sound" / f);
  }
  return dir;
}

struct RunResult {
  int exitCode = -1;
  std::string stderrText;
};

// Runs WinMain in a child with its working directory at dir; the script in
// shared memory carries directions in and observations out.
RunResult RunWinMain(const fs::path& dir, bool recording, const std::function<void()>& before = nullptr,
                     const std::function<void()>& after = nullptr) {
  RunResult result;
  fs::path errFile = dir / "stderr.txt";
  fflush(NULL);
  pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0) _exit(90);
    FILE* err = freopen(errFile.c_str(), "w", stderr);
    if (!err) _exit(91);
    vxtest::UseRecordingTargets(recording);
    if (before) before();
    int code = WinMain(reinterpret_cast<HINSTANCE>(1), NULL, const_cast<char*>(""), SW_SHOWDEFAULT);
    if (after) after();
    Script()->liveObjectsAfterRun = vxtest::LiveComObjects();
    fflush(NULL);
    _exit(code);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  std::ifstream in(errFile);
  result.stderrText.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return result;
}

// Runs the program itself as a player starts it, with its working directory
// at dir and its environment changed by `environment` in the child; while it
// runs, `watch` (if given) is called every 50 ms. Killed after 60 s, when
// its exit code is -1.
RunResult RunProgram(const fs::path& dir, const std::function<void()>& environment = nullptr,
                     const std::function<void()>& watch = nullptr) {
  RunResult result;
  const fs::path errFile = dir / "stderr.txt";
  fflush(NULL);
  pid_t pid = fork();
  if (pid == 0) {
    setpgid(0, 0);
    if (chdir(dir.c_str()) != 0 || !freopen(errFile.c_str(), "w", stderr)) _exit(90);
    if (environment) environment();
    execl(VX_PROGRAM_PATH, "vexalon", static_cast<char*>(nullptr));
    _exit(91);
  }
  setpgid(pid, pid);
  int status = 0;
  bool ended = false;
  using Clock = std::chrono::steady_clock;
  for (const auto start = Clock::now(); Clock::now() - start < std::chrono::seconds(60);) {
    if (waitpid(pid, &status, WNOHANG) == pid) {
      ended = true;
      break;
    }
    if (watch) watch();
    std::this_thread::sleep_for(std::chrono::milliseconds(watch ? 50 : 5));
  }
  if (!ended) {
    kill(-pid, SIGKILL);
    waitpid(pid, &status, 0);
  }
  result.exitCode = ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream in(errFile);
  result.stderrText.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return result;
}

int LinesWith(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += what.size()) ++n;
  return n;
}

TEST(Startup, MissingImageShowsItsMessageAndOpensNothingElse) {
  for (const char* missing : {"back01.png", "jiki1.png"}) {
    SCOPED_TRACE(missing);
    fs::path dir = MakeWorkDir("missing_image");
    fs::remove(dir / "images" / missing);
    ResetScript();
    RunResult r = RunWinMain(dir, true);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.stderrText.find("D2Dデモ"), std::string::npos) << r.stderrText;
    EXPECT_NE(r.stderrText.find("画像ファイルが開けません"), std::string::npos) << r.stderrText;
    EXPECT_EQ(Script()->initCalls, 0);
    EXPECT_EQ(Script()->frames, 0);
  }
}

// A failed start-up undoes what it did: the five sounds loaded before the
// missing one, the images and every other object are released again.
TEST(Startup, MissingLastSoundReleasesWhatWasLoadedBeforeIt) {
  fs::path dir = MakeWorkDir("missing_sound");
  fs::remove(dir / "sound" / "Loc2.mp3");
  ResetScript();
  RunResult r = RunWinMain(dir, true, nullptr, [] {
    FILE* f = fopen("sounds.txt", "w");
    if (f) {
      for (auto& entry : DShowHLP::g_sounds) fprintf(f, "%ls\n", entry.first.c_str());
      fclose(f);
    }
  });
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.stderrText.find("サウンドファイルが開けません"), std::string::npos) << r.stderrText;
  EXPECT_EQ(Script()->initCalls, 0);
  std::ifstream in(dir / "sounds.txt");
  std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(all, "");
  EXPECT_EQ(Script()->liveObjectsAfterRun, 0);
}

// The program itself as a player starts it, with each file missing in
// turn: its message, exit code 1, and, where the leak checker runs, nothing
// left behind at its exit.
TEST(Startup, TheProgramEndsCleanlyWithAnyFileMissing) {
  const char* files[] = {"images/back01.png", "images/jiki1.png", "sound/bgm01.mp3", "sound/bgm02.mp3",
                         "sound/bgm03.mp3",   "sound/bom2.mp3",   "sound/SHOT.mp3",  "sound/Loc2.mp3"};
  for (const char* file : files) {
    SCOPED_TRACE(file);
    fs::path dir = MakeWorkDir("program_without_file");
    fs::remove(dir / file);
    const RunResult r = RunProgram(dir);
    const std::string& said = r.stderrText;
    EXPECT_EQ(r.exitCode, 1) << said;
    EXPECT_EQ(said.find("LeakSanitizer"), std::string::npos) << said;
    const bool image = std::string(file).rfind("images/", 0) == 0;
    EXPECT_NE(said.find(image ? "D2Dデモ: 画像ファイルが開けません" : "D2Dデモ: サウンドファイルが開けません"),
              std::string::npos)
        << said;
    EXPECT_NE(said.find(std::string("vexalon: ") + file + ": not found\n"), std::string::npos) << said;
  }
}

// Without a single font the text formats cannot be made: the program ends
// with code 1 as before, saying which family found none and what to install.
TEST(Startup, TheProgramWithoutFontsSaysWhichFamilyFoundNone) {
  fs::path dir = MakeWorkDir("program_without_fonts");
  std::ofstream(dir / "fonts.conf") << "<?xml version=\"1.0\"?>\n<fontconfig><cachedir>"
                                    << (dir / "font_cache").string() << "</cachedir></fontconfig>\n";
  const std::string config = (dir / "fonts.conf").string();
  const RunResult r = RunProgram(dir, [&] { setenv("FONTCONFIG_FILE", config.c_str(), 1); });
  EXPECT_EQ(r.exitCode, 1) << r.stderrText;
  EXPECT_EQ(LinesWith(r.stderrText, "vexalon: no font for メイリオ: no font found"), 1) << r.stderrText;
  EXPECT_NE(r.stderrText.find("install a CJK font such as fonts-noto-cjk)\n"), std::string::npos) << r.stderrText;
  EXPECT_EQ(r.stderrText.find("LeakSanitizer"), std::string::npos) << r.stderrText;
}

TEST(Startup, RunsFramesAndShutsDownCleanlyWhenClosed) {
  fs::path dir = MakeWorkDir("ordinary_run");
  ResetScript();
  Script()->closeAtFrame = 8;
  RunResult r = RunWinMain(dir, true);
  EXPECT_EQ(r.exitCode, 0) << r.stderrText;
  const GameScript* s = Script();
  EXPECT_EQ(s->initCalls, 1);
  EXPECT_EQ(s->initSawWindow, 0);          // tables before the window
  EXPECT_EQ(s->soundsLoadedAtInit, 6);     // assets before the tables
  EXPECT_EQ(s->firstFrameHadTimerQueue, 0);  // first frame from UpdateWindow
  EXPECT_GE(s->frames, 8);
  EXPECT_EQ(s->flashDraws, s->frames);     // flashes after every frame...
  EXPECT_EQ(s->flashDrawsWithSharedBrush, s->frames);  // ...with the shared brush
  EXPECT_EQ(s->targetsSeen, 1);
  EXPECT_EQ(s->liveObjectsAfterRun, 0);  // shutdown released everything it made
}

TEST(Startup, LostTargetIsRemadeFromTheKeptFrames) {
  fs::path dir = MakeWorkDir("lost_target");
  ResetScript();
  GameScript* s = Script();
  s->removeImagesAtFrame = 2;  // remaking must not need the files
  s->loseTargetAtFrame = 3;
  s->closeAtFrame = 6;
  RunResult r = RunWinMain(dir, true);
  EXPECT_EQ(r.exitCode, 0) << r.stderrText;
  EXPECT_GE(s->frames, 6);
  EXPECT_EQ(s->targetsSeen, 2);
}

TEST(Startup, NoFramesWhileInactive) {
  fs::path dir = MakeWorkDir("inactive");
  ResetScript();
  GameScript* s = Script();
  s->deactivateAtFrame = 3;
  s->closeAtFrame = 8;
  RunResult r = RunWinMain(dir, true);
  EXPECT_EQ(r.exitCode, 0) << r.stderrText;
  EXPECT_GE(s->frames, 8);  // frames came back with activation
  // Only a paint already waiting when the deactivation arrived may still run.
  EXPECT_LE(s->framesWhileInactive, 1);
}

// Where the scene's pieces lie in the read-back corner, and what each pixel must be.
int ScenePixelsWrong(const GameScript& s, int backgroundHeight) {
  int wrong = 0;
  for (int y = 0; y < kPictureH; ++y) {
    for (int x = 0; x < kPictureW; ++x) {
      Rgb want{0, 0, 0};
      if (x < kBackW && y < kBackH) {
        want = PatternAt(x, backgroundHeight - kBackH + y, kBackSeed);
      } else if (x >= kSpriteAt[0] && x < kSpriteAt[0] + 32 && y >= kSpriteAt[1] && y < kSpriteAt[1] + 32) {
        want = PatternAt(x - kSpriteAt[0], y - kSpriteAt[1], kSpriteSeed);
      } else if (x >= kRedSquare[0] && x < kRedSquare[2] && y >= kRedSquare[1] && y < kRedSquare[3]) {
        want = Rgb{255, 0, 0};
      }
      const uint8_t* p = &s.picture[(y * kPictureW + x) * 4];
      wrong += p[0] != want.r || p[1] != want.g || p[2] != want.b || p[3] != 255;
    }
  }
  return wrong;
}

// The picture the window shows after a frame: the game's drawing on the
// shell's opaque black. Read inside the frame, there is no picture to give.
TEST(Startup, RealDrawingShowsTheFrameOnBlack) {
  fs::path dir = MakeWorkDir("real_gl");
  ResetScript();
  GameScript* s = Script();
  s->drawScene = 1;
  s->closeAtFrame = 3;
  s->readBackAtClose = 1;
  RunResult r = RunWinMain(dir, false);
  EXPECT_EQ(r.exitCode, 0) << r.stderrText;
  EXPECT_GE(s->frames, 3);
  EXPECT_EQ(s->readBackInFrame, -1);
  EXPECT_EQ(s->readBackWidth, 600);
  EXPECT_EQ(s->readBackHeight, 720);
  EXPECT_EQ(s->readBackNonBlack, 0);
  EXPECT_EQ(ScenePixelsWrong(*s, 128), 0);
  EXPECT_EQ(s->liveObjectsAfterRun, 0);
}

// A lost target on the window: both bitmaps are made again from the kept
// frames, band by band, though the files are gone, and draw the same pixels.
TEST(Startup, LostTargetOnTheWindowDrawsTheSamePicture) {
  const int tall = 1200;
  fs::path dir = MakeWorkDir("lost_real_target", tall);
  ResetScript();
  GameScript* s = Script();
  s->drawScene = 1;
  s->removeImagesAtFrame = 2;
  s->loseTargetAtFrame = 3;
  s->closeAtFrame = 6;
  s->readBackAtClose = 1;
  RunResult r = RunWinMain(dir, false);
  EXPECT_EQ(r.exitCode, 0) << r.stderrText;
  EXPECT_FALSE(fs::exists(dir / "images" / "back01.png"));
  EXPECT_EQ(s->targetsSeen, 2);
  EXPECT_EQ(s->readBackNonBlack, 0);
  EXPECT_EQ(ScenePixelsWrong(*s, tall), 0);
  EXPECT_EQ(s->liveObjectsAfterRun, 0);
}

// The program on an X display, as a player starts it there, with OpenGL
// broken as a remote display (indirect GLX, which current servers refuse)
// or a missing driver breaks it, and no session bus: the probe's X errors
// end in Mesa's software renderer or a black window, never in Xlib's exit,
// and a box still draws or at least says its line. The window is closed
// or the box dismissed with one Return, as a player does. The program is
// the display's only client until it has said which renderer it has, so
// that it must keep the server from resetting while it reconnects.
TEST(Startup, TheProgramOnAnXDisplayOutlivesOpenGlErrors) {
  if (access("/usr/bin/Xvfb", X_OK) != 0) GTEST_SKIP() << "no Xvfb here";
  struct Case {
    const char* name;
    const char* variable;  // what breaks OpenGL
    const char* value;
    const char* missing;   // a file taken away, or null
    bool drawn;            // the window shows a picture, not black
    int code;
    const char* line;      // said exactly once
  };
  const Case cases[] = {
      {"indirect GLX", "LIBGL_ALWAYS_INDIRECT", "1", nullptr, true, 0, "drawing with Mesa's software renderer"},
      {"no driver", "LIBGL_DRIVERS_PATH", "/nonexistent", nullptr, false, 0, "no OpenGL 3.3 core context"},
      {"box, indirect GLX", "LIBGL_ALWAYS_INDIRECT", "1", "images/jiki1.png", true, 1,
       "drawing with Mesa's software renderer"},
      {"box, no driver", "LIBGL_DRIVERS_PATH", "/nonexistent", "images/jiki1.png", false, 1,
       "no OpenGL 3.3 core context"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    displays::Xvfb xvfb(true);
    ASSERT_FALSE(xvfb.display().empty());
    fs::path dir = MakeWorkDir("program_on_x");
    if (c.missing) fs::remove(dir / c.missing);
    std::unique_ptr<displays::Client> x;
    // Acts once the window shows what it should: a picture (the game's, or
    // the box's white), or for the black window a second and a half of
    // paints that each ask again for a target. A box that cannot draw ends
    // by itself.
    bool acted = false;
    long lit = -1;
    using Clock = std::chrono::steady_clock;
    Clock::time_point viewableAt{};
    const RunResult r = RunProgram(
        dir,
        [&] {
          for (const char* v : {"SDL_VIDEODRIVER", "LIBGL_ALWAYS_SOFTWARE", "GALLIUM_DRIVER",
                                "MESA_GL_VERSION_OVERRIDE", "MESA_GLSL_VERSION_OVERRIDE", "DBUS_SESSION_BUS_ADDRESS"}) {
            unsetenv(v);
          }
          setenv("DISPLAY", xvfb.display().c_str(), 1);
          setenv(c.variable, c.value, 1);
        },
        [&] {
          if (!x) {
            std::ifstream in(dir / "stderr.txt");
            const std::string said((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            if (said.find(c.line) != std::string::npos) x = std::make_unique<displays::Client>(xvfb.display());
          }
          const unsigned long window = acted || !x || !x->ok() ? 0 : x->ViewableWindow();
          if (window && viewableAt == Clock::time_point{}) viewableAt = Clock::now();
          if (window && c.drawn && (lit = x->NonBlackPixels(window)) > 0) {
            acted = true;
            c.code == 0 ? x->Close(window) : x->PressReturn(window);
          } else if (window && !c.drawn && Clock::now() - viewableAt > std::chrono::milliseconds(1500)) {
            acted = true;
            lit = x->NonBlackPixels(window);
            x->Close(window);
          }
        });
    const std::string& said = r.stderrText;
    EXPECT_EQ(r.exitCode, c.code) << said;
    EXPECT_EQ(said.find("X Error"), std::string::npos) << said;
    EXPECT_EQ(said.find("LeakSanitizer"), std::string::npos) << said;
    EXPECT_EQ(LinesWith(said, c.line), 1) << said;
    if (c.missing) {
      EXPECT_NE(said.find("vexalon: images/jiki1.png: not found\nD2Dデモ: 画像ファイルが開けません\n"), std::string::npos)
          << said;
    }
    if (c.drawn) {
      EXPECT_TRUE(acted);
      EXPECT_GT(lit, 0);
    } else if (c.code == 0) {
      EXPECT_TRUE(acted);
      EXPECT_EQ(lit, 0);  // the window is there, and black
    } else {
      EXPECT_FALSE(acted);  // nothing was ever shown
    }
  }
}

// Where the driver gives no OpenGL 3.3 core context, Mesa's software
// renderer draws instead, and says so once; where neither can, the reason is
// told once however many paints ask again.
TEST(Startup, WithoutOpenGl33TheSoftwareRendererOrOneReason) {
#if defined(__SANITIZE_THREAD__)
  // A second try unloads Mesa's driver, which ThreadSanitizer, told to
  // overlook that uninstrumented library, cannot bear.
  GTEST_SKIP() << "not under ThreadSanitizer";
#endif
  {
    SCOPED_TRACE("driver fails, software renderer draws");
    fs::path dir = MakeWorkDir("software_fallback");
    ResetScript();
    Script()->closeAtFrame = 3;
    RunResult r = RunWinMain(dir, false, [] {
      unsetenv("LIBGL_ALWAYS_SOFTWARE");
      setenv("GALLIUM_DRIVER", "zink", 1);  // needs Vulkan, which nobody offers here
    });
    EXPECT_EQ(r.exitCode, 0) << r.stderrText;
    EXPECT_GE(Script()->frames, 3);
    EXPECT_EQ(LinesWith(r.stderrText, "drawing with Mesa's software renderer"), 1) << r.stderrText;
  }
  {
    SCOPED_TRACE("nothing gives 3.3");
    fs::path dir = MakeWorkDir("no_renderer");
    ResetScript();
    RunResult r = RunWinMain(dir, false, [] {
      unsetenv("LIBGL_ALWAYS_SOFTWARE");
      setenv("MESA_GL_VERSION_OVERRIDE", "3.0", 1);
      setenv("MESA_GLSL_VERSION_OVERRIDE", "130", 1);
      std::thread([] {
        while (!g_mainWindow.load()) Sleep(10);
        Sleep(1500);  // some 45 paints that each ask for a target
        PostMessageW(g_mainWindow, WM_CLOSE, 0, 0);
      }).detach();
    });
    EXPECT_EQ(r.exitCode, 0) << r.stderrText;
    EXPECT_EQ(Script()->frames, 0);
    EXPECT_EQ(LinesWith(r.stderrText, "OpenGL"), 1) << r.stderrText;
    EXPECT_EQ(LinesWith(r.stderrText, "no OpenGL 3.3 core context"), 1) << r.stderrText;
  }
}

TEST(Startup, RenderTargetFailureDrawsNothingUntilItCanBeMade) {
  fs::path dir = MakeWorkDir("target_failure");
  ResetScript();
  Script()->closeAtFrame = 3;
  RunResult r = RunWinMain(dir, true, [] { vxtest::FailNextRenderTargetCreation(E_FAIL); });
  EXPECT_EQ(r.exitCode, 0) << r.stderrText;
  // The first paint (from UpdateWindow) drew nothing; later paints made the target.
  EXPECT_EQ(Script()->firstFrameHadTimerQueue, 1);
  EXPECT_EQ(Script()->targetsSeen, 1);
}

// ---- On a Wayland compositor of the test's own ----

// Points a child at the compositor: with SDL's video driver as given (null:
// SDL's own order) and an X display or none.
void UseCompositor(const displays::Weston& weston, const char* driver, const std::string& xDisplay) {
  setenv("XDG_RUNTIME_DIR", weston.runtimeDir().c_str(), 1);
  setenv("WAYLAND_DISPLAY", weston.socket().c_str(), 1);
  displays::UseDisplay(driver, xDisplay);
}

struct ChildEnd {
  int code = -1;    // exit code, or 128 + signal
  double afterAct = -1;  // seconds from act to the end; -1 when act never ran
  std::string err;
};

// Runs body in a child with its working directory at dir. Once ready()
// holds, the parent runs act() and times the child's end from then. A child
// still running 10 s after act, or 60 s in all, is killed.
ChildEnd RunTimed(const fs::path& dir, const std::function<int()>& body, const std::function<bool()>& ready,
                  const std::function<void()>& act) {
  const fs::path errFile = dir / "stderr.txt";
  fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0 || !freopen(errFile.c_str(), "w", stderr)) _exit(90);
    const int code = body();
    fflush(nullptr);
    _exit(code);
  }
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  Clock::time_point acted{};
  bool didAct = false;
  int status = 0;
  for (;;) {
    if (waitpid(pid, &status, WNOHANG) == pid) break;
    const Clock::time_point now = Clock::now();
    if (!didAct && ready()) {
      act();
      acted = Clock::now();
      didAct = true;
    }
    if (now - start > std::chrono::seconds(60) || (didAct && now - acted > std::chrono::seconds(10))) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ChildEnd end;
  end.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  if (didAct) end.afterAct = std::chrono::duration<double>(Clock::now() - acted).count();
  std::ifstream in(errFile);
  end.err.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return end;
}

const char kNoSeatLine[] =
    "no display: the Wayland compositor at vx-wayland offers no input seat (wl_seat), which SDL cannot start "
    "without\n";

// The compositor goes away under the running game: it ends as when the X
// server goes away, with one line naming the display and exit code 1, and
// does not spin on the dead connection.
TEST(Wayland, CompositorGoneEndsTheGameWithOneLine) {
  displays::Xvfb xvfb;
  if (xvfb.display().empty()) GTEST_SKIP() << "no Xvfb here";
  displays::Weston weston("x11", xvfb.display());
  if (weston.socket().empty()) GTEST_SKIP() << "no weston here";
  fs::path dir = MakeWorkDir("wayland_gone");
  ResetScript();
  ChildEnd end = RunTimed(
      dir,
      [&] {
        UseCompositor(weston, "wayland", "");
        vxtest::UseRecordingTargets(false);
        return WinMain(reinterpret_cast<HINSTANCE>(1), NULL, const_cast<char*>(""), SW_SHOWDEFAULT);
      },
      [] { return Script()->frames >= 10; }, [&] { weston.Stop(); });
  EXPECT_GE(Script()->frames, 10) << end.err;
  EXPECT_EQ(end.code, 1) << end.err;
  EXPECT_GE(end.afterAct, 0);
  EXPECT_LT(end.afterAct, 5.0);
  EXPECT_EQ(LinesWith(end.err, "\n"), LinesWith(end.err, "sound is off") + 1) << end.err;
  EXPECT_EQ(LinesWith(end.err, support::ProgramPrefix() + "Wayland connection to vx-wayland broken: "), 1)
      << end.err;
}

// SDL crashes starting on a compositor that offers no input seat; where SDL
// would start on one, video fails as with no display, in one line. Where SDL
// takes X11 first, or the compositor has a seat, video starts.
TEST(Wayland, CompositorWithoutSeatIsNoDisplay) {
  displays::Xvfb xvfb;
  if (xvfb.display().empty()) GTEST_SKIP() << "no Xvfb here";
  displays::Weston headless("headless");
  displays::Weston withSeat("x11", xvfb.display());
  if (headless.socket().empty() || withSeat.socket().empty()) GTEST_SKIP() << "no weston here";
  struct Case {
    const char* name;
    const displays::Weston* compositor;
    const char* driver;
    bool x11;
    bool videoStarts;
  };
  const Case cases[] = {
      {"wayland driver, no seat", &headless, "wayland", false, false},
      {"SDL's order, no X display, no seat", &headless, nullptr, false, false},
      {"wayland before x11, no seat", &headless, "wayland,x11", true, false},
      {"SDL's order takes X11 first", &headless, nullptr, true, true},
      {"x11 before wayland", &headless, "x11,wayland", true, true},
      {"wayland driver with a seat", &withSeat, "wayland", false, true},
  };
  fs::path dir = fs::current_path() / "wayland_seat";
  fs::create_directories(dir);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ChildEnd end = RunTimed(
        dir,
        [&] {
          UseCompositor(*c.compositor, c.driver, c.x11 ? xvfb.display() : "");
          return GetSystemMetrics(SM_CXSCREEN) > 0 ? 0 : 3;
        },
        [] { return false; }, [] {});
    if (c.videoStarts) {
      EXPECT_EQ(end.code, 0) << end.err;
      EXPECT_EQ(end.err.find("no display"), std::string::npos) << end.err;
    } else {
      EXPECT_EQ(end.code, 3) << end.err;
      EXPECT_EQ(end.err, support::ProgramPrefix() + kNoSeatLine);
    }
  }
}

// The program as a player starts it on such a compositor: the line, exit
// code 1, and nothing left behind.
TEST(Startup, TheProgramOnACompositorWithoutSeatSaysSoAndEnds) {
  displays::Weston headless("headless");
  if (headless.socket().empty()) GTEST_SKIP() << "no weston here";
  fs::path dir = MakeWorkDir("program_without_seat");
  ChildEnd end = RunTimed(
      dir,
      [&] {
        UseCompositor(headless, "wayland", "");
        execl(VX_PROGRAM_PATH, "vexalon", static_cast<char*>(nullptr));
        return 91;
      },
      [] { return false; }, [] {});
  EXPECT_EQ(end.code, 1) << end.err;
  EXPECT_EQ(LinesWith(end.err, "vexalon: " + std::string(kNoSeatLine)), 1) << end.err;
  EXPECT_EQ(end.err.find("LeakSanitizer"), std::string::npos) << end.err;
}

}  // namespace
