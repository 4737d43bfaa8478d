// Counts the test program's operator new calls while asked to: the plug-in's
// code is linked into the program, so its allocations are counted too.
#include <cstdlib>
#include <new>

bool g_countAllocations = false;
long g_allocations = 0;

void* operator new(std::size_t n)
{
    if (g_countAllocations)
        ++g_allocations;
    if (void* p = std::malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}

void* operator new[](std::size_t n)
{
    return operator new(n);
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
