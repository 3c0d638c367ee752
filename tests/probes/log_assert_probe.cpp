// Raises one check chosen by the first argument, for tests that need the
// program to end: "log" a plain failed check, "init" a buffer too large by a
// product that wraps in 32 bits.
#include "Log.h"
#include "PDataBuffer.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    const char* what = argc > 1 ? argv[1] : "log";
    if (std::strcmp(what, "init") == 0) {
        PDataBuffer buffer;
        buffer.Init(0x10000, 0x10001); // 2^32 + 2^16 bytes, 2^16 when wrapped
    } else {
        const int nodes = 3;
        LOG_ASSERT(nodes == 4, "");
    }
    std::printf("still running\n");
    return 0;
}
