#pragma once

#include <dlfcn.h>

namespace base {

// A library opened by name the first time it is wanted rather than linked, so that a start of
// the viewer does not pay for loading it. fill(api, lookup) points api's functions at the
// library's, using PELU_RESOLVE for each, and says whether all were found. Returns the filled
// api, or null when the library is missing or incomplete. Call once (from a function-local
// static); the library stays open for the life of the process.
template <typename Api, typename Fill> const Api* openRuntimeLibrary(const char* soname, Fill fill)
{
    void* handle = dlopen(soname, RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return nullptr;
    static Api api;
    // Searches the library and what it depends on.
    const auto lookup = [handle](const char* name) { return dlsym(handle, name); };
    return fill(api, lookup) ? &api : nullptr;
}

} // namespace base

// In a struct of a library's functions: a pointer named and typed after the declared function.
#define PELU_FUNCTION_POINTER(name) decltype(&::name) name = nullptr;

// In a fill function: api.name from lookup, and false into complete when it is missing.
#define PELU_RESOLVE(name)                                                                         \
    api.name = reinterpret_cast<decltype(&::name)>(lookup(#name));                                 \
    complete = complete && api.name;
