// The window registry on a real freeglut window under a private Xvfb: events
// sent with xdotool reach the registered object's operations with GLUT's
// arguments, init runs first and once, idle can be switched off, and a null
// object or an empty entry is handled.
//
// glutMainLoop blocks, so each test is a script of steps run from a GLUT
// timer on the loop's own thread; xdotool calls inside a step block briefly
// while the X server queues the events, which the loop delivers after the
// step returns. The script ends the loop with glutLeaveMainLoop.
// Run each case in its own process (CTest does): a second glutInit in one
// process can trip over Mesa's GLX state from the first display.
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "framework/gluty_registry.h"
#include "tests/support/call_order.h"
#include "tests/support/glut_session.h"
#include "tests/support/x_session.h"

namespace {

using testsupport::inOrder;
using vorn::glutyRegistry;

template <typename... Args>
std::string event(const char* name, Args... args) {
  std::ostringstream out;
  out << name << '(';
  bool first = true;
  ((out << (first ? "" : ","), out << static_cast<int>(args), first = false), ...);
  out << ')';
  return out.str();
}

// Writes every operation it receives into `log`, in order.
class RecordingApp : public vorn::glutyAPI4 {
 public:
  std::vector<std::string> log;
  int idleCalls = 0;
  int windowAtInit = -1;
  bool contextAtInit = false;

  void reshape(int width, int height) override { log.push_back(event("reshape", width, height)); }
  void display() override {
    log.push_back("display()");
    glutSwapBuffers();
  }
  void keyboard(unsigned char key, int x, int y) override {
    log.push_back(event("keyboard", key, x, y));
  }
  void special(int key, int x, int y) override { log.push_back(event("special", key, x, y)); }
  void mouse(int button, int state, int x, int y) override {
    log.push_back(event("mouse", button, state, x, y));
  }
  void motion(int x, int y) override { log.push_back(event("motion", x, y)); }
  void passiveMotion(int x, int y) override { log.push_back(event("passiveMotion", x, y)); }
  void idle() override { ++idleCalls; }
  void init() override {
    log.push_back("init()");
    windowAtInit = glutGetWindow();
    contextAtInit = glGetString(GL_VERSION) != nullptr;
  }
  void keyboardUp(unsigned char key, int x, int y) override {
    log.push_back(event("keyboardUp", key, x, y));
  }
  void specialUp(int key, int x, int y) override { log.push_back(event("specialUp", key, x, y)); }
  void mouseWheel(int wheel, int direction, int x, int y) override {
    log.push_back(event("mouseWheel", wheel, direction, x, y));
  }

  bool saw(const std::string& entry) const {
    return std::find(log.begin(), log.end(), entry) != log.end();
  }
  size_t countStartingWith(const std::string& prefix) const {
    return std::count_if(log.begin(), log.end(),
                         [&](const std::string& e) { return e.rfind(prefix, 0) == 0; });
  }
};

// One step of a script: returns true when done, false to be asked again on
// the next timer tick (a wait).
using Step = std::function<bool()>;

class RegistryXTest : public testsupport::GlutSession {
 protected:
  static constexpr const char* kTitle = "registry-under-test";

  void SetUp() override {
    GlutSession::SetUp();
    glutInitWindowSize(320, 240);
    // Lets glutMainLoop, and so run(), return to the test.
    glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_GLUTMAINLOOP_RETURNS);
    registry().windows.clear();
  }

  static glutyRegistry& registry() { return *glutyRegistry::instance(); }
  std::string xdo(const std::string& args) const { return xSession().xdotool(args); }

  // Steps shared by the scripts: wait for the first frame, then find the
  // window and put the pointer into it (focus follows the pointer).
  Step waitFirstFrame() {
    return [this] { return app.saw("display()"); };
  }
  Step findWindowAndPoint(int x, int y) {
    return [this, x, y] {
      window_ = xSession().waitWindow(kTitle, std::chrono::seconds(5));
      if (window_.empty()) {
        ADD_FAILURE() << "window not found";
        return true;
      }
      moveTo(x, y);
      return true;
    };
  }
  void moveTo(int x, int y) {
    xdo("mousemove --window " + window_ + " " + std::to_string(x) + " " + std::to_string(y));
  }
  Step waitFor(const std::string& entry) {
    return [this, entry] { return app.saw(entry); };
  }
  Step sleepFor(std::chrono::milliseconds span) {
    auto until = std::make_shared<std::chrono::steady_clock::time_point>();
    return [until, span] {
      const auto now = std::chrono::steady_clock::now();
      if (*until == std::chrono::steady_clock::time_point{}) *until = now + span;
      return now >= *until;
    };
  }

