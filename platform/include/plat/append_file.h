// Appending to files in a directory below the working directory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace plat {

// Appends `text` to `dir`/`file`, creating both when missing. Neither is
// followed through a symbolic link, so a link planted in a shared working
// directory cannot send the write elsewhere, and only a regular file is
// written to (a FIFO there would block the caller for good). 0, or the
// system error.
int appendToFileInDir(const std::string& dir, const std::string& file, const std::string& text);

// A file that one writer made and alone writes: created only where nothing
// of its name exists yet, so a link, a FIFO or another run's file planted
// under the name is never opened, and a run never writes into another's.
class OwnFile {
public:
    OwnFile() = default;
    ~OwnFile() { close(); }
    OwnFile(const OwnFile&) = delete;
    OwnFile& operator=(const OwnFile&) = delete;

    // Creates `dir`/`file`; 0, EEXIST when the name is taken by anything,
    // ENOENT when the directory is missing (it is not made, and not followed
    // through a link), or the system's error.
    int create(const std::string& dir, const std::string& file);
    bool isOpen() const { return handle_ != -1; }
    // Appends all `size` bytes or none: what a full disk took of them is cut
    // off again, so the file ends where it ended before. 0 or the error.
    int append(const void* data, size_t size);
    // Overwrites bytes written before, `offset` from the start.
    int writeAt(uint64_t offset, const void* data, size_t size);
    // Bytes appended so far.
    uint64_t size() const { return size_; }
    void close();
    // Closes the file and takes its name away again.
    void remove();

private:
    intptr_t handle_ = -1;
    uint64_t size_ = 0;
    std::string path_;
};

} // namespace plat
