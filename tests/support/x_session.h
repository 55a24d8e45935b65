#pragma once
// A private X server for tests that need a real window: Xvfb on a display
// number of its own (so tests can run in parallel), programs started on it,
// xdotool to drive them and screenshots to check what they show.
//
// Window pixel (x, y) of the program's window (no window manager, no
// glutInitWindowPosition) is root pixel (x - 1, y - 1); Screenshot works in
// root coordinates, windowPixel() converts.
#include <sys/types.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

struct Screenshot {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;  // top row first, 3 bytes a pixel

  std::array<int, 3> at(int x, int y) const;
  // Fraction (0..1) of the pixels in [x0, x1) x [y0, y1) whose channels are
  // each within `tolerance` of `color`.
  double fractionNear(int x0, int y0, int x1, int y1, std::array<int, 3> color,
                      int tolerance) const;
  // Mean colour over [x0, x1) x [y0, y1).
  std::array<double, 3> mean(int x0, int y0, int x1, int y1) const;
  bool savePpm(const std::string& path) const;
};

class XSession {
 public:
  // Starts Xvfb with a screen of the given size; throws std::runtime_error
  // when it cannot.
  explicit XSession(int width = 1024, int height = 768);
  ~XSession();
  XSession(const XSession&) = delete;
  XSession& operator=(const XSession&) = delete;

  const std::string& display() const { return display_; }

  // Sets DISPLAY for this process (for tests that open windows themselves).
  void exportDisplay() const;

  // Runs a shell command with DISPLAY set; returns its exit status and
  // captures standard output into *out when given.
  int run(const std::string& command, std::string* out = nullptr) const;
  // xdotool with the given arguments; returns its standard output, trimmed.
  std::string xdotool(const std::string& args) const;

  // Starts a program in `workdir` with DISPLAY set and extra environment
  // ("NAME=value" entries). Returns its pid.
  pid_t launch(const std::vector<std::string>& argv, const std::string& workdir,
               const std::vector<std::string>& env = {}) const;
  // Waits for a launched program; returns its exit status, or -1 on a
  // signal, or nullopt after the timeout (the program is then left running).
  static std::optional<int> waitExit(pid_t pid, std::chrono::milliseconds timeout);
  static void kill(pid_t pid);

  // Waits for a visible window with this exact name; returns its id or "".
  std::string waitWindow(const std::string& name, std::chrono::milliseconds timeout) const;

  Screenshot screenshot() const;

 private:
  pid_t server_ = -1;
  std::string display_;
};

// Root pixel of window pixel (x, y) for a window at GLUT's default place.
inline std::array<int, 2> windowPixel(int x, int y) { return {x - 1, y - 1}; }

}  // namespace testsupport