  // Holds 'a' down well past the X server's auto-repeat delay (660 ms).
  std::vector<Step> holdKeyScript() {
    return {waitFirstFrame(),
            findWindowAndPoint(20, 20),
            [this] { return xdo("keydown a"), true; },
            sleepFor(std::chrono::milliseconds(1200)),
            [this] { return xdo("keyup a"), true; },
            waitFor(event("keyboardUp", 'a', 20, 20))};
  }

  // Registers the app and runs the loop until the script has finished (or a
  // deadline passed, which fails the test).
  void runScript(bool idle, bool keyRepeat, std::vector<Step> steps) {
    script_ = std::move(steps);
    next_ = 0;
    deadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    windowId = registry().add(&app, kTitle);
    ASSERT_GT(windowId, 0);
    active_ = this;
    glutTimerFunc(10, tick, 0);
    registry().run(idle, keyRepeat);
    active_ = nullptr;
    if (next_ != script_.size()) {
      std::string all;
      for (const auto& e : app.log) all += "  " + e + "\n";
      ADD_FAILURE() << "deadline passed at script step " << next_ << "; events:\n" << all;
    }
  }

  RecordingApp app;
  int windowId = -1;
  std::string window_;  // X window id, for xdotool

 private:
  static void tick(int) {
    RegistryXTest* self = active_;
    while (self->next_ < self->script_.size() && self->script_[self->next_]()) ++self->next_;
    if (self->next_ == self->script_.size() || std::chrono::steady_clock::now() > self->deadline_) {
      glutLeaveMainLoop();
      return;
    }
    glutTimerFunc(10, tick, 0);
  }

  static inline RegistryXTest* active_ = nullptr;
  std::vector<Step> script_;
  size_t next_ = 0;
  std::chrono::steady_clock::time_point deadline_;
};

TEST_F(RegistryXTest, keysAndSpecialKeysReachPressAndReleaseOperations) {
  runScript(false, false,
            {waitFirstFrame(), findWindowAndPoint(50, 40),
             [this] {
               xdo("key a");
               xdo("key F1");
               xdo("key Left");
               xdo("key Escape");
               return true;
             },
             waitFor(event("keyboardUp", 27, 50, 40))});
  EXPECT_TRUE(inOrder(
      app.log, {event("keyboard", 'a', 50, 40), event("keyboardUp", 'a', 50, 40),
                event("special", GLUT_KEY_F1, 50, 40), event("specialUp", GLUT_KEY_F1, 50, 40),
                event("special", GLUT_KEY_LEFT, 50, 40), event("specialUp", GLUT_KEY_LEFT, 50, 40),
                event("keyboard", 27, 50, 40)}));
  // Function keys are not characters: they reach special only.
  EXPECT_EQ(app.countStartingWith("keyboard(1,"), 0u);
}

TEST_F(RegistryXTest, mouseButtonsDragsAndPassiveMotionReachTheirOperations) {
  runScript(false, false,
            {waitFirstFrame(), findWindowAndPoint(50, 40),
             [this] {
               xdo("mousedown 1");
               moveTo(70, 60);
               xdo("mouseup 1");
               xdo("click 2");
               xdo("click 3");
               moveTo(90, 80);
               return true;
             },
             waitFor(event("passiveMotion", 90, 80))});
  EXPECT_TRUE(inOrder(
      app.log,
      {event("mouse", GLUT_LEFT_BUTTON, GLUT_DOWN, 50, 40), event("motion", 70, 60),
       event("mouse", GLUT_LEFT_BUTTON, GLUT_UP, 70, 60),
       event("mouse", GLUT_MIDDLE_BUTTON, GLUT_DOWN, 70, 60),
       event("mouse", GLUT_MIDDLE_BUTTON, GLUT_UP, 70, 60),
       event("mouse", GLUT_RIGHT_BUTTON, GLUT_DOWN, 70, 60),
       event("mouse", GLUT_RIGHT_BUTTON, GLUT_UP, 70, 60), event("passiveMotion", 90, 80)}));
  // The drag is motion, not passive motion.
  EXPECT_FALSE(app.saw(event("passiveMotion", 70, 60)));
}

TEST_F(RegistryXTest, aWheelTurnReachesMouseWheelAndNotMouse) {
  runScript(false, false,
            {waitFirstFrame(), findWindowAndPoint(30, 20),
             [this] {
               xdo("click 4");
               xdo("click 5");
               xdo("key z");  // once this arrives, both turns have been delivered
               return true;
             },
             waitFor(event("keyboardUp", 'z', 30, 20))});
  EXPECT_TRUE(
      inOrder(app.log, {event("mouseWheel", 0, 1, 30, 20), event("mouseWheel", 0, -1, 30, 20),
                        event("keyboard", 'z', 30, 20)}));
  EXPECT_EQ(app.countStartingWith("mouse("), 0u);
  EXPECT_FALSE(registry().keyRepeat);
}

