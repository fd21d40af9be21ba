// A console's input as a system layer keeps it where it serves the console's input calls
// itself: the queue of input records, the bytes taken from the source but not yet decoded into
// keys (through the terminal-input decoder), the input mode, and the text of a ReadConsoleA
// still to be handed over.
//
// The layer says how bytes are read and waited for (ReadSource). By default the source is a
// stream, a file or a pipe:
// - keys are read only as they are asked for, one at a time and only when no record is queued,
//   so that a flush discards no more than the key in hand; the rest of an escape sequence may
//   take SequenceWaitMs to arrive before its start is taken for keys of its own;
// - a line read (ReadConsoleA with line input on) takes the bytes up to a line feed as they
//   stand, a line feed alone or a carriage return and line feed ending the line, and hands the
//   line over with CR LF; an unfinished line at the end of the input is handed over as it is;
// - a read without line input takes the bytes there are, at least one, waiting for it.
// What the caller's count does not take stays for the next read. Once the source has ended and
// nothing is held, the input has ended: the calls that wait for input fail with
// ERROR_HANDLE_EOF, and so does the count of events, so that a wait for a key or a line
// returns. A layer with another kind of source (a terminal) collects records and assembles text
// its own way (Collect, AssembleText) from the same queue and byte buffer.
//
// The queue of records grows when a larger burst than ever before arrives (keys typed ahead
// are never dropped), and keeps its size; nothing else is allocated.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

#include "platform/common/vt_input.hpp"
#include "platform/win.hpp"

namespace conlib::platform {

// Timeouts of a read of the source, in milliseconds: WaitForever waits until bytes come or
// the source ends, 0 takes only what is there.
inline constexpr int WaitForever = -1;
// How long the rest of an escape sequence may take to arrive before its start is taken for
// keys of its own (a lone ESC for the Escape key).
inline constexpr int SequenceWaitMs = 25;

class InputQueue {
  public:
    static constexpr std::size_t QueueStart = 4096;   // input records, before it grows
    static constexpr std::size_t ByteCapacity = 256;  // bytes read and not yet decoded
    // The longest line of a ReadConsoleA that the caller's count does not make longer, CR LF
    // included; the line's storage starts at this size and grows for a longer one.
    static constexpr std::size_t LineCapacity = 4096;
    // The mode a console's input starts with.
    static constexpr win::DWORD DefaultMode = 0x1F7;

    InputQueue(const InputQueue&) = delete;
    InputQueue& operator=(const InputQueue&) = delete;

    win::DWORD mode() const { return mode_; }
    void SetMode(win::DWORD mode) { mode_ = mode; }

    // The records queued now.
    std::size_t size() const { return size_; }
    // True once the source has ended and no record or byte is left.
    bool Ended() const { return size_ == 0 && byteCount_ == 0 && ended_; }

    // The console input calls on this input, with their results, counts and last error. Each
    // stores 0 in its count first (where the count is not null).
    win::BOOL ReadText(void* buffer, win::DWORD count, win::LPDWORD read);  // ReadConsoleA
    win::BOOL PeekRecords(win::INPUT_RECORD* records, win::DWORD count,
                          win::LPDWORD read);  // PeekConsoleInputA
    win::BOOL ReadRecords(win::INPUT_RECORD* records, win::DWORD count,
                          win::LPDWORD read);  // ReadConsoleInputA
    win::BOOL WriteRecords(const win::INPUT_RECORD* records, win::DWORD count,
                           win::LPDWORD written);  // WriteConsoleInputA
    win::BOOL CountRecords(win::LPDWORD count);    // GetNumberOfConsoleInputEvents
    // WaitForSingleObject on the input: WAIT_OBJECT_0 once a record is queued or the input has
    // ended, waiting for that without a limit (INFINITE); with any other limit, a look that
    // returns WAIT_TIMEOUT when neither is so now.
    win::DWORD WaitForRecords(win::DWORD milliseconds);
    // FlushConsoleInputBuffer: discards every record, and every byte taken from the source so
    // far; bytes the source still holds stay for the next read.
    void Flush();
    // Discards every record only: the bytes of a key still arriving stay (a layer whose
    // source is read as bytes arrive flushes so, for they were not typed before the flush).
    void FlushRecords();

    // Moves what the source has ready into the queue; with `wait`, waits until there is at
    // least one record or the input has ended. By default: a stream's next key, only when
    // the queue is empty.
    virtual void Collect(bool wait);

