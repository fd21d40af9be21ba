// The console host: the screen buffer that the console's output calls work on, where it is
// shown, and the host thread that reads the keyboard and draws the screen in frames.
//
// On a terminal the host thread reads the keyboard's bytes as they arrive and hands them to
// the console's input (KeyboardSink), and draws a frame at most FrameDelayMs after the first
// change not yet shown. The program's calls draw one themselves before any wait or look at the
// input (ShowNow). Every use of the screen buffer and of the input queue holds the host's lock
// (Lock); no console call of the program ever waits for the terminal: frames are written by the
// host thread. The host reads and draws only on descriptors of its own (terminal::Session).
//
// The console's window starts where the terminal's cursor is, over what the terminal shows:
// the rows the program has not written are left as they are until it writes or clears them.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "host_lock.hpp"
#include "platform/common/vt_input.hpp"
#include "renderer.hpp"
#include "screen_buffer.hpp"

namespace conlib::posix {

// What the host thread hands the keyboard's bytes to: the console's input. Every call is made
// holding the host's lock.
class KeyboardSink {
  public:
    // Decodes the keys of `bytes` that are complete, after those held from before; while
    // `cursorReportOwed`, the terminal's report of a cursor on row 1 is no key. Returns true
    // when the bytes end with the start of a sequence, held for its rest.
    virtual bool TakeKeyboardBytes(const unsigned char* bytes, std::size_t count,
                                   bool cursorReportOwed) = 0;
    // No rest came in time: what is held is decoded as it stands (a lone ESC is Escape).
    virtual void TakeHeldBytes() = 0;
    // The keyboard has ended (the terminal hung up).
    virtual void KeyboardEnded() = 0;

  protected:
    ~KeyboardSink() = default;
};

// The console's input, which the host thread feeds (defined with the console's input).
KeyboardSink& ConsoleKeyboard();

class ConsoleHost {
  public:
    enum class Mode {
        Terminal,  // standard output is a terminal: the renderer keeps it in line with the buffer
        Plain,     // standard output is a file or a pipe: text goes out as the bytes written
        Headless,  // CONLIB_CONSOLE=COLUMNSxROWS: an in-memory console, no input or output
    };

    // A frame is drawn at most this long after the first change not yet shown.
    static constexpr int FrameDelayMs = 16;
    // How long a sequence's rest may take to arrive before its start is taken as keys of its
    // own (a lone ESC for the Escape key).
    static constexpr int SequenceWaitMs = 25;

    // The process's console host, set up on first use.
    static ConsoleHost& Instance();

    // The host when the console has been used, else null.
    static ConsoleHost* Started() { return started_.load(std::memory_order_acquire); }

    // The lock of the screen buffer and the input queue.
    static HostLock& Lock();

    Mode mode() const { return mode_; }

    // Whether the host thread reads the keyboard (standard input is a terminal).
    bool ReadsKeyboard() const { return readsKeyboard_; }

    // Takes the keyboard over, when standard input is a terminal and it is not yet taken (a
    // console whose output is no terminal takes it at the first look at the input, so that a
    // pager behind a pipe keeps it until then). Holding the lock.
    void TakeKeyboard();

    // The screen buffer, brought to the terminal's size if that changed. Holding the lock.
    ScreenBuffer& Screen();

    // Processed output of text written to the console.
    void Write(const char* text, std::size_t length);

    // The window: the part of the buffer a console shows. On a terminal it has the terminal's
    // size and follows the cursor over a buffer as wide as the terminal and BufferRows() tall;
    // elsewhere it is the size the console started with, at the buffer's top left.
    int WindowLeft() const { return screen_.WindowLeft(); }
    int WindowTop() const { return screen_.WindowTop(); }
    int WindowColumns() const { return screen_.WindowColumns(); }
    int WindowRows() const { return screen_.WindowRows(); }

    // The rows of a terminal's buffer unless the terminal has more: CONLIB_BUFFER_ROWS, or
    // DefaultBufferRows.
    static constexpr int DefaultBufferRows = 9001;

    // Sets the buffer's size, never smaller than the window.
    bool Resize(int columns, int rows);

    // Notes that the buffer changed: it is shown within FrameDelayMs.
    void Show();

    // Brings the terminal in line with the buffer now (before a wait or a look at the input):
    // the frame is made at once and written by the host thread.
    void ShowNow();

    // Waits, letting go of the lock meanwhile, until the keyboard has given something since
    // `seen` (a value of InputCount), or the host thread has stopped.
    std::uint32_t InputCount() const { return inputCount_.load(std::memory_order_acquire); }
    void WaitForInput(std::uint32_t seen);

    // Called by the console's input, holding the lock: the keyboard gave something.
    void NoteInput();
    // Called by the console's input, holding the lock: the terminal answered a question.
    void TakeReport(const platform::TerminalReport& report);
    // The program is to get the interrupt signal (Ctrl+C with processed input), once the
    // host thread has let go of the lock.
    void RequestInterrupt() { interruptPending_ = true; }

  private:
    ConsoleHost();
    void StartOnTerminal(int columns, int rows);
    void StartThread();
    void RunThread();
    void ReadKeyboard();
    int NextTimeoutMs(std::int64_t now) const;
    void FollowTerminalSize();
    void TakeSize(int columns, int rows);
    void DrawAfterHandBack();
    void Compose();
    void WriteComposed();
    void Wake();
    void WriteShown(const char* text, std::size_t length);
    void WriteOut(const char* bytes, std::size_t length);
    void WriteFrame(const char* bytes, std::size_t length, bool atLineStart);
    void Leave();
    void Suspend();
    void Resume();
    static void LeaveHook();
    static void SuspendHook();
    static void ResumeHook();
    static void PrepareFork();
    static void AfterForkInParent();
    static void AfterForkInChild();

    static std::atomic<ConsoleHost*> started_;

    Mode mode_;
    bool readsKeyboard_ = false;
    ScreenBuffer screen_;
    Renderer renderer_;

    // Frames: the changes not yet shown since firstChangeMs_; the bytes made and not yet
    // written; the host thread's write in progress.
    bool changed_ = false;
    std::int64_t firstChangeMs_ = 0;
    bool frameWanted_ = false;
    FrameBytes composed_;
    bool composedAtLineStart_ = false;  // where the composed frame leaves the cursor
    FrameBytes writing_;
    std::atomic<bool> writerBusy_{false};
    FrameBytes lastFrame_;  // the last frame of all, drawn where nothing may be allocated
    bool finished_ = false;
    bool leftLocked_ = false;  // Leave took the lock, for Resume to let go of
    // In the background after a stop the host did not see: nothing is drawn until Resume.
    std::atomic<bool> suspended_{false};

    // The host's own descriptors on the terminal (-1 when not taken).
    int keyboardFd_ = -1;
    int displayFd_ = -1;

    // The keyboard: a sequence's start held since heldSinceMs_. Not read while the process is
    // in the background (a read would fail), until it is continued.
    bool keyboardPaused_ = false;
    bool holding_ = false;
    std::int64_t heldSinceMs_ = 0;
    bool keyboardEnded_ = false;
    std::atomic<std::uint32_t> inputCount_{0};
    bool interruptPending_ = false;

    // The host thread: woken through a pipe.
    bool threadRunning_ = false;
    // In a child process after fork: the thread is started when the child uses the console,
    // and a child that never did leaves the terminal alone.
    bool threadWanted_ = false;
    bool unusedChild_ = false;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
};

}  // namespace conlib::posix
