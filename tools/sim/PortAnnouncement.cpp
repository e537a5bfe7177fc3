// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortAnnouncement.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace radiosim {

namespace {

std::string systemError(const std::string& what)
{
    return what + ": " + std::strerror(errno);
}

// The folder exists (made here when missing) and is ours alone to write: in a
// shared /tmp another user could otherwise have made it first and fill it.
bool ensureOwnFolder(const std::string& path, std::string* error)
{
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        *error = systemError("cannot make " + path);
        return false;
    }
    struct stat st{};
    if (::lstat(path.c_str(), &st) != 0) {
        *error = systemError(path);
        return false;
    }
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() || (st.st_mode & 022) != 0) {
        *error = path + " is not a folder of this user's alone";
        return false;
    }
    return true;
}

// "/dev/pts/3" -> "pts-3": one plain file name per port.
std::string fileNameFor(const std::string& path)
{
    std::string name = path;
    while (!name.empty() && name.front() == '/')
        name.erase(0, 1);
    if (name.rfind("dev/", 0) == 0)
        name.erase(0, 4);
    for (char& c : name)
        if (c == '/')
            c = '-';
    return name.empty() ? std::string("port") : name;
}

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Held while announcements are added, swept or removed, so that two modules
// starting at once never take each other's fresh file for a stale one.
class FolderLock {
public:
    explicit FolderLock(const std::string& folder)
        : m_fd(::open((folder + "/.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600))
    {
        if (m_fd >= 0)
            while (::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
            }
    }
    ~FolderLock()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    int m_fd;
};

// Removes what killed modules left: every file whose lock nobody holds.
void sweepStale(const std::string& folder)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == ".." || name == ".lock")
            continue;
        const std::string file = folder + "/" + name;
        const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0)
            continue;
        struct stat opened{}, now{};
        if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0
            && ::lstat(file.c_str(), &now) == 0 && sameFile(opened, now))
            ::unlink(file.c_str());
        ::close(fd);
    }
    ::closedir(dir);
}

}  // namespace

std::string DefaultAnnouncementFolder()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/')
        return std::string(runtime) + "/radioset/ports";
    return "/tmp/radioset-" + std::to_string(::geteuid()) + "/ports";
}

std::string AnnouncedEntryText(const std::string& path, const std::string& type, const std::string& model)
{
    return path + " \u2014 RadioSet virtual module \u2014 " + type + (model.empty() ? " (no model name)" : " " + model);
}

PortAnnouncement::~PortAnnouncement()
{
    withdraw();
}

bool PortAnnouncement::publish(const std::string& folder, const std::string& path, const std::string& type,
                               const std::string& model, std::string* error)
{
    std::string message;
    if (!error)
        error = &message;
    withdraw();
    const size_t slash = folder.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !ensureOwnFolder(folder.substr(0, slash), error))
        return false;
    if (!ensureOwnFolder(folder, error))
        return false;

    FolderLock lock(folder);
    sweepStale(folder);
    const std::string name = fileNameFor(path);
    const std::string file = folder + "/" + name;
    // Written whole under another name and locked before it is renamed into
    // place, so that a reader never sees it half written or unlocked.
    const std::string temporary = folder + "/." + name + "." + std::to_string(::getpid()) + ".tmp";
    ::unlink(temporary.c_str());
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        *error = systemError("cannot make " + temporary);
        return false;
    }
    const std::string content =
        "path=" + path + "\ntype=" + type + "\nmodel=" + model + "\npid=" + std::to_string(::getpid()) + "\n";
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0
        || ::write(fd, content.data(), content.size()) != static_cast<ssize_t>(content.size())
        || ::rename(temporary.c_str(), file.c_str()) != 0) {
        *error = systemError("cannot write " + file);
        ::unlink(temporary.c_str());
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_folder = folder;
    m_file = file;
    return true;
}

void PortAnnouncement::withdraw()
{
    if (m_fd < 0)
        return;
    {
        FolderLock lock(m_folder);
        struct stat mine{}, now{};
        if (::fstat(m_fd, &mine) == 0 && ::lstat(m_file.c_str(), &now) == 0 && sameFile(mine, now))
            ::unlink(m_file.c_str());
    }
    ::close(m_fd);
    m_fd = -1;
    m_file.clear();
    m_folder.clear();
}

}  // namespace radiosim
