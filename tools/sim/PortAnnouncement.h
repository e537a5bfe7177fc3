// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Tells RadioSet's port list that a virtual module offers a port, for as long as
// the module runs.
//
// Each running module keeps one file in the announcement folder, named after its
// port ("pts-3" for /dev/pts/3), with key=value lines:
//   path=/dev/pts/3
//   type=current            (current, legacy-fast or legacy)
//   model=QN7201            (empty for a module that cannot name its model)
//   pid=4242
// The module holds an exclusive flock() on that file while it runs. A reader
// takes a file whose lock is free as left behind by a module that was killed:
// the kernel drops the lock with the process, so a process id used again by
// another program cannot make a dead module look alive.

#include <string>

namespace radiosim {

// $XDG_RUNTIME_DIR/radioset/ports, or /tmp/radioset-UID/ports where
// XDG_RUNTIME_DIR is not set (or not an absolute path).
std::string DefaultAnnouncementFolder();

// "<path> — RadioSet virtual module — <type> <model>", as the port list shows it.
std::string AnnouncedEntryText(const std::string& path, const std::string& type, const std::string& model);

class PortAnnouncement {
public:
    PortAnnouncement() = default;
    ~PortAnnouncement();
    PortAnnouncement(const PortAnnouncement&) = delete;
    PortAnnouncement& operator=(const PortAnnouncement&) = delete;

    // Announces the port at `path` in `folder` (created when missing), replacing
    // what a killed module left under the same name. False with `error` set when
    // it cannot.
    bool publish(const std::string& folder, const std::string& path, const std::string& type,
                 const std::string& model, std::string* error = nullptr);
    // Removes the announcement, unless another module has put its own in its place.
    void withdraw();

    bool published() const { return m_fd >= 0; }
    std::string file() const { return m_file; }

private:
    int m_fd = -1;
    std::string m_folder;
    std::string m_file;
};

}  // namespace radiosim
