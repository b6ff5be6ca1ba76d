// The memory a reading holds, counted by the allocator: a long input
// streamed through the reader and the moment walk (and the sums, and the
// single events and pairs) never holds more than a fixed amount, far below
// what its numbers alone would take. This executable replaces the global
// operator new and delete to count the bytes in use.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <thread>

#include "e2e/program_runner.hpp"
#include "input/probability_reading.hpp"
#include "moments/pass_division.hpp"
#include "moments/subsets.hpp"

namespace {

std::atomic<std::size_t> gInUse{0};
std::atomic<std::size_t> gPeak{0};

// Each block starts with its size, in a header that keeps the alignment.
constexpr std::size_t kHeader = alignof(std::max_align_t);

void* counted(std::size_t size) {
    void* block = std::malloc(size + kHeader);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    *static_cast<std::size_t*>(block) = size;
    const std::size_t now = gInUse.fetch_add(size) + size;
    std::size_t peak = gPeak.load();
    while (now > peak && !gPeak.compare_exchange_weak(peak, now)) {
    }
    return static_cast<char*>(block) + kHeader;
}

void release(void* pointer) noexcept {
    if (pointer != nullptr) {
        void* block = static_cast<char*>(pointer) - kHeader;
        gInUse.fetch_sub(*static_cast<std::size_t*>(block));
        std::free(block);
    }
}

}  // namespace

void* operator new(std::size_t size) {
    return counted(size);
}
void* operator new[](std::size_t size) {
    return counted(size);
}
// The forms that do not throw are replaced too: a sanitizer's runtime gives
// them its own allocation, which the delete above must not meet.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return counted(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return operator new(size, std::nothrow);
}
void operator delete(void* pointer, const std::nothrow_t&) noexcept {
    release(pointer);
}
void operator delete[](void* pointer, const std::nothrow_t&) noexcept {
    release(pointer);
}
void operator delete(void* pointer) noexcept {
    release(pointer);
}
void operator delete[](void* pointer) noexcept {
    release(pointer);
}
void operator delete(void* pointer, std::size_t) noexcept {
    release(pointer);
}
void operator delete[](void* pointer, std::size_t) noexcept {
    release(pointer);
}

namespace unionbound {
namespace {

// What the reading may hold whatever the length of the file: the reader's
// 1 MiB piece of text and its block, the summing thread's slots, the
// passes' moment tables and where their subsequences lie, the single events
// and pairs. For n = 300, m = 3 the numbers alone would take 36 MB.
constexpr std::size_t kHeldLimit = std::size_t{8} << 20;

TEST(StreamedReading, HoldsAFixedAmountOfMemoryHoweverManyNumbersItReads) {
    // 4 500 250 numbers, all 0.5, written into a pipe as the reader reads
    // them, so that the file is never whole anywhere.
    const std::int32_t n = 300, m = 3;
    const std::int64_t count = intersectionCount(n, m);
    signal(SIGPIPE, SIG_IGN);  // a reader that stops early must not end the test
    testing::ScratchDir dir;
    const std::string fifo = (dir.path() / "prob.txt").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::int32_t threads : {1, 2}) {
        std::thread writer([&] {
            std::FILE* out = std::fopen(fifo.c_str(), "w");
            char lines[4000];
            for (std::size_t c = 0; c < sizeof lines; c += 4) {
                std::memcpy(lines + c, "0.5\n", 4);
            }
            for (std::int64_t i = 0; out != nullptr && i < count; i += 1000) {
                const auto k = static_cast<std::size_t>(std::min<std::int64_t>(1000, count - i));
                if (std::fwrite(lines, 4, k, out) != k) {
                    break;
                }
            }
            if (out != nullptr) {
                std::fclose(out);
            }
        });
        ThreadPool pool(threads);
        const ReadingRequest request{passDivisions(n, m), true, true, false, &pool};
        const std::size_t before = gInUse.load();
        gPeak.store(before);
        const Parsed<ReadingResult> read = readProbabilities(n, m, TextSource::file(fifo), request);
        const std::size_t held = gPeak.load() - before;
        writer.join();
        ASSERT_TRUE(read.ok()) << read.message();
        EXPECT_LT(held, kHeldLimit) << threads << " threads";
        // What was read is right: S_k = 0.5·C(n, k), exactly.
        for (std::int32_t k = 1; k <= m; ++k) {
            EXPECT_EQ(read.value().sums[k].toDouble(),
                      0.5 * static_cast<double>(subsetCount(n, k)));
        }
    }
}

}  // namespace
}  // namespace unionbound
