// Reading the photographs side by side.
#include "scene/photograph_reading.h"

#include <system_error>

#include "photo/photo_format.h"
#include "scene/billboard.h"

PhotographReading::PhotographReading(const PhotoPaths& paths) : paths_(paths) {
  // The format libraries' process-wide set-up, before two threads read.
  libgr::preparePhotoReaders();
  start(wall_, paths_.wall);
  start(floor_, paths_.floor);
}

PhotographReading::~PhotographReading() {
  for (Reading* r : {&wall_, &floor_}) {
    if (r->thread.joinable()) r->thread.join();
    delete r->quad;
  }
}

void PhotographReading::start(Reading& reading, const std::string& path) {
  reading.quad = new BillBoard;
  BillBoard* quad = reading.quad;
  try {
    reading.thread = std::thread([quad, &path] { quad->prepare(path.c_str()); });
    reading.started = true;
  } catch (const std::system_error&) {
    // No thread to be had: read when finish() asks.
  }
}

void PhotographReading::complete(Reading& reading, const std::string& path) {
  if (!reading.quad) return;
  if (reading.thread.joinable())
    reading.thread.join();
  else if (!reading.started)
    reading.quad->prepare(path.c_str());
  reading.started = true;
}

void PhotographReading::finish(BillBoard*& wall, BillBoard*& floor) {
  complete(wall_, paths_.wall);
  complete(floor_, paths_.floor);
  wall = wall_.quad;
  floor = floor_.quad;
  wall_.quad = floor_.quad = nullptr;
}
