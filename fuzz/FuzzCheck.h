#ifndef DOSEGATE_FUZZCHECK_H
#define DOSEGATE_FUZZCHECK_H

#include <cstdio>
#include <cstdlib>

// An invariant that must hold for every input: a broken one ends the run,
// which makes libFuzzer keep the input that broke it.
[[noreturn]] inline void FuzzInvariantBroken(const char* file, int line, const char* condition)
{
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, condition);
    std::abort();
}

#define CHECK(condition)                                              \
    do {                                                              \
        if (!(condition))                                             \
            FuzzInvariantBroken(__FILE__, __LINE__, #condition);      \
    } while (0)

#endif
