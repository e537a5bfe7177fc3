// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProcessProbe.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#ifdef RADIOSET_BENCH_XCB
#include <xcb/xcb.h>
#endif

extern char** environ;

namespace bench {

namespace {

long long StatusField(const std::string& path, const char* name)
{
    std::ifstream in(path);
    std::string line;
    const size_t len = std::strlen(name);
    while (std::getline(in, line)) {
        if (line.compare(0, len, name) == 0 && line.size() > len && line[len] == ':')
            return std::atoll(line.c_str() + len + 1);
    }
    return -1;
}

} // namespace

ProcessCounters ReadCounters(pid_t pid)
{
    ProcessCounters counters;
    const std::string taskDir = "/proc/" + std::to_string(pid) + "/task";
    DIR* dir = ::opendir(taskDir.c_str());
    if (!dir)
        return counters;
    while (dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        const std::string base = taskDir + "/" + entry->d_name;
        Counters thread;
        // schedstat counts nanoseconds; stat only whole clock ticks, too coarse
        // for a process that is meant to do next to nothing.
        std::ifstream sched(base + "/schedstat");
        unsigned long long runNs = 0;
        if (sched >> runNs)
            thread.cpuSeconds = static_cast<double>(runNs) / 1e9;
        const long long voluntary = StatusField(base + "/status", "voluntary_ctxt_switches");
        const long long involuntary = StatusField(base + "/status", "nonvoluntary_ctxt_switches");
        if (voluntary >= 0)
            thread.switches += voluntary;
        if (involuntary >= 0)
            thread.switches += involuntary;
        counters.threads[std::atol(entry->d_name)] = thread;
        counters.valid = true;
    }
    ::closedir(dir);
    return counters;
}

Counters Between(const ProcessCounters& from, const ProcessCounters& to)
{
    Counters sum;
    for (const auto& [tid, now] : to.threads) {
        const auto before = from.threads.find(tid);
        const Counters start = before == from.threads.end() ? Counters{} : before->second;
        sum.cpuSeconds += now.cpuSeconds - start.cpuSeconds;
        sum.switches += now.switches - start.switches;
    }
    return sum;
}

long RssKiB(pid_t pid)
{
    return static_cast<long>(StatusField("/proc/" + std::to_string(pid) + "/status", "VmRSS"));
}

Child Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv)
{
    Child child;
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return child;

    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string key = entry.substr(0, entry.find('='));
        bool replaced = false;
        for (const std::string& extra : extraEnv)
            replaced = replaced || extra.compare(0, key.size() + 1, key + "=") == 0;
        if (!replaced)
            env.push_back(entry);
    }
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());

    std::vector<char*> args, envp;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (const std::string& e : env)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    child.started = Clock::now();
    pid_t pid = -1;
    const int rc = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (rc != 0) {
        ::close(pipeFds[0]);
        return child;
    }
    child.pid = pid;
    child.out = pipeFds[0];
    return child;
}

bool ReadLine(const Child& child, std::string* line, int timeoutMs)
{
    line->clear();
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
        if (left <= 0)
            return false;
        pollfd fd{child.out, POLLIN, 0};
        if (::poll(&fd, 1, left) <= 0)
            continue;
        char c = 0;
        const ssize_t n = ::read(child.out, &c, 1);
        if (n <= 0)
            return false;
        if (c == '\n')
            return true;
        *line += c;
    }
}

