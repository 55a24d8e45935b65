#pragma once
// The two photographs read on threads of their own, from before the window
// opens until init needs them: reading and decoding a camera's pictures takes
// longer than opening the window, and each needs a core of its own. Reading
// makes no GL call and touches nothing but each quad's own objects; the
// quads are uploaded afterwards, on the GL thread. While the object lives,
// large blocks come from one heap that keeps freed pages (StartupHeap):
// keep it until the quads are uploaded, so the driver's texture storage can
// take the pages the readers have freed.
#include <thread>

#include "scene/command_line.h"
#include "utilities/startup_heap.h"

class BillBoard;

class PhotographReading {
 public:
  // Creates the two quads and starts preparing them (BillBoard::prepare);
  // where no thread can be had, the quad is prepared when finish() asks.
  explicit PhotographReading(const PhotoPaths& paths);
  // Waits for any reading still going on; deletes quads not taken.
  ~PhotographReading();
  PhotographReading(const PhotographReading&) = delete;
  PhotographReading& operator=(const PhotographReading&) = delete;

  // Waits for both, then hands over the prepared quads (the caller owns
  // them from then on; later calls give null).
  void finish(BillBoard*& wall, BillBoard*& floor);

 private:
  struct Reading {
    BillBoard* quad = nullptr;
    std::thread thread;
    bool started = false;
  };
  void start(Reading& reading, const std::string& path);
  static void complete(Reading& reading, const std::string& path);

  libutils::StartupHeap heap_;  // before the threads start
  PhotoPaths paths_;
  Reading wall_, floor_;
};
