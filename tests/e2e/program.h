// SPDX-License-Identifier: GPL-2.0-or-later
// Starting the built program as a user or a start-up script would, for the end-to-end tests.
#pragma once

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "helpers/temp_dir.h"

extern char** environ;

// The load sampler's start, the last line of the start-up on a board.
inline const std::string kStarted = "CPULOAD: thread created, id: ";

// A child process with its own environment; killed at the end if still running.
class Child {
  public:
    // With `as_user` (a test running as root) the child runs under that user and group id.
    Child(const std::vector<std::string>& args, const std::vector<std::string>& env,
          uid_t as_user = 0) {
        std::vector<char*> argv, envp;
        for (auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        for (auto& e : env)
            envp.push_back(const_cast<char*>(e.c_str()));
        envp.push_back(nullptr);
        if (as_user != 0) {
            pid_ = fork();
            if (pid_ == 0) {
                const int out = open("stdout.txt", O_WRONLY | O_CREAT | O_APPEND, 0644);
                const int err = open("stderr.txt", O_WRONLY | O_CREAT | O_APPEND, 0644);
                dup2(out, 1);
                dup2(err, 2);
                if (setgroups(0, nullptr) != 0 || setgid(as_user) != 0 || setuid(as_user) != 0)
                    _exit(127);
                execve(argv[0], argv.data(), envp.data());
                _exit(127);
            }
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "stdout.txt", O_WRONLY | O_CREAT | O_APPEND,
                                         0644);
        posix_spawn_file_actions_addopen(&actions, 2, "stderr.txt", O_WRONLY | O_CREAT | O_APPEND,
                                         0644);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Child() {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    // Sends the signal once the program has installed its handler for it (as its
    // /proc/<pid>/status shows), so a signal is never sent into the start of the process.
    void signal(int sig) {
        for (int i = 0; i < 3000 && !catches(sig); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        kill(pid_, sig);
    }
    pid_t pid() const { return pid_; }
    // The exit code, or -1 when it did not end by itself within the limit.
    int wait(int seconds = 30) {
        for (int i = 0; i < seconds * 100; ++i) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                exited_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return -1;
    }

  private:
    bool catches(int sig) const {
        std::string status = read_file("/proc/" + std::to_string(pid_) + "/status");
        size_t at = status.find("SigCgt:");
        if (at == std::string::npos)
            return false;
        unsigned long long mask = std::stoull(status.substr(at + 7), nullptr, 16);
        return (mask >> (sig - 1)) & 1u;
    }

    pid_t pid_ = -1;
    bool exited_ = false;
};

inline std::vector<std::string> environment_with(const std::vector<std::string>& extra) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string var(*e);
        if (var.rfind("DISPLAY=", 0) == 0 || var.rfind("WAYLAND_DISPLAY=", 0) == 0 ||
            var.rfind("QT_QPA_PLATFORM=", 0) == 0)
            continue;
        env.push_back(var);
    }
    env.insert(env.end(), extra.begin(), extra.end());
    return env;
}

inline size_t count_of(const std::string& haystack, const std::string& text) {
    size_t n = 0;
    for (size_t at = haystack.find(text); at != std::string::npos; at = haystack.find(text, at + 1))
        ++n;
    return n;
}

// Waits until the file holds the text `times` times (the program has come up that far).
inline bool wait_for_text(const std::string& file, const std::string& text, size_t times = 1,
                          int seconds = 30) {
    for (int i = 0; i < seconds * 100; ++i) {
        if (count_of(read_file(file), text) >= times)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// Starts velmora offscreen on the simulated board, waits until its start is done, closes it
// with SIGTERM and expects the exit code.
inline void start_and_close(int seconds = 30, int code = 0) {
    Child velmora({VELMORA_BINARY, "--unattended"},
                  environment_with({"QT_QPA_PLATFORM=offscreen"}));
    ASSERT_TRUE(wait_for_text("velmora.deb", kStarted, 1, seconds)) << read_file("velmora.deb");
    velmora.signal(SIGTERM);
    EXPECT_EQ(velmora.wait(seconds), code) << read_file("stderr.txt");
}
