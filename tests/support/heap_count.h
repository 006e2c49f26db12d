// The heap allocations of a whole program counted: the global operator new
// and delete are replaced, so this is included in one source file of one test
// or benchmark program only. heapAllocations() is the count so far.
#pragma once

#include <atomic>
#include <cstdlib>
#include <new>

inline std::atomic<long> heapAllocationCount{0};

inline long heapAllocations()
{
    return heapAllocationCount.load();
}

void* operator new(std::size_t n)
{
    ++heapAllocationCount;
    if (void* p = std::malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}

void* operator new[](std::size_t n)
{
    return ::operator new(n);
}

void* operator new(std::size_t n, const std::nothrow_t&) noexcept
{
    ++heapAllocationCount;
    return std::malloc(n ? n : 1);
}

void* operator new[](std::size_t n, const std::nothrow_t& tag) noexcept
{
    return ::operator new(n, tag);
}

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete[](void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

void operator delete[](void* p, std::size_t) noexcept
{
    std::free(p);
}
