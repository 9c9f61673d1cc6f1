#include "ledger/diskfiles.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace {

// Removes the entry name of the folder open as parent: a file or a link as such (never what a
// link points to), a folder with everything in it, whose links are removed the same way. Returns 0
// once it is gone, else why not.
int removeEntry(int parent, const char* name, int depth = 0) {
    if (::unlinkat(parent, name, 0) == 0 || errno == ENOENT)
        return 0;
    if (errno != EISDIR && errno != EPERM)
        return errno;
    // A folder: opened without following a link (one put in its place meanwhile is refused).
    const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOTDIR || errno == ELOOP ? EPERM : errno;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        const int error = errno;
        ::close(fd);
        return error;
    }
    std::vector<QByteArray> names;
    while (const dirent* entry = ::readdir(dir))
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.emplace_back(entry->d_name);
    int error = 0;
    // Folders nested deeper than any the program makes are left (and said so).
    if (depth > 64)
        error = ELOOP;
    for (const QByteArray& entry : names)
        if (!error)
            error = removeEntry(::dirfd(dir), entry.constData(), depth + 1);
    ::closedir(dir);
    if (error)
        return error;
    return ::unlinkat(parent, name, AT_REMOVEDIR) == 0 || errno == ENOENT ? 0 : errno;
}

} // namespace

int DiskFiles::removeAt(int parent, const char* name) {
    return removeEntry(parent, name);
}

int DiskFiles::removeTree(const QString& path) {
    if (path.isEmpty())
        return 0;
    const QFileInfo info(path);
    const Descriptor parent(
        ::open(QFile::encodeName(info.absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (parent.get() < 0)
        return errno == ENOENT ? 0 : errno;
    return removeAt(parent.get(), QFile::encodeName(info.fileName()).constData());
}
