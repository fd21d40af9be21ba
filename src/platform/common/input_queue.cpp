// A console's input queue, its byte buffer and the text a stream gives for ReadConsoleA.
#include "platform/common/input_queue.hpp"

#include <algorithm>

namespace conlib::platform {

using namespace win;

namespace {

void Store(LPDWORD place, std::size_t value) {
    if (place != nullptr) *place = static_cast<DWORD>(value);
}

}  // namespace

BOOL InputQueue::ReadText(void* buffer, DWORD count, LPDWORD read) {
    Store(read, 0);
    if (count == 0) return TRUE;
    if (lineDelivered_ == lineLength_) {
        lineLength_ = 0;
        lineDelivered_ = 0;
        AssembleText((mode_ & ENABLE_LINE_INPUT) != 0, count);
        if (lineLength_ == 0) {
            win::SetLastError(ERROR_HANDLE_EOF);
            return FALSE;
        }
    }
    const std::size_t delivered = std::min<std::size_t>(count, lineLength_ - lineDelivered_);
    std::copy_n(line_.data() + lineDelivered_, delivered, static_cast<char*>(buffer));
    lineDelivered_ += delivered;
    Store(read, delivered);
    return TRUE;
}

BOOL InputQueue::PeekRecords(INPUT_RECORD* records, DWORD count, LPDWORD read) {
    Store(read, 0);
    Collect(false);
    Store(read, Copy(records, count, false));
    return TRUE;
}

BOOL InputQueue::ReadRecords(INPUT_RECORD* records, DWORD count, LPDWORD read) {
    Store(read, 0);
    Collect(true);
    if (count > 0 && Ended()) {
        win::SetLastError(ERROR_HANDLE_EOF);
        return FALSE;
    }
    Store(read, Copy(records, count, true));
    return TRUE;
}

BOOL InputQueue::WriteRecords(const INPUT_RECORD* records, DWORD count, LPDWORD written) {
    Store(written, Append(records, count));
    return TRUE;
}

BOOL InputQueue::CountRecords(LPDWORD count) {
    Store(count, 0);
    Collect(false);
    if (Ended()) {
        win::SetLastError(ERROR_HANDLE_EOF);
        return FALSE;
    }
    Store(count, size_);
    return TRUE;
}

DWORD InputQueue::WaitForRecords(DWORD milliseconds) {
    Collect(milliseconds == INFINITE);
    return size_ > 0 || Ended() ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

void InputQueue::Flush() {
    FlushRecords();
    byteCount_ = 0;
}

void InputQueue::FlushRecords() {
    head_ = 0;
    size_ = 0;
}

void InputQueue::Collect(bool wait) {
    while (size_ == 0 && !Ended()) {
        if (byteCount_ > 0 && Decode(false) && size_ > 0) return;
        const int timeoutMs = byteCount_ > 0 ? SequenceWaitMs : (wait ? WaitForever : 0);
        if (!ReadReady(timeoutMs, 1)) {
            // Nothing more now: what is held is taken as it is.
            Decode(true);
            if (!wait || byteCount_ == 0) return;
        }
    }
}

void InputQueue::AssembleText(bool lineInput, std::size_t count) {
    if (lineInput) {
        ReadLine(count);
    } else {
        ReadCharacters(count);
    }
}

bool InputQueue::ReadReady(int timeoutMs, std::size_t most) {
    if (ended_ || byteCount_ == ByteCapacity) return false;
    const std::size_t room = std::min(ByteCapacity - byteCount_, most);
    const SourceRead got = ReadSource(bytes_ + byteCount_, room, timeoutMs);
    if (got.ended) {
        ended_ = true;
        return false;
    }
    byteCount_ += std::min(got.count, room);
    return got.count > 0;
}

bool InputQueue::Decode(bool final) {
    std::size_t used = 0;
    bool complete = true;
    while (used < byteCount_ && HasRoom()) {
        KeyEvents events{};
        const std::size_t n = DecodeKey(bytes_ + used, byteCount_ - used, final, decoder_, events);
        if (n == 0) {
            complete = false;
            break;
        }
        used += n;
        if (!TakeKey(events)) Append(events.records, events.count);
        if (events.report.kind != TerminalReport::Kind::None) TakeReport(events.report);
    }
    DropBytes(used);
    // Nothing more is coming now: what comes later was typed, not the rest of a long sequence.
    if (final && byteCount_ == 0) decoder_.EndDrop();
    return complete && !decoder_.Dropping();
}

void InputQueue::TakeReport(const TerminalReport&) {}

bool InputQueue::TakeBytes(const unsigned char* bytes, std::size_t count) {
    bool complete = true;
    while (count > 0) {
        const std::size_t room = std::min(ByteCapacity - byteCount_, count);
        std::copy_n(bytes, room, bytes_ + byteCount_);
        byteCount_ += room;
        bytes += room;
        count -= room;
        complete = Decode(false);
    }
    return complete;
}

bool InputQueue::TakeRecord(INPUT_RECORD& record) {
    return Copy(&record, 1, true) == 1;
}

void InputQueue::EndLine() {
    ReserveLine(lineLength_);
    line_[lineLength_++] = '\r';
    line_[lineLength_++] = '\n';
}

std::size_t InputQueue::Copy(INPUT_RECORD* records, std::size_t count, bool remove) {
    std::size_t done = 0;
    const std::size_t capacity = queue_.size();
    for (; done < count && done < size_; ++done) {
        records[done] = queue_[(head_ + done) % capacity];
    }
    if (remove) {
        head_ = (head_ + done) % capacity;
        size_ -= done;
    }
    return done;
}

std::size_t InputQueue::Append(const INPUT_RECORD* records, std::size_t count) {
    if (size_ + count > queue_.size()) {
        // A larger burst than ever before: the queue grows, its records in order from 0.
        std::vector<INPUT_RECORD> grown(std::max(queue_.size() * 2, size_ + count));
        for (std::size_t i = 0; i < size_; ++i)
            grown[i] = queue_[(head_ + i) % queue_.size()];
        queue_.swap(grown);
        head_ = 0;
    }
    for (std::size_t done = 0; done < count; ++done) {
        queue_[(head_ + size_) % queue_.size()] = records[done];
        ++size_;
    }
    return count;
}

void InputQueue::DropBytes(std::size_t count) {
    std::copy(bytes_ + count, bytes_ + byteCount_, bytes_);
    byteCount_ -= count;
}

void InputQueue::ReadLine(std::size_t count) {
    const std::size_t most = MostLineCharacters(count);
    // Bytes already taken from the source for keys come first.
    while (byteCount_ > 0 || ReadReady(WaitForever, 1)) {
        const char ch = static_cast<char>(bytes_[0]);
        DropBytes(1);
        if (ch == '\n') {
            if (lineLength_ > 0 && line_[lineLength_ - 1] == '\r') --lineLength_;
            EndLine();
            return;
        }
        if (lineLength_ < most) PutLineCharacter(ch);
    }
}

void InputQueue::ReadCharacters(std::size_t count) {
    if (byteCount_ == 0) ReadReady(WaitForever, std::min(count, ByteCapacity));
    lineLength_ = std::min(byteCount_, count);
    ReserveLine(lineLength_);
    std::copy_n(bytes_, lineLength_, line_.data());
    DropBytes(lineLength_);
}

}  // namespace conlib::platform
