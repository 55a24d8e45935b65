#pragma once
// Counts heap allocations (every form of operator new) made on one thread,
// so a stretch of code can be checked for allocating at all. A program that
// links brelvane_allocation_counter gets replacement new/delete operators
// over malloc/free; counting is off until start(), and only the thread that
// called start() is counted (Mesa's rasteriser threads allocate for
// themselves).
namespace allocation_counter {

// Counts from zero on the calling thread.
void start();
// Stops counting; returns how many allocations were counted.
long stop();
// Allocations counted since start().
long count();

}  // namespace allocation_counter
