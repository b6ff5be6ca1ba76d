// A file that replaces the earlier one only once it is complete. The text
// goes to a new file in the same folder, which is moved over the earlier file
// once it is written, flushed, synced and closed; a run that fails or is
// stopped at any moment leaves the earlier file byte for byte, or the
// complete new one.
#pragma once

#include <memory>
#include <ostream>
#include <streambuf>
#include <string>

namespace unionbound {

// An output buffer over an open file descriptor. A failed write makes every
// later write fail too; failure() keeps the errno of the first.
class DescriptorBuffer : public std::streambuf {
  public:
    DescriptorBuffer();
    // Writes go to `descriptor` from now on (-1: every write fails).
    void attach(int descriptor);
    int failure() const { return failure_; }

  protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override;

  private:
    bool writeAll(const char* text, std::size_t count);
    static constexpr std::size_t kSize = std::size_t{1} << 16;
    std::unique_ptr<char[]> buffer_;
    int descriptor_ = -1;
    int failure_ = 0;
};

class ReplacementFile {
  public:
    ReplacementFile();
    // Abandons a replacement that was not committed: the new file is removed
    // and the earlier file stays as it was.
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // Starts the replacement of `path`, refusing exactly what an ordinary
    // truncating write would refuse, and a folder that cannot hold the new
    // file:
    // - a symbolic link is followed to the file it ends at; that file is
    //   replaced (created, for a dangling link) and the link stays;
    // - an existing regular file that this process may not open for writing
    //   is refused with that errno, whatever the folder would allow;
    // - the new file is created in the folder of the file it replaces, under
    //   a hidden name registered for removal by an interruption; a folder
    //   where it cannot be created is refused with that errno;
    // - the new file gets the permission bits of the existing file and, where
    //   the process may, its owner and group; else those any new file gets;
    // - a target that is no regular file (a folder, a device, a FIFO), or a
    //   file in a sticky folder that the process could not rename over, is
    //   opened for an ordinary truncating write instead (writesDirectly()).
    // Returns false on refusal: error() holds the errno and stream() ignores
    // every write, in the failed state.
    bool open(const std::string& path);
    bool isOpen() const { return descriptor_ >= 0; }
    int error() const { return error_; }
    bool writesDirectly() const { return direct_; }
    std::ostream& stream() { return stream_; }

    // Flushes the text, syncs and closes the new file and moves it over the
    // earlier one. Returns 0, or the errno of the first failure (a write, the
    // sync, the close or the move), or the refusal's errno when not open. On
    // failure the new file is removed and the earlier file stays, except
    // when written directly.
    int commit();

  private:
    void abandon();

    DescriptorBuffer buffer_;
    std::ostream stream_;
    int descriptor_ = -1;
    int error_ = 0;
    bool direct_ = false;
    std::string target_;   // the file replaced, symbolic links followed
    std::string newFile_;  // the hidden new file beside it
    std::string folder_;   // the folder of both
};

}  // namespace unionbound