void Terminate(Child& child)
{
    if (child.pid > 0) {
        ::kill(child.pid, SIGTERM);
        int status = 0;
        for (int i = 0; i < 300; ++i) {
            if (::waitpid(child.pid, &status, WNOHANG) == child.pid) {
                child.pid = -1;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (child.pid > 0) {
            ::kill(child.pid, SIGKILL);
            ::waitpid(child.pid, &status, 0);
            child.pid = -1;
        }
    }
    if (child.out >= 0) {
        ::close(child.out);
        child.out = -1;
    }
}

Finished WaitForEnd(Child& child, int timeoutMs)
{
    Finished result;
    if (child.pid <= 0)
        return result;
    const auto deadline = child.started + std::chrono::milliseconds(timeoutMs);
    bool timedOut = false;
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            timedOut = true;
            break;
        }
        pollfd fd{child.out, POLLIN, 0};
        if (::poll(&fd, 1, static_cast<int>(left)) <= 0)
            continue;
        char buffer[4096];
        const ssize_t n = ::read(child.out, buffer, sizeof buffer);
        if (n > 0) {
            result.output.append(buffer, static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break;
    }
    result.ended = Clock::now();
    if (timedOut)
        ::kill(child.pid, SIGKILL);
    int status = 0;
    rusage usage{};
    if (::wait4(child.pid, &status, 0, &usage) == child.pid) {
        result.exited = !timedOut && WIFEXITED(status);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
                            + static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
        result.maxRssKiB = usage.ru_maxrss;
    }
    child.pid = -1;
    ::close(child.out);
    child.out = -1;
    return result;
}

#ifdef RADIOSET_BENCH_XCB

namespace {

// A round trip: every event the server sent before it has arrived afterwards.
void SyncWithServer(xcb_connection_t* connection)
{
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

} // namespace

struct MapWatch::Impl {
    xcb_connection_t* connection = nullptr;
    xcb_atom_t pidAtom = XCB_ATOM_NONE;

    xcb_atom_t Atom(const char* name)
    {
        auto cookie = xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name);
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
        const xcb_atom_t atom = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
        std::free(reply);
        return atom;
    }

    // -1 when the window does not say.
    long WindowPid(xcb_window_t window)
    {
        auto cookie = xcb_get_property(connection, 0, window, pidAtom, XCB_ATOM_CARDINAL, 0, 1);
        xcb_get_property_reply_t* reply = xcb_get_property_reply(connection, cookie, nullptr);
        long pid = -1;
        if (reply && xcb_get_property_value_length(reply) >= 4)
            pid = static_cast<long>(*static_cast<uint32_t*>(xcb_get_property_value(reply)));
        std::free(reply);
        return pid;
    }

    std::string WindowTitle(xcb_window_t window)
    {
        auto cookie = xcb_get_property(connection, 0, window, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, 256);
        xcb_get_property_reply_t* reply = xcb_get_property_reply(connection, cookie, nullptr);
        std::string title;
        if (reply)
            title.assign(static_cast<const char*>(xcb_get_property_value(reply)),
                         static_cast<size_t>(xcb_get_property_value_length(reply)));
        std::free(reply);
        return title;
    }
};

MapWatch::MapWatch()
    : m_impl(new Impl)
{
    m_impl->connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(m_impl->connection)) {
        xcb_disconnect(m_impl->connection);
        m_impl->connection = nullptr;
        return;
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_impl->connection)).data;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(m_impl->connection, screen->root, XCB_CW_EVENT_MASK, &mask);
    m_impl->pidAtom = m_impl->Atom("_NET_WM_PID");
    xcb_flush(m_impl->connection);
}

MapWatch::~MapWatch()
{
    if (m_impl->connection)
        xcb_disconnect(m_impl->connection);
    delete m_impl;
}

bool MapWatch::Usable() const
{
    return m_impl->connection != nullptr;
}

void MapWatch::Drain()
{
    if (!m_impl->connection)
        return;
    SyncWithServer(m_impl->connection);
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_impl->connection))
        std::free(event);
}

bool MapWatch::WaitForWindowOf(pid_t pid, int timeoutMs, Clock::time_point* mappedAt, std::string* title)
{
    if (!m_impl->connection)
        return false;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    const int fd = xcb_get_file_descriptor(m_impl->connection);
    for (;;) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(m_impl->connection)) {
            // Stamped as it is taken from the connection: the server sent it no
            // sooner, and this loop waits on the connection without delay.
            const auto now = Clock::now();
            const bool map = (event->response_type & 0x7f) == XCB_MAP_NOTIFY;
            xcb_map_notify_event_t mapped{};
            if (map)
                mapped = *reinterpret_cast<xcb_map_notify_event_t*>(event);
            std::free(event);
            if (!map || mapped.override_redirect)
                continue;
            const long owner = m_impl->WindowPid(mapped.window);
            if (owner == pid || owner < 0) {
                *mappedAt = now;
                *title = m_impl->WindowTitle(mapped.window);
                return true;
            }
        }
        const int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
        if (left <= 0)
            return false;
        pollfd p{fd, POLLIN, 0};
        ::poll(&p, 1, left);
    }
}

#else

struct MapWatch::Impl {};
MapWatch::MapWatch() : m_impl(new Impl) {}
MapWatch::~MapWatch() { delete m_impl; }
bool MapWatch::Usable() const { return false; }
void MapWatch::Drain() {}
bool MapWatch::WaitForWindowOf(pid_t, int, Clock::time_point*, std::string*) { return false; }

#endif

} // namespace bench
