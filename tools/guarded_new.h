#pragma once
// Replacement array new/delete that route the array allocations made inside
// withGuardedArrays, on the thread that runs it, to guard_page blocks (ending right at an
// unreadable page); all others come from malloc. Linked (object library brelvane_guarded_new) only
// into the fuzzer and the tests that include this header, whose uninstrumented callees (Mesa, GLU)
// must fault at once on a read past such a buffer.
namespace guard_page {

void guardArrays(bool guarded);

// Runs `work` with array allocations guarded; returns what it returns.
template <typename Work>
auto withGuardedArrays(Work work) {
  struct Unguard {
    ~Unguard() { guardArrays(false); }
  } unguard;
  guardArrays(true);
  return work();
}

}  // namespace guard_page
