#pragma once

#include <cstddef>

// Counts, on the calling thread only, every heap allocation and every lock
// acquisition that had to wait for another thread, while an AudioThreadWatch
// is alive. The test
// executable replaces the global allocation functions and interposes
// pthread_mutex_lock to do the counting (AudioThreadWatch.cpp).
class AudioThreadWatch
{
public:
    AudioThreadWatch();
    ~AudioThreadWatch();

    std::size_t allocations() const;
    std::size_t lockWaits() const;
};
