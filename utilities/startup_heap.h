#pragma once
// For the time a program starts: the blocks of every thread come from one
// heap that keeps the pages of freed blocks for the next ones. Large blocks
// are otherwise mapped afresh and unmapped when freed, so a block freed by
// one step (a decoded picture brought to its texture's size) is never the
// block the next step gets (a software GL driver's texture storage), and
// each is faulted in a page at a time on its first write: for camera
// photographs that is a good part of their decoding and upload time.
//
// The end (destructor) gives what is free back to the system and restores
// the usual handling of large blocks; the one arena stays. With glibc only,
// and not under a sanitizer (its allocator is its own): nothing changes
// elsewhere. At most one is active at a time.
namespace libutils {

class StartupHeap {
 public:
  StartupHeap();
  ~StartupHeap();
  StartupHeap(const StartupHeap&) = delete;
  StartupHeap& operator=(const StartupHeap&) = delete;

  bool active() const { return active_; }
  // Whether one is active in the process now.
  static bool anyActive();

 private:
  bool active_ = false;
};

}  // namespace libutils
