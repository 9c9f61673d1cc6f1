#pragma once

#include <QString>
#include <cerrno>
#include <unistd.h>

// Files and folders handled at the system's level where the program must know what the disk
// said (every close and removal checked) and must never be led elsewhere by a link.
namespace DiskFiles {

// A file descriptor closed with the object.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }
    // Closes it (and holds fd instead); the close's own error (a write the disk refused at last)
    // or 0.
    int reset(int fd = -1) {
        const int error = m_fd >= 0 && ::close(m_fd) != 0 ? errno : 0;
        m_fd = fd;
        return error;
    }

private:
    int m_fd;
};

// Removes a file, a link (never what it points to) or a folder with everything in it, whose links
// are removed the same way. Returns 0 once it is gone, else why not (an errno value).
int removeTree(const QString& path);
// The same for the entry name of the folder open as parent (never led elsewhere should a link
// take the folder's path meanwhile).
int removeAt(int parent, const char* name);

} // namespace DiskFiles
