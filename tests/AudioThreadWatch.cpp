#include "AudioThreadWatch.h"

#include <dlfcn.h>
#include <pthread.h>

#include <cstdlib>
#include <new>

namespace
{
thread_local bool watching = false;
thread_local std::size_t allocationCount = 0;
thread_local std::size_t lockWaitCount = 0;

void* allocate (std::size_t size)
{
    if (watching)
        ++allocationCount;
    if (void* memory = std::malloc (size == 0 ? 1 : size))
        return memory;
    throw std::bad_alloc();
}

void* allocateAligned (std::size_t size, std::align_val_t alignment)
{
    if (watching)
        ++allocationCount;
    const auto align = (std::size_t) alignment;
    if (void* memory = std::aligned_alloc (align, (size + align - 1) / align * align))
        return memory;
    throw std::bad_alloc();
}
} // namespace

AudioThreadWatch::AudioThreadWatch()
{
    allocationCount = 0;
    lockWaitCount = 0;
    watching = true;
}

AudioThreadWatch::~AudioThreadWatch() { watching = false; }
std::size_t AudioThreadWatch::allocations() const { return allocationCount; }
std::size_t AudioThreadWatch::lockWaits() const { return lockWaitCount; }

void* operator new (std::size_t size) { return allocate (size); }
void* operator new[] (std::size_t size) { return allocate (size); }
void* operator new (std::size_t size, const std::nothrow_t&) noexcept
{
    try { return allocate (size); } catch (...) { return nullptr; }
}
void* operator new[] (std::size_t size, const std::nothrow_t&) noexcept
{
    try { return allocate (size); } catch (...) { return nullptr; }
}
void* operator new (std::size_t size, std::align_val_t alignment) { return allocateAligned (size, alignment); }
void* operator new[] (std::size_t size, std::align_val_t alignment) { return allocateAligned (size, alignment); }
void operator delete (void* memory) noexcept { std::free (memory); }
void operator delete[] (void* memory) noexcept { std::free (memory); }
void operator delete (void* memory, std::size_t) noexcept { std::free (memory); }
void operator delete[] (void* memory, std::size_t) noexcept { std::free (memory); }
void operator delete (void* memory, std::align_val_t) noexcept { std::free (memory); }
void operator delete[] (void* memory, std::align_val_t) noexcept { std::free (memory); }
void operator delete (void* memory, std::size_t, std::align_val_t) noexcept { std::free (memory); }
void operator delete[] (void* memory, std::size_t, std::align_val_t) noexcept { std::free (memory); }

// A blocking lock on the watched thread that finds the mutex held elsewhere
// counts as a wait; try-locks and locks taken at once do not.
extern "C" int pthread_mutex_lock (pthread_mutex_t* mutex)
{
    using Lock = int (*) (pthread_mutex_t*);
    // Resolved lazily without a static guard, which would itself lock.
    static Lock next = nullptr;
    if (next == nullptr)
        next = reinterpret_cast<Lock> (dlsym (RTLD_NEXT, "pthread_mutex_lock"));
    if (watching)
    {
        if (pthread_mutex_trylock (mutex) == 0)
            return 0;
        ++lockWaitCount;
    }
    return next (mutex);
}
