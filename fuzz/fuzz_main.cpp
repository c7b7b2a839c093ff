// One libFuzzer executable per target: KAVRIN_FUZZ_TARGET names the entry in
// the target table that this executable feeds.
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include "support/fuzz_bodies.h"

namespace {

const kavrin::fuzz::FuzzTarget* target = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    target = kavrin::fuzz::FindFuzzTarget(KAVRIN_FUZZ_TARGET);
    if (target == nullptr) {
        std::fprintf(stderr, "no fuzz target named %s\n", KAVRIN_FUZZ_TARGET);
        return 1;
    }
    // The engine's replies would drown the fuzzer's own report on the
    // terminal; the fuzzer writes to standard error only.
    const int sink = open("/dev/null", O_WRONLY);
    if (sink >= 0) {
        std::fflush(stdout);
        dup2(sink, STDOUT_FILENO);
        close(sink);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (target == nullptr) return 0;
    return target->body(data, size);
}
