#include "e2e/program_runner.hpp"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <random>
#include <regex>
#include <sstream>
#include <stdexcept>

namespace unionbound::testing {

StartedProgram::StartedProgram(const std::filesystem::path& program,
                               const std::vector<std::string>& arguments,
                               const std::filesystem::path& workDir,
                               const ChildSettings& settings) {
    int toChild[2], fromOut[2], fromErr[2];
    if (pipe(toChild) != 0 || pipe(fromOut) != 0 || pipe(fromErr) != 0) {
        throw std::runtime_error("pipe failed");
    }
    // Everything the child needs is made before the fork.
    std::vector<std::string> words{program.string()};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    // A program that ends before it has read all its input must not end the
    // tests with SIGPIPE: the write fails instead, and the input is closed.
    ::signal(SIGPIPE, SIG_IGN);
    const pid_t pid = fork();
    if (pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid == 0) {
        dup2(toChild[0], 0);
        dup2(fromOut[1], 1);
        dup2(fromErr[1], 2);
        for (int fd : {toChild[0], toChild[1], fromOut[0], fromOut[1], fromErr[0], fromErr[1]}) {
            close(fd);
        }
        for (int signalNumber : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
            ::signal(signalNumber, SIG_DFL);
        }
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        const auto limit = [](int resource, std::optional<std::uint64_t> bytes) {
            const rlimit value{static_cast<rlim_t>(*bytes), static_cast<rlim_t>(*bytes)};
            if (setrlimit(resource, &value) != 0) {
                _exit(124);
            }
        };
        if (settings.addressSpaceBytes) {
            limit(RLIMIT_AS, settings.addressSpaceBytes);
            // OpenBLAS starts a thread per core as it loads, each with
            // buffers of its own, which so tight a limit can leave waiting
            // for memory for ever; one thread takes none (see docs/program.md, batch runs).
            setenv("OPENBLAS_NUM_THREADS", "1", 1);
        }
        if (settings.fileSizeBytes) {
            ::signal(SIGXFSZ, SIG_IGN);
            limit(RLIMIT_FSIZE, settings.fileSizeBytes);
        }
        const std::optional<unsigned> asUser = settings.asUser;
        if (asUser &&
            (setgroups(0, nullptr) != 0 || setgid(*asUser) != 0 || setuid(*asUser) != 0)) {
            _exit(125);
        }
        if (chdir(workDir.c_str()) != 0) {
            _exit(126);
        }
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(toChild[0]);
    close(fromOut[1]);
    close(fromErr[1]);
    pid_ = pid;
    inFd_ = toChild[1];
    outFd_ = fromOut[0];
    errFd_ = fromErr[0];
}

StartedProgram::~StartedProgram() {
    if (!reaped_) {
        kill(pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
    for (int fd : {inFd_, outFd_, errFd_}) {
        if (fd >= 0) {
            close(fd);
        }
    }
}

void StartedProgram::type(const std::string& text) {
    for (std::size_t written = 0; written < text.size();) {
        const ssize_t n = write(inFd_, text.data() + written, text.size() - written);
        if (n <= 0) {
            throw std::runtime_error("cannot type at the program's console");
        }
        written += static_cast<std::size_t>(n);
    }
}

void StartedProgram::signal(int signalNumber) {
    kill(pid_, signalNumber);
}

ProgramRun StartedProgram::finish(const std::string& input, std::chrono::seconds limit) {
    fcntl(inFd_, F_SETFL, O_NONBLOCK);
    ProgramRun& run = run_;
    const pid_t pid = pid_;
    std::size_t written = 0;
    int& inFd = inFd_;
    if (input.empty()) {
        close(inFd);
        inFd = -1;
    }
    bool outOpen = true, errOpen = true;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    char buffer[65536];
    while (outOpen || errOpen) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            run.timedOut = true;
            kill(pid, SIGKILL);
            break;
        }
        pollfd fds[3];
        nfds_t count = 0;
        if (outOpen)
            fds[count++] = {outFd_, POLLIN, 0};
        if (errOpen)
            fds[count++] = {errFd_, POLLIN, 0};
        if (inFd >= 0)
            fds[count++] = {inFd, POLLOUT, 0};
        if (poll(fds, count, static_cast<int>(left.count())) < 0) {
            continue;
        }
        for (nfds_t i = 0; i < count; ++i) {
            if (fds[i].revents == 0) {
                continue;
            }
            if (fds[i].fd == inFd) {
                const ssize_t n = write(inFd, input.data() + written, input.size() - written);
                if (n > 0)
                    written += static_cast<std::size_t>(n);
                if (n < 0 || written == input.size()) {
                    close(inFd);
                    inFd = -1;
                }
                continue;
            }
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            std::string& sink = fds[i].fd == outFd_ ? run.out : run.err;
            if (n > 0) {
                sink.append(buffer, static_cast<std::size_t>(n));
            } else {
                (fds[i].fd == outFd_ ? outOpen : errOpen) = false;
            }
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    reaped_ = true;
    run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

ProgramRun runProgram(const std::filesystem::path& program,
                      const std::vector<std::string>& arguments, const std::string& input,
                      const std::filesystem::path& workDir, std::chrono::seconds limit,
                      const ChildSettings& settings) {
    StartedProgram started(program, arguments, workDir, settings);
    return started.finish(input, limit);
}

ProgramRun runProgram(const std::filesystem::path& program,
                      const std::vector<std::string>& arguments, const std::string& input,
                      const std::filesystem::path& workDir, std::chrono::seconds limit,
                      std::optional<unsigned> asUser) {
    ChildSettings settings;
    settings.asUser = asUser;
    return runProgram(program, arguments, input, workDir, limit, settings);
}

ScratchDir::ScratchDir() {
    std::random_device seed;
    const auto base = std::filesystem::temp_directory_path();
    for (;;) {
        path_ = base / ("unionbound-test-" + std::to_string(seed()));
        if (std::filesystem::create_directory(path_)) {
            return;
        }
    }
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    // Restore write permission first, so that tests of unwritable folders clean up.
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
}

std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::set<std::string> namesIn(const std::filesystem::path& dir) {
    std::set<std::string> names;
    for (const std::filesystem::directory_entry& entry : std::filesystem::directory_iterator(dir)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

void writeFile(const std::filesystem::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
}

std::string maskReportTimes(const std::string& report) {
    static const std::regex fixed15(R"(Running time: \d+\.\d{15}\n)");
    static const std::regex general(R"(Running time: (\d+(\.\d+)?|\d(\.\d+)?e[-+]\d+)\n)");
    return std::regex_replace(std::regex_replace(report, fixed15, "Running time: <fixed15>\n"),
                              general, "Running time: <general>\n");
}

std::string maskConsoleTimes(const std::string& console) {
    static const std::regex fixed3(R"(Running time: \n\d+\.\d{3}\n)");
    return std::regex_replace(console, fixed3, "Running time: \n<fixed3>\n");
}

double printedNumber(const std::string& text, const std::string& label) {
    const std::size_t at = text.find(label);
    if (at == std::string::npos) {
        return std::nan("");
    }
    const char* start = text.c_str() + at + label.size();
    char* end = nullptr;
    const double value = std::strtod(start, &end);
    return end == start ? std::nan("") : value;
}

}  // namespace unionbound::testing
