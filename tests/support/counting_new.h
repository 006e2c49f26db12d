// A count of the executable's heap allocations: linking the countingnew
// object library replaces the global operator new of the whole test program
// with one that counts every call, so that a test can show that frames or
// passes allocate nothing.
#pragma once

// Allocations through any global operator new since the program started.
long heapAllocations();
