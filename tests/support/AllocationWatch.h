#pragma once

// The largest single heap allocation asked for: hostile files must never reserve gigabytes.
// Include from one source file per program: it replaces malloc, or hooks into ASan's.

#include <atomic>
#include <cstddef>

#if defined(__SANITIZE_ADDRESS__)
// From the sanitizer runtime (GCC ships no header for it).
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*onMalloc)(const volatile void*,
                                                                          std::size_t),
                                                         void (*onFree)(const volatile void*));
#endif

namespace allocationwatch {

inline std::atomic<std::size_t> g_largest{0};

inline void note(std::size_t size)
{
    std::size_t seen = g_largest.load(std::memory_order_relaxed);
    while (size > seen && !g_largest.compare_exchange_weak(seen, size, std::memory_order_relaxed)) {
    }
}

inline void reset()
{
    g_largest.store(0, std::memory_order_relaxed);
}

inline std::size_t largest()
{
    return g_largest.load(std::memory_order_relaxed);
}

} // namespace allocationwatch

#if defined(__SANITIZE_ADDRESS__)

namespace allocationwatch {
inline void onMalloc(const volatile void*, std::size_t size)
{
    note(size);
}
inline void onFree(const volatile void*) {}
inline const bool g_installed = __sanitizer_install_malloc_and_free_hooks(onMalloc, onFree);
} // namespace allocationwatch

#else

extern "C" {
void* __libc_malloc(std::size_t) noexcept;
void* __libc_calloc(std::size_t, std::size_t) noexcept;
void* __libc_realloc(void*, std::size_t) noexcept;
void* __libc_memalign(std::size_t, std::size_t) noexcept;

void* malloc(std::size_t size) noexcept
{
    allocationwatch::note(size);
    return __libc_malloc(size);
}

void* calloc(std::size_t count, std::size_t size) noexcept
{
    std::size_t total = 0;
    allocationwatch::note(__builtin_mul_overflow(count, size, &total) ? ~std::size_t(0) : total);
    return __libc_calloc(count, size);
}

void* realloc(void* pointer, std::size_t size) noexcept
{
    allocationwatch::note(size);
    return __libc_realloc(pointer, size);
}

void* memalign(std::size_t alignment, std::size_t size) noexcept
{
    allocationwatch::note(size);
    return __libc_memalign(alignment, size);
}

void* aligned_alloc(std::size_t alignment, std::size_t size) noexcept
{
    return memalign(alignment, size);
}

int posix_memalign(void** out, std::size_t alignment, std::size_t size) noexcept
{
    void* pointer = memalign(alignment, size);
    if (!pointer && size)
        return 12; // ENOMEM
    *out = pointer;
    return 0;
}
}

#endif
