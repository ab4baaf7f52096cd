#pragma once
// Calls of operator new in this benchmark executable so far (the counting operator new is in
// StorageWriteBench.cpp): benchmarks of hot paths report allocations per step or per frame with it.
#include <cstdint>

uint64_t allocationCount();