TEST_F(RegistryXTest, aResizeReachesReshapeWithTheNewSize) {
  runScript(false, false,
            {waitFirstFrame(), findWindowAndPoint(10, 10),
             [this] {
               xdo("windowsize --sync " + window_ + " 300 200");
               return true;
             },
             waitFor(event("reshape", 300, 200))});
  EXPECT_TRUE(inOrder(app.log, {event("reshape", 320, 240), event("reshape", 300, 200)}));
}

TEST_F(RegistryXTest, initRunsOnceInTheNewWindowBeforeAnyReshapeOrDisplay) {
  runScript(true, false, {waitFirstFrame(), sleepFor(std::chrono::milliseconds(100))});
  ASSERT_FALSE(app.log.empty());
  EXPECT_EQ(app.log.front(), "init()");
  EXPECT_EQ(app.countStartingWith("init("), 1u);
  EXPECT_EQ(app.windowAtInit, windowId);
  EXPECT_TRUE(app.contextAtInit) << "no GL context current during init";
  EXPECT_TRUE(inOrder(app.log, {"init()", event("reshape", 320, 240), "display()"}));
  EXPECT_EQ(registry().windows.at(windowId), &app);
}

TEST_F(RegistryXTest, idleRunsOnlyWhileEnabled) {
  int idleWhenStopped = -1;
  runScript(false, true,
            {waitFirstFrame(), sleepFor(std::chrono::milliseconds(200)),
             [this] {
               EXPECT_EQ(app.idleCalls, 0) << "idle ran although run() was told not to";
               registry().setIdle(true);
               return true;
             },
             [this] { return app.idleCalls > 5; },
             [&] {
               registry().setIdle(false);
               idleWhenStopped = app.idleCalls;
               return true;
             },
             sleepFor(std::chrono::milliseconds(200))});
  EXPECT_GT(idleWhenStopped, 5);
  EXPECT_EQ(app.idleCalls, idleWhenStopped);
  EXPECT_FALSE(registry().idleEnabled);
  EXPECT_TRUE(registry().keyRepeat);
}

// Only the "on" half is tested: with repeat off, freeglut's filtering of the
// server's repeats races with event arrival and lets one through at times.
TEST_F(RegistryXTest, aHeldKeyRepeatsWithKeyRepeatOn) {
  runScript(false, true, holdKeyScript());
  EXPECT_GT(app.countStartingWith("keyboard(97,"), 3u);
  EXPECT_TRUE(registry().keyRepeat);
}

TEST_F(RegistryXTest, eventsForAWindowWithoutAnObjectAreIgnored) {
  runScript(false, false,
            {waitFirstFrame(), findWindowAndPoint(40, 30),
             [this] {
               registry().windows[windowId] = nullptr;
               xdo("key a");
               xdo("click 1");
               return true;
             },
             sleepFor(std::chrono::milliseconds(100)),
             [this] {
               // X delivers in order: 'b' arriving means 'a' and the click
               // went through the trampolines already.
               registry().windows[windowId] = &app;
               xdo("key b");
               return true;
             },
             waitFor(event("keyboardUp", 'b', 40, 30))});
  EXPECT_FALSE(app.saw(event("keyboard", 'a', 40, 30)));
  EXPECT_EQ(app.countStartingWith("mouse("), 0u);
  EXPECT_TRUE(app.saw(event("keyboard", 'b', 40, 30)));
}

TEST_F(RegistryXTest, aNullObjectGivesMinusOneAndNoWindow) {
  EXPECT_EQ(registry().add(nullptr, kTitle), -1);
  EXPECT_EQ(glutGetWindow(), 0) << "a window was created";
  EXPECT_TRUE(registry().windows.empty());
}

TEST_F(RegistryXTest, anIdGivenOutAgainReplacesTheStoredObject) {
  RecordingApp first, second;
  const int id = registry().add(&first, kTitle);
  ASSERT_GT(id, 0);
  // A fresh GLUT session numbers its windows from the start again.
  glutExit();
  int argc = 1;
  char name[] = "gluty_registry_xtest";
  char* argv[] = {name, nullptr};
  glutInit(&argc, argv);
  ASSERT_EQ(registry().add(&second, kTitle), id);
  EXPECT_EQ(registry().windows.at(id), &second);
  EXPECT_EQ(registry().windows.size(), 1u);
  EXPECT_EQ(first.log, std::vector<std::string>{"init()"}) << "the replaced object was notified";
  EXPECT_EQ(second.log, std::vector<std::string>{"init()"});
}

}  // namespace
