// Runs a built program (kavrin or kavrin-uci) as a child process, as an
// interface would: in a fresh temporary directory, with its standard input
// and output on pipes.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>
#include <sys/types.h>

namespace kavrin::test {

class EngineProcess {
  public:
    // Creates the working directory; the engine starts with Start().
    explicit EngineProcess(std::string binary);
    ~EngineProcess();
    EngineProcess(const EngineProcess&) = delete;
    EngineProcess& operator=(const EngineProcess&) = delete;

    const std::string& Directory() const { return directory_; }
    // Writes a file into the working directory (book files and the like).
    void WriteFile(const std::string& name, const std::string& contents) const;
    // Both books, valid and empty: no book move, and no "BOOK ERROR" line.
    void WriteEmptyBooks() const;
    std::string ReadFile(const std::string& name) const;
    std::string Log() const { return ReadFile("Kavrin.log"); }

    // Starts the program with these command-line arguments.
    bool Start(const std::vector<std::string>& arguments = {});
    void Send(const std::string& text);
    void CloseInput();
    // Sends the greeting and the six reply words of an interface, and waits
    // until the engine has finished its start-up.
    bool Greet(int timeoutMs = 10000);
    // The same for kavrin-uci: "uci", then its answer up to "uciok".
    bool GreetUci(int timeoutMs = 10000);

    // Everything the engine has written to its standard output so far.
    const std::string& Output() const { return output_; }
    // Reads output until `text` appears after the last match; true when it did
    // within the timeout. The next wait looks only after this match.
    bool WaitFor(const std::string& text, int timeoutMs);
    // Waits for a whole line that begins with prefix and returns it without
    // its line end; empty on timeout.
    std::string WaitForLine(const std::string& prefix, int timeoutMs);
    // Reads what the engine writes for quietMs without waiting for anything.
    void Drain(int quietMs);

    // Waits for the engine to end; true with its exit status when it did.
    bool WaitExit(int timeoutMs, int* status);
    // Waits for the engine to end; a success when it ended by itself with
    // status 0 within the timeout, a failure that says what happened otherwise.
    ::testing::AssertionResult ExitsNormally(int timeoutMs);
    pid_t Pid() const { return pid_; }

  private:
    // Reads what is available within timeoutMs; false at the end of output.
    bool ReadSome(int timeoutMs);

    std::string binary_;
    std::string directory_;
    std::string output_;
    size_t cursor_ = 0;
    pid_t pid_ = -1;
    int toEngine_ = -1;
    int fromEngine_ = -1;
    bool exited_ = false;
    int exitStatus_ = -1;
};

}  // namespace kavrin::test
