/*
 * Two functions found by name in one of the libraries the process has
 * loaded already; no library is ever loaded here. On Linux and macOS they
 * are looked for among the process's global symbols (dlsym with
 * RTLD_DEFAULT), and dladdr checks that both lie in one object; on
 * Windows, whose processes have no global symbols, in each module of the
 * process in turn (the first 4096, in the order they were loaded), by
 * kernel32's K32EnumProcessModules (Windows 7 on: no psapi library to
 * link, for any toolchain).
 *
 * find_loaded_pair(names, count, &first, &second) tries the count pairs
 * of names in turn and returns true with the first pair it finds, or
 * false with both null. The functions come back as LoadedFunction, to be
 * cast to their own type before they are called.
 */
#ifndef LOADED_PAIR_H
#define LOADED_PAIR_H

#include <stddef.h>

#if defined(_WIN32)
#define PSAPI_VERSION 2
#include <windows.h>
#include <psapi.h>
#else
#include <dlfcn.h>
#endif

/* A 64-bit Linux release file asks glibc for dlsym and dladdr at their
   first version, as the modules ask for nothing newer: since glibc 2.34
   they are in libc at GLIBC_2.34, before in libdl, which every host has
   loaded. */
#if defined(MEXHOST_DECLARE) && defined(__GLIBC__) && defined(__x86_64__)
__asm__(".symver dlsym,dlsym@GLIBC_2.2.5");
__asm__(".symver dladdr,dladdr@GLIBC_2.2.5");
#endif

typedef void (*LoadedFunction)(void);

static bool find_loaded_pair(const char *const names[][2], size_t count,
                             LoadedFunction *first, LoadedFunction *second)
{
    *first = NULL;
    *second = NULL;
#if defined(_WIN32)
    static HMODULE modules[4096];
    DWORD bytes = 0;
    if (!EnumProcessModules(GetCurrentProcess(), modules, sizeof modules,
                            &bytes))
        return false;
    const size_t loaded = (bytes < sizeof modules ? bytes : sizeof modules) /
                          sizeof(HMODULE);
    for (size_t p = 0; p < count; p++)
        for (size_t i = 0; i < loaded; i++) {
            FARPROC f = GetProcAddress(modules[i], names[p][0]);
            FARPROC s = GetProcAddress(modules[i], names[p][1]);
            if (f && s) {   /* void (*)(void) casts to any function */
                *first = (LoadedFunction)f;
                *second = (LoadedFunction)s;
                return true;
            }
        }
#else
    for (size_t p = 0; p < count; p++) {
        void *f = dlsym(RTLD_DEFAULT, names[p][0]);
        void *s = dlsym(RTLD_DEFAULT, names[p][1]);
        Dl_info in_f, in_s;
        if (f && s && dladdr(f, &in_f) && dladdr(s, &in_s) &&
            in_f.dli_fbase == in_s.dli_fbase) {
            *first = (LoadedFunction)f;
            *second = (LoadedFunction)s;
            return true;
        }
    }
#endif
    return false;
}

#endif /* LOADED_PAIR_H */