  protected:
    // What one read of the source gave: `count` bytes (0 when none came in time), or, with
    // `ended`, no bytes and the end of the source (end of file, a closed pipe, an error).
    struct SourceRead {
        std::size_t count;
        bool ended;
    };

    InputQueue() : line_(LineCapacity), queue_(QueueStart) {}
    ~InputQueue() = default;

    // Takes a decoded key before it is queued: true when the layer has acted on it itself (and
    // it is not queued). By default every key is queued.
    virtual bool TakeKey(const KeyEvents& /*events*/) { return false; }

    // Bytes from a source that the layer reads itself: each complete key is decoded into the
    // queue. Returns false when the bytes end with the start of a sequence, held for its rest.
    bool TakeBytes(const unsigned char* bytes, std::size_t count);

    // Reads at most `room` bytes (at least 1) into `buffer`, waiting at most `timeoutMs` for
    // them (WaitForever: as long as it takes). Not called again once it has reported the end.
    virtual SourceRead ReadSource(unsigned char* buffer, std::size_t room, int timeoutMs) = 0;

    // Takes a reply of the terminal that came among the keyboard's bytes (it never becomes a
    // record). By default it is dropped.
    virtual void TakeReport(const TerminalReport& report);

    // Puts the next text of a ReadConsoleA into line_ (empty when it is called): with
    // `lineInput`, a line; without, the characters there are, at most `count`. Leaves line_
    // empty only when the input has ended. By default: from a stream, as the top of this file
    // says.
    virtual void AssembleText(bool lineInput, std::size_t count);

    // Reads what the source has ready, at most `most` bytes and what the byte buffer holds;
    // false when nothing was read (none came in time, or the source ended).
    bool ReadReady(int timeoutMs, std::size_t most);
    // Decodes the keys at the start of the byte buffer into the queue, while the queue has
    // room for a key's records, and hands the terminal's replies to TakeReport; false when
    // what is left is the start of a sequence that needs more bytes, or a sequence cut at the
    // bound is still being dropped. With `final`, every byte left decodes (as far as the queue
    // has room), and a drop ends once the bytes are used.
    bool Decode(bool final);
    // True when the queue has room for the records of one more key (it grows when it must).
    bool HasRoom() const { return true; }
    // Takes the first queued record into `record`; false when none is queued.
    bool TakeRecord(win::INPUT_RECORD& record);

    // Whether the terminal owes the answer to a cursor position query: a report of a cursor on
    // row 1 then reads as that answer, not as a key.
    void SetCursorReportOwed(bool owed) { decoder_.cursorReportOwed = owed; }

    // Marks the source as ended (a source that never gives bytes starts so).
    void EndSource() { ended_ = true; }
    bool SourceEnded() const { return ended_; }

    // Ends line_ with CR LF.
    void EndLine();

    // The most characters a line may have for a read of `count`: the caller's count, and never
    // fewer than LineCapacity leaves room for.
    static std::size_t MostLineCharacters(std::size_t count) {
        return count > LineCapacity - 2 ? count : LineCapacity - 2;
    }
    // Makes room in line_ for `characters` and a CR LF after them.
    void ReserveLine(std::size_t characters) {
        if (line_.size() < characters + 2) line_.resize(std::max(characters + 2, 2 * line_.size()));
    }
    // Appends a character to line_.
    void PutLineCharacter(char ch) {
        ReserveLine(lineLength_ + 1);
        line_[lineLength_++] = ch;
    }

    // The text being handed over, its length; ReadText keeps how much the caller has taken.
    std::vector<char> line_;
    std::size_t lineLength_ = 0;

  private:
    std::size_t Copy(win::INPUT_RECORD* records, std::size_t count, bool remove);
    std::size_t Append(const win::INPUT_RECORD* records, std::size_t count);
    void DropBytes(std::size_t count);
    void ReadLine(std::size_t count);
    void ReadCharacters(std::size_t count);

    std::vector<win::INPUT_RECORD> queue_;
    std::size_t head_ = 0;
    std::size_t size_ = 0;
    unsigned char bytes_[ByteCapacity] = {};
    std::size_t byteCount_ = 0;
    DecoderState decoder_;
    bool ended_ = false;
    win::DWORD mode_ = DefaultMode;
    std::size_t lineDelivered_ = 0;
};

}  // namespace conlib::platform
