#pragma once
// Runs a command-line tool of the project as a child process, for end-to-end tests: pipes on all
// three standard streams, TARNWICK_CONFIG_DIR set to a given folder.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

extern char** environ;

namespace tarnwick::testing {

namespace fs = std::filesystem;

struct ToolResult {
    int status = -1;  // exit status, or 128 + signal number
    std::string out;
    std::string err;
};

struct ToolInvocation {
    std::vector<std::string> args;
    std::string input;
    fs::path cwd;
    fs::path configDir;
    bool closeStdout = false;
    std::string exe;  // the program to run
};

// Runs the tool with pipes on all three standard streams, feeding `input` and collecting both
// outputs at the same time so that neither side can block the other.
inline ToolResult RunTool(const ToolInvocation& call)
{
    signal(SIGPIPE, SIG_IGN);
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "pipe2 failed";
        return {};
    }

    std::vector<std::string> argStrings{call.exe};
    argStrings.insert(argStrings.end(), call.args.begin(), call.args.end());
    std::vector<char*> argv;
    for (std::string& a : argStrings) argv.push_back(a.data());
    argv.push_back(nullptr);

    std::vector<std::string> envStrings;
    for (char** e = environ; *e != nullptr; ++e) {
        if (!std::string_view(*e).starts_with("TARNWICK_CONFIG_DIR=")) envStrings.emplace_back(*e);
    }
    envStrings.push_back("TARNWICK_CONFIG_DIR=" + call.configDir.string());
    std::vector<char*> envp;
    for (std::string& e : envStrings) envp.push_back(e.data());
    envp.push_back(nullptr);

    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        if (call.closeStdout) close(1);
        if (chdir(call.cwd.c_str()) != 0) _exit(126);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    fcntl(in[1], F_SETFL, O_NONBLOCK);

    ToolResult result;
    std::size_t written = 0;
    int inFd = in[1];
    if (call.input.empty()) {
        close(inFd);
        inFd = -1;
    }
    int outFds[2] = {out[0], err[0]};
    std::string* sinks[2] = {&result.out, &result.err};
    while (inFd != -1 || outFds[0] != -1 || outFds[1] != -1) {
        pollfd fds[3] = {{inFd, POLLOUT, 0}, {outFds[0], POLLIN, 0}, {outFds[1], POLLIN, 0}};
        if (poll(fds, 3, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (inFd != -1 && fds[0].revents != 0) {
            const ssize_t n = write(inFd, call.input.data() + written, call.input.size() - written);
            if (n > 0) written += static_cast<std::size_t>(n);
            if (n < 0 && errno != EAGAIN) written = call.input.size();  // the tool stopped reading
            if (written == call.input.size()) {
                close(inFd);
                inFd = -1;
            }
        }
        for (int i = 0; i < 2; ++i) {
            if (outFds[i] == -1 || fds[i + 1].revents == 0) continue;
            char buffer[4096];
            const ssize_t n = read(outFds[i], buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                close(outFds[i]);
                outFds[i] = -1;
            }
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

}  // namespace tarnwick::testing
