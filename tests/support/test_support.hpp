// Helpers shared by the tests: scratch folders, whole-file reads and writes, child processes.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace conlib::test {

// A fresh empty folder, removed with everything in it when the object goes.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // `name` inside the folder.
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

struct ProcessResult {
    int exitCode;        // the exit code, or 128 + the signal that ended the process
    std::string output;  // everything the process wrote to standard output
};

struct ProcessOptions {
    std::string directory;                 // working folder; empty: the test's own
    std::vector<std::string> environment;  // NAME=value entries added to the test's own
    std::string input;                     // bytes on standard input, which then ends
};

// Runs `command` (program path first) to its end, standard output captured.
ProcessResult RunProcess(const std::vector<std::string>& command, const ProcessOptions& options);

// A process that runs beside the test, with its standard input and output on pipes that the
// test holds. The destructor ends it as Finish does.
class ChildProcess {
  public:
    explicit ChildProcess(const std::vector<std::string>& command);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The next line of its standard output, without the line feed; empty when its output
    // ends or no whole line arrives within `timeoutMs`.
    std::string ReadLine(int timeoutMs = 10000);
    // Closes its standard input and waits for its end (killing it after 10 s); returns the exit
    // code as RunProcess does. Later calls return the same code.
    int Finish();

  private:
    // The first whole line of pending_, taken out of it without its line feed.
    std::optional<std::string> TakeLine();

    int pid_ = -1;
    int input_ = -1;
    int output_ = -1;
    int exitCode_ = -1;
    std::string pending_;
};

// The last error code of an open refused because another open holds the file without sharing.
unsigned SharingViolationCode();

// True when the tests run on the Windows API as Wine provides it.
bool RunningUnderWine();

// The few tests that meet a fault of Wine's own assert what Wine does there, and what Windows
// does everywhere else: true under Wine, where the test's output then names the fault
// (`fault`, what Wine does otherwise than Windows).
bool MeetsWineFault(const char* fault);

// True where a message box is the system's own on a desktop, which waits for a user to answer
// it (Windows itself; Wine without a display shows none and answers at once).
bool BoxesWaitForAUser();

// Makes standard output write its bytes as they are: on Windows no carriage return goes before
// each line feed. For the helper programs whose lines a test reads.
void WriteStandardOutputAsIs();

#ifdef CONLIB_DEMO_PATH
// The demo program built with the tests (given to the test programs that run it).
inline const char* DemoPath() {
    return CONLIB_DEMO_PATH;
}
#endif

}  // namespace conlib::test
