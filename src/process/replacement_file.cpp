#include "process/replacement_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "process/interruption.hpp"

namespace unionbound {

DescriptorBuffer::DescriptorBuffer() : buffer_(new char[kSize]) {
    setp(buffer_.get(), buffer_.get() + kSize);
}

void DescriptorBuffer::attach(int descriptor) {
    descriptor_ = descriptor;
    failure_ = 0;
    setp(buffer_.get(), buffer_.get() + kSize);
}

bool DescriptorBuffer::writeAll(const char* text, std::size_t count) {
    if (failure_ != 0) {
        return false;
    }
    if (descriptor_ < 0) {
        failure_ = EBADF;
        return false;
    }
    while (count > 0) {
        const ssize_t written = ::write(descriptor_, text, count);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            failure_ = errno;
            return false;
        }
        text += written;
        count -= static_cast<std::size_t>(written);
    }
    return true;
}

int DescriptorBuffer::sync() {
    const bool written = writeAll(pbase(), static_cast<std::size_t>(pptr() - pbase()));
    setp(buffer_.get(), buffer_.get() + kSize);
    if (!written) {
        errno = failure_;  // as a file stream leaves it, for the caller's message
    }
    return written ? 0 : -1;
}

DescriptorBuffer::int_type DescriptorBuffer::overflow(int_type c) {
    if (sync() != 0) {
        return traits_type::eof();
    }
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
    }
    return traits_type::not_eof(c);
}

std::streamsize DescriptorBuffer::xsputn(const char* text, std::streamsize count) {
    const auto size = static_cast<std::size_t>(count);
    if (size <= static_cast<std::size_t>(epptr() - pptr())) {
        std::memcpy(pptr(), text, size);
        pbump(static_cast<int>(count));
        return count;
    }
    // A long text goes straight to the file after what is buffered.
    if (sync() != 0 || !writeAll(text, size)) {
        errno = failure_;
        return 0;
    }
    return count;
}

namespace {

constexpr int kMostLinksFollowed = 40;  // as the system's path resolution allows

// The file that `path` ends at once every symbolic link is followed (the
// links' own folders resolving relative targets); 0 or the errno.
int followLinks(std::string& path) {
    for (int hops = 0;; ++hops) {
        struct stat status {};
        if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) {
            return 0;
        }
        if (hops == kMostLinksFollowed) {
            return ELOOP;
        }
        char link[PATH_MAX];
        const ssize_t length = ::readlink(path.c_str(), link, sizeof link);
        if (length < 0) {
            return errno;
        }
        if (static_cast<std::size_t>(length) == sizeof link) {
            return ENAMETOOLONG;
        }
        const std::string target(link, static_cast<std::size_t>(length));
        const std::size_t slash = path.rfind('/');
        path = target[0] == '/' || slash == std::string::npos ? target
                                                              : path.substr(0, slash + 1) + target;
    }
}

// Whether this process may rename a file over `existing` in `folder`: a
// sticky folder lets only the owner of the file or of the folder do it.
bool mayRenameOver(const std::string& folder, const struct stat& existing) {
    struct stat status {};
    if (::stat(folder.c_str(), &status) != 0 || (status.st_mode & S_ISVTX) == 0) {
        return true;
    }
    const uid_t self = ::geteuid();
    return self == 0 || existing.st_uid == self || status.st_uid == self;
}

// Six letters that differ from run to run and from file to file.
std::string uniqueSuffix() {
    static std::uint64_t state = 0;
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    state += 0x9e3779b97f4a7c15ULL ^ static_cast<std::uint64_t>(now.tv_nsec) ^
             (static_cast<std::uint64_t>(::getpid()) << 32);
    std::uint64_t mixed = state;
    mixed = (mixed ^ (mixed >> 30)) * 0xbf58476d1ce4e5b9ULL;
    mixed = (mixed ^ (mixed >> 27)) * 0x94d049bb133111ebULL;
    mixed ^= mixed >> 31;
    const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string suffix;
    for (int i = 0; i < 6; ++i, mixed /= 36) {
        suffix += letters[mixed % 36];
    }
    return suffix;
}

