#include "support/engine_process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include "book/book.h"
#include "support/files.h"

namespace kavrin::test {

namespace {

long long NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

EngineProcess::EngineProcess(std::string binary) : binary_(std::move(binary)) {
    char pattern[] = "/tmp/kavrin-test-XXXXXX";
    if (mkdtemp(pattern) != nullptr) directory_ = pattern;
}

EngineProcess::~EngineProcess() {
    if (toEngine_ >= 0) close(toEngine_);
    if (pid_ > 0 && !exited_) {
        int status = 0;
        if (!WaitExit(2000, &status)) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
        }
    }
    if (fromEngine_ >= 0) close(fromEngine_);
    if (!directory_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(directory_, ignored);
    }
}

void EngineProcess::WriteFile(const std::string& name, const std::string& contents) const {
    WriteFileBytes(directory_ + "/" + name, contents);
}

void EngineProcess::WriteEmptyBooks() const {
    for (const char* baseName : BookBaseNames) WriteEmptyBook(directory_ + "/" + baseName);
}

std::string EngineProcess::ReadFile(const std::string& name) const { return ReadFileBytes(directory_ + "/" + name); }

bool EngineProcess::Start(const std::vector<std::string>& arguments) {
    if (directory_.empty()) return false;
    // A write to an engine that has ended must fail, not end the test.
    std::signal(SIGPIPE, SIG_IGN);
    int in[2];
    int out[2];
    if (pipe2(in, O_CLOEXEC) != 0) return false;
    if (pipe2(out, O_CLOEXEC) != 0) {
        close(in[0]);
        close(in[1]);
        return false;
    }
    std::vector<char*> argv{binary_.data()};
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ < 0) return false;
    if (pid_ == 0) {
        if (chdir(directory_.c_str()) != 0) _exit(126);
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        execv(binary_.c_str(), argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    toEngine_ = in[1];
    fromEngine_ = out[0];
    return true;
}

void EngineProcess::Send(const std::string& text) {
    size_t done = 0;
    while (toEngine_ >= 0 && done < text.size()) {
        ssize_t n = write(toEngine_, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<size_t>(n);
    }
}

void EngineProcess::CloseInput() {
    if (toEngine_ >= 0) close(toEngine_);
    toEngine_ = -1;
}

bool EngineProcess::Greet(int timeoutMs) {
    Send("xboard\nprotover 2\naccepted done\naccepted setboard\n");
    return WaitFor("feature done=1\n", timeoutMs);
}

bool EngineProcess::GreetUci(int timeoutMs) {
    Send("uci\n");
    return WaitFor("uciok\n", timeoutMs);
}

bool EngineProcess::ReadSome(int timeoutMs) {
    if (fromEngine_ < 0) return false;
    pollfd p{fromEngine_, POLLIN, 0};
    int r = poll(&p, 1, timeoutMs);
    if (r <= 0) return true;
    char buffer[4096];
    ssize_t n = read(fromEngine_, buffer, sizeof buffer);
    if (n <= 0) {
        if (n < 0 && errno == EINTR) return true;
        close(fromEngine_);
        fromEngine_ = -1;
        return false;
    }
    output_.append(buffer, static_cast<size_t>(n));
    return true;
}

bool EngineProcess::WaitFor(const std::string& text, int timeoutMs) {
    long long deadline = NowMs() + timeoutMs;
    for (;;) {
        size_t at = output_.find(text, cursor_);
        if (at != std::string::npos) {
            cursor_ = at + text.size();
            return true;
        }
        long long left = deadline - NowMs();
        if (fromEngine_ < 0 || left <= 0) return false;
        ReadSome(static_cast<int>(left));
    }
}

std::string EngineProcess::WaitForLine(const std::string& prefix, int timeoutMs) {
    long long deadline = NowMs() + timeoutMs;
    for (;;) {
        // A complete line after the cursor that begins with the prefix.
        size_t lineStart = cursor_;
        while (lineStart < output_.size()) {
            size_t end = output_.find('\n', lineStart);
            if (end == std::string::npos) break;
            if (output_.compare(lineStart, prefix.size(), prefix) == 0 && end - lineStart >= prefix.size()) {
                cursor_ = end + 1;
                return output_.substr(lineStart, end - lineStart);
            }
            lineStart = end + 1;
        }
        long long left = deadline - NowMs();
        if (fromEngine_ < 0 || left <= 0) return "";
        ReadSome(static_cast<int>(left));
    }
}

void EngineProcess::Drain(int quietMs) {
    long long deadline = NowMs() + quietMs;
    while (NowMs() < deadline && fromEngine_ >= 0) {
        ReadSome(static_cast<int>(deadline - NowMs()));
    }
}

bool EngineProcess::WaitExit(int timeoutMs, int* status) {
    if (exited_) {
        if (status != nullptr) *status = exitStatus_;
        return true;
    }
    long long deadline = NowMs() + timeoutMs;
    for (;;) {
        // Keep reading so that an engine blocked on a full pipe can finish.
        if (fromEngine_ >= 0) ReadSome(10);
        pid_t r = waitpid(pid_, &exitStatus_, WNOHANG);
        if (r == pid_) {
            exited_ = true;
            if (status != nullptr) *status = exitStatus_;
            // Collect what is still in the pipe, up to its end.
            for (int i = 0; i < 1000 && fromEngine_ >= 0; ++i) ReadSome(100);
            return true;
        }
        if (NowMs() >= deadline) return false;
        if (fromEngine_ < 0) usleep(5000);
    }
}

::testing::AssertionResult EngineProcess::ExitsNormally(int timeoutMs) {
    int status = -1;
    if (!WaitExit(timeoutMs, &status)) {
        return ::testing::AssertionFailure() << "the engine hangs: it did not end within " << timeoutMs << " ms";
    }
    if (WIFSIGNALED(status)) return ::testing::AssertionFailure() << "the engine died by signal " << WTERMSIG(status);
    if (WEXITSTATUS(status) != 0) {
        return ::testing::AssertionFailure() << "the engine ended with status " << WEXITSTATUS(status);
    }
    return ::testing::AssertionSuccess();
}

}  // namespace kavrin::test
