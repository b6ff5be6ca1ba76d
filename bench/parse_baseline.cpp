// The yardstick of the scale benchmark: a plain program that only reads a
// file in 1 MiB pieces and parses every white-space separated number with
// std::from_chars into a vector, and nothing else.
//
//   parse_baseline <file> <expected count>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: parse_baseline <file> <expected count>\n");
        return 2;
    }
    std::FILE* file = std::fopen(argv[1], "rb");
    if (file == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    std::vector<double> values;
    values.reserve(std::strtoull(argv[2], nullptr, 10));
    constexpr std::size_t kPiece = std::size_t{1} << 20;
    std::unique_ptr<char[]> buffer(new char[kPiece + 64]);
    std::size_t kept = 0;  // an unfinished token carried over from the last piece
    for (;;) {
        const std::size_t got = std::fread(buffer.get() + kept, 1, kPiece, file);
        const bool last = got == 0;
        const char* p = buffer.get();
        const char* end = buffer.get() + kept + got;
        for (;;) {
            while (p < end && (*p == ' ' || *p == '\n' || *p == '\t' || *p == '\r')) {
                ++p;
            }
            const char* start = p;
            while (p < end && !(*p == ' ' || *p == '\n' || *p == '\t' || *p == '\r')) {
                ++p;
            }
            if (p == end && !last) {
                kept = static_cast<std::size_t>(end - start);
                std::memmove(buffer.get(), start, kept);
                break;
            }
            if (start == p) {
                break;
            }
            double value = 0.0;
            std::from_chars(start, p, value);
            values.push_back(value);
        }
        if (last) {
            break;
        }
    }
    std::fclose(file);
    double check = 0.0;
    for (double v : values) {
        check += v;
    }
    std::printf("%zu numbers, sum %.17g\n", values.size(), check);
    return 0;
}
