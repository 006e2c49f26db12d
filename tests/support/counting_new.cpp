#include "counting_new.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<long> allocations{0};

void* counted(std::size_t n)
{
    ++allocations;
    if (void* p = std::malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}

} // namespace

void* operator new(std::size_t n)
{
    return counted(n);
}

void* operator new[](std::size_t n)
{
    return counted(n);
}

void* operator new(std::size_t n, const std::nothrow_t&) noexcept
{
    ++allocations;
    return std::malloc(n ? n : 1);
}

void* operator new[](std::size_t n, const std::nothrow_t&) noexcept
{
    ++allocations;
    return std::malloc(n ? n : 1);
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

long heapAllocations()
{
    return allocations.load();
}
