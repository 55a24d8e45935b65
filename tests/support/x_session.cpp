#include "tests/support/x_session.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace testsupport {

std::array<int, 3> Screenshot::at(int x, int y) const {
  const size_t i = (static_cast<size_t>(y) * width + x) * 3;
  return {rgb[i], rgb[i + 1], rgb[i + 2]};
}

double Screenshot::fractionNear(int x0, int y0, int x1, int y1, std::array<int, 3> color,
                                int tolerance) const {
  long near = 0, total = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      const auto c = at(x, y);
      ++total;
      if (std::abs(c[0] - color[0]) <= tolerance && std::abs(c[1] - color[1]) <= tolerance &&
          std::abs(c[2] - color[2]) <= tolerance)
        ++near;
    }
  return total ? static_cast<double>(near) / total : 0.0;
}

std::array<double, 3> Screenshot::mean(int x0, int y0, int x1, int y1) const {
  std::array<double, 3> sum{};
  long total = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      const auto c = at(x, y);
      for (int k = 0; k < 3; ++k) sum[k] += c[k];
      ++total;
    }
  for (auto& s : sum) s = total ? s / total : 0.0;
  return sum;
}

bool Screenshot::savePpm(const std::string& path) const {
  std::ofstream out(path, std::ios::binary);
  out << "P6\n" << width << ' ' << height << "\n255\n";
  out.write(reinterpret_cast<const char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
  return static_cast<bool>(out);
}

XSession::XSession(int width, int height) {
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
  server_ = fork();
  if (server_ < 0) throw std::runtime_error("fork failed");
  if (server_ == 0) {
    // The server goes with the test process, even when the test ends through
    // exit() or a crash and never runs this object's destructor.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    close(fds[0]);
    const std::string fd = std::to_string(fds[1]);
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    const int devnull = open("/dev/null", O_WRONLY);
    dup2(devnull, 1);
    dup2(devnull, 2);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten",
           "tcp", "-noreset", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  std::string number;
  char c;
  while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
  close(fds[0]);
  if (number.empty()) {
    kill(server_);
    throw std::runtime_error("Xvfb did not start (is it installed?)");
  }
  display_ = ":" + number;
}

XSession::~XSession() {
  if (server_ > 0) {
    ::kill(server_, SIGTERM);
    waitpid(server_, nullptr, 0);
  }
}

void XSession::exportDisplay() const { setenv("DISPLAY", display_.c_str(), 1); }

int XSession::run(const std::string& command, std::string* out) const {
  const std::string full = "DISPLAY=" + display_ + " " + command;
  FILE* pipe = popen(full.c_str(), "r");
  if (!pipe) return -1;
  std::string text;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
  const int status = pclose(pipe);
  if (out) *out = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string XSession::xdotool(const std::string& args) const {
  std::string out;
  run("xdotool " + args + " 2>/dev/null", &out);
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return out;
}

pid_t XSession::launch(const std::vector<std::string>& argv, const std::string& workdir,
                       const std::vector<std::string>& env) const {
  const pid_t pid = fork();
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlives the test
    setpgid(0, 0);
    if (!workdir.empty() && chdir(workdir.c_str()) != 0) _exit(126);
    setenv("DISPLAY", display_.c_str(), 1);
    for (const auto& entry : env) putenv(strdup(entry.c_str()));
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  return pid;
}

std::optional<int> XSession::waitExit(pid_t pid, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    int status = 0;
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (done < 0) return -1;
    if (std::chrono::steady_clock::now() > deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

void XSession::kill(pid_t pid) {
  if (pid <= 0) return;
  ::kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

std::string XSession::waitWindow(const std::string& name, std::chrono::milliseconds timeout) const {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    std::string id = xdotool("search --onlyvisible --name '^" + name + "$'");
    if (!id.empty()) {
      const auto newline = id.find('\n');
      if (newline != std::string::npos) id.resize(newline);
      return id;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return "";
}

Screenshot XSession::screenshot() const {
  std::string ppm;
  // ImageMagick's own convert (Debian's), not any other "convert" on PATH.
  run("xwd -root -silent | /usr/bin/convert xwd:- ppm:- 2>/dev/null", &ppm);
  Screenshot shot;
  // P6\n<w> <h>\n255\n<data>
  size_t pos = 0;
  auto token = [&]() {
    for (;;) {
      while (pos < ppm.size() && isspace(static_cast<unsigned char>(ppm[pos]))) ++pos;
      if (pos >= ppm.size() || ppm[pos] != '#') break;
      while (pos < ppm.size() && ppm[pos] != '\n') ++pos;  // a comment line
    }
    size_t start = pos;
    while (pos < ppm.size() && !isspace(static_cast<unsigned char>(ppm[pos]))) ++pos;
    return ppm.substr(start, pos - start);
  };
  if (token() != "P6") return shot;
  shot.width = std::atoi(token().c_str());
  shot.height = std::atoi(token().c_str());
  token();  // maximum value
  ++pos;    // one white-space byte before the data
  const size_t bytes = static_cast<size_t>(shot.width) * shot.height * 3;
  if (ppm.size() < pos + bytes) return Screenshot{};
  shot.rgb.assign(ppm.begin() + static_cast<long>(pos),
                  ppm.begin() + static_cast<long>(pos + bytes));
  return shot;
}

}  // namespace testsupport
