// Writes a valid "prob.txt" for n events and orders up to m: the
// intersection probabilities of a weighted mixture of a few joint
// distributions (outcome vectors and independent events), in the subset
// order, at full precision. Deterministic: the same (n, m, seed) always gives
// the same file.
//
//   generate_input <n> <m> <seed> <output file>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "moments/subsets.hpp"

namespace {

// splitmix64: a fixed generator, so the files do not depend on the library's
// distributions.
struct Random {
    std::uint64_t state;
    std::uint64_t next() {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: generate_input <n> <m> <seed> <output file>\n");
        return 2;
    }
    const int n = std::atoi(argv[1]);
    const int m = std::atoi(argv[2]);
    Random random{std::strtoull(argv[3], nullptr, 10)};

    // Two outcome vectors (each event occurs with probability 0.35) and three
    // components of independent events with probabilities in [0.05, 0.6).
    constexpr int kComponents = 5;
    std::vector<std::vector<double>> chance(kComponents, std::vector<double>(n + 1));
    std::vector<double> weight(kComponents);
    double total = 0.0;
    for (int k = 0; k < kComponents; ++k) {
        weight[k] = 0.2 + random.uniform();
        total += weight[k];
        for (int i = 1; i <= n; ++i) {
            chance[k][i] = k < 2 ? (random.uniform() < 0.35 ? 1.0 : 0.0)
                                 : 0.05 + 0.55 * random.uniform();
        }
    }
    for (double& w : weight) {
        w /= total;
    }

    std::FILE* out = std::fopen(argv[4], "wb");
    if (out == nullptr) {
        std::perror(argv[4]);
        return 1;
    }
    constexpr std::size_t kBuffer = std::size_t{1} << 20;
    std::unique_ptr<char[]> buffer(new char[kBuffer]);
    std::size_t used = 0;
    for (unionbound::SubsetCursor cursor(n, m); cursor.valid(); cursor.next()) {
        double p = 0.0;
        for (int k = 0; k < kComponents; ++k) {
            double product = weight[k];
            for (std::int32_t x : cursor.subset()) {
                product *= chance[k][x];
            }
            p += product;
        }
        if (p > 1.0) {
            p = 1.0;
        }
        if (used + 64 > kBuffer) {
            std::fwrite(buffer.get(), 1, used, out);
            used = 0;
        }
        const auto written = std::to_chars(buffer.get() + used, buffer.get() + kBuffer, p,
                                           std::chars_format::general, 17);
        used = static_cast<std::size_t>(written.ptr - buffer.get());
        buffer[used++] = '\n';
    }
    std::fwrite(buffer.get(), 1, used, out);
    return std::fclose(out) == 0 ? 0 : 1;
}
