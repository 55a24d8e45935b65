#pragma once
// Replacement array new/delete that route the array allocations made while a
// GuardedArrays scope lives to guard_page blocks (ending right at an
// unreadable page); all others come from malloc. Linked (object library
// brelvane_guarded_new) only into the fuzzer and the tests that include this
// header, whose uninstrumented callees (Mesa, GLU) must fault at once on a
// read past such a buffer.
namespace guard_page {

class GuardedArrays {
 public:
  GuardedArrays();
  ~GuardedArrays();
  GuardedArrays(const GuardedArrays&) = delete;
  GuardedArrays& operator=(const GuardedArrays&) = delete;
};

}  // namespace guard_page
