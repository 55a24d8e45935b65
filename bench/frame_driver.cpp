// Runs the real scene for a fixed number of frames in GLUT's own event loop
// (callbacks through the window registry, as the program runs), for
// measurement: after the warm-up frames it zeroes callgrind's counters (a
// no-op outside valgrind), counts every operator new on this thread, and
// after the counted frames dumps the counters and prints
//   frames <n> ns_per_frame <t> allocations_per_frame <a>
// The working directory must hold the two photographs.
// Usage: frame_driver [counted frames, default 500] [warm-up frames, default 100]
#include <GL/freeglut.h>
#include <valgrind/callgrind.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "framework/gluty_registry.h"
#include "scene/brelvane.h"
#include "tools/allocation_counter.h"

namespace {

using Clock = std::chrono::steady_clock;

class MeasuredBrelvane : public Brelvane {
 public:
  MeasuredBrelvane(int argc, char** argv, long counted, long warmUp)
      : Brelvane(argc, argv), counted_(counted), warmUp_(warmUp) {}

  void display() override {
    Brelvane::display();
    ++frames_;
    if (frames_ == warmUp_) {
      CALLGRIND_ZERO_STATS;
      allocation_counter::start();
      start_ = Clock::now();
    } else if (frames_ == warmUp_ + counted_) {
      const auto ns = std::chrono::duration<double, std::nano>(Clock::now() - start_).count();
      const long allocations = allocation_counter::stop();
      CALLGRIND_DUMP_STATS_AT("counted frames");
      std::printf("frames %ld ns_per_frame %.0f allocations_per_frame %.3f\n", counted_,
                  ns / double(counted_), double(allocations) / double(counted_));
      std::fflush(stdout);
      std::exit(0);
    }
  }

 private:
  long counted_, warmUp_, frames_ = 0;
  Clock::time_point start_;
};

}  // namespace

int main(int argc, char** argv) {
  const long counted = argc > 1 ? std::atol(argv[1]) : 500;
  const long warmUp = argc > 2 ? std::atol(argv[2]) : 100;
  if (counted <= 0 || warmUp <= 0) {
    std::fprintf(stderr, "usage: frame_driver [counted frames] [warm-up frames]\n");
    return 2;
  }
  glutInit(&argc, argv);
  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
  MeasuredBrelvane app(argc, argv, counted, warmUp);
  vorn::glutyRegistry::instance()->add(&app, "brelvane");
  vorn::glutyRegistry::instance()->run(true, true);
  return 0;
}