void syncFolder(const std::string& folder) {
    const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor >= 0) {
        ::fsync(descriptor);
        ::close(descriptor);
    }
}

}  // namespace

ReplacementFile::ReplacementFile() : stream_(&buffer_) {
    stream_.setstate(std::ios::badbit);
}

ReplacementFile::~ReplacementFile() {
    abandon();
}

void ReplacementFile::abandon() {
    if (descriptor_ >= 0) {
        ::close(descriptor_);
        descriptor_ = -1;
    }
    if (!newFile_.empty()) {
        ::unlink(newFile_.c_str());
        forgetFileToRemove(newFile_.c_str());
        newFile_.clear();
    }
    buffer_.attach(-1);
}

bool ReplacementFile::open(const std::string& path) {
    abandon();
    direct_ = false;
    stream_.clear();
    stream_.setstate(std::ios::badbit);
    target_ = path;
    const auto refuse = [this](int error) {
        error_ = error;
        return false;
    };
    if (const int error = followLinks(target_); error != 0) {
        return refuse(error);
    }
    const std::size_t slash = target_.rfind('/');
    folder_ = slash == std::string::npos ? "." : target_.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target_ : target_.substr(slash + 1);

    struct stat existing {};
    const bool exists = ::lstat(target_.c_str(), &existing) == 0;
    if (!exists && errno != ENOENT) {
        return refuse(errno);
    }
    direct_ = (exists && !S_ISREG(existing.st_mode)) || name.empty() || name == "." ||
              name == ".." || (exists && !mayRenameOver(folder_, existing));
    if (direct_) {
        descriptor_ = ::open(target_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    } else {
        if (exists) {
            // The earlier file must be one this process may write: the
            // folder's permissions never stand in for the file's.
            const int probe = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
            if (probe < 0) {
                return refuse(errno);
            }
            ::close(probe);
        }
        // A name short enough to fit beside the longest name a folder takes.
        const std::string stem = "." + name.substr(0, 200) + ".new-";
        const HeldSignals held;  // no interruption between creating and registering
        for (int attempt = 0; descriptor_ < 0; ++attempt) {
            const std::string candidate =
                (slash == std::string::npos ? std::string() : folder_) + stem + uniqueSuffix();
            descriptor_ =
                ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
            if (descriptor_ < 0 && (errno != EEXIST || attempt == 100)) {
                return refuse(errno);
            }
            if (descriptor_ >= 0 && !registerFileToRemove(candidate.c_str())) {
                ::unlink(candidate.c_str());
                ::close(descriptor_);
                descriptor_ = -1;
                return refuse(ENAMETOOLONG);
            }
            if (descriptor_ >= 0) {
                newFile_ = candidate;
            }
        }
        if (exists) {
            // As a truncating write would leave them: the owner and group
            // first (a change of owner clears the set-id bits), then the mode.
            if (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid()) {
                [[maybe_unused]] const int ignored =
                    ::fchown(descriptor_, existing.st_uid, existing.st_gid);
            }
            ::fchmod(descriptor_, existing.st_mode & 07777);
        }
    }
    if (descriptor_ < 0) {
        return refuse(errno);
    }
    error_ = 0;
    buffer_.attach(descriptor_);
    stream_.clear();
    return true;
}

int ReplacementFile::commit() {
    if (!isOpen()) {
        return error_;
    }
    stream_.flush();
    int failure = buffer_.failure();
    if (failure == 0 && stream_.fail()) {
        failure = EIO;
    }
    if (failure == 0 && !direct_ && ::fsync(descriptor_) != 0) {
        failure = errno;
    }
    if (::close(descriptor_) != 0 && failure == 0) {
        failure = errno;
    }
    descriptor_ = -1;
    if (!direct_) {
        if (failure == 0 && ::rename(newFile_.c_str(), target_.c_str()) != 0) {
            failure = errno;
        }
        if (failure != 0) {
            ::unlink(newFile_.c_str());
        }
        forgetFileToRemove(newFile_.c_str());
        newFile_.clear();
        if (failure == 0) {
            syncFolder(folder_);
        }
    }
    buffer_.attach(-1);
    error_ = failure;
    return failure;
}

}  // namespace unionbound
