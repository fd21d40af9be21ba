#!/usr/bin/env python3
"""Runs a program on a pseudo-terminal of its own (80x24) and measures how it waits for keys.

    pty_driver.py latency KEYS END PROGRAM     types KEYS letters (never 'q') at random times,
                                               then END ("q" or "enter"); prints the median and
                                               the 90th percentile, in microseconds, of the time
                                               from each key's write until its letter arrives
    pty_driver.py wakeups SECONDS END PROGRAM  waits SECONDS with no input after a settling
                                               second, then types END; prints the context
                                               switches per second of all the program's threads

The driver plays the terminal: it answers the program's device-attributes question (which the
console host asks at start, with the cursor position) and reads everything the program writes,
telling text from escape sequences, so that only a letter drawn as text counts as an echo.
"""

import fcntl
import os
import pty
import random
import select
import struct
import sys
import termios
import time

COLUMNS, ROWS = 80, 24
# The cursor position and the primary device attributes of a VT220-like terminal.
ANSWER = b"\x1b[1;1R\x1b[?1;2c"
# The letters typed; 'q' ends key_echo.
LETTERS = b"abcdefghijklmnoprstuvwxyz"


class Terminal:
    """The master side: the program's output as text, with its escape sequences taken out."""

    def __init__(self, program):
        self.pid, self.fd = pty.fork()
        if self.pid == 0:
            fcntl.ioctl(0, termios.TIOCSWINSZ, struct.pack("HHHH", ROWS, COLUMNS, 0, 0))
            try:
                os.execv(program, [program])
            finally:
                os._exit(127)
        self.state = "text"
        self.sequence = bytearray()
        self.status = None

    def read(self, timeout):
        """Reads what the program wrote within `timeout` seconds; returns its text (b"" when
        nothing came) and the time it arrived, or None once the program has closed the
        terminal."""
        ready, _, _ = select.select([self.fd], [], [], max(timeout, 0))
        if not ready:
            return b"", None
        try:
            data = os.read(self.fd, 65536)
        except OSError:  # EIO: no process has the terminal open any longer
            data = b""
        arrived = time.perf_counter_ns()
        if not data:
            return None, arrived
        return self.parse(data), arrived

    def parse(self, data):
        text = bytearray()
        for byte in data:
            if self.state == "text":
                if byte == 0x1B:
                    self.state = "escape"
                elif byte >= 0x20:
                    text.append(byte)
            elif self.state == "escape":
                if byte == ord("["):
                    self.state = "csi"
                    self.sequence.clear()
                elif byte == ord("]") or byte in b"PX^_":
                    self.state = "string"
                elif 0x20 <= byte <= 0x2F:  # intermediate bytes, as in ESC ( B
                    pass
                else:
                    self.state = "text"
            elif self.state == "csi":
                if 0x40 <= byte <= 0x7E:
                    self.state = "text"
                    if byte == ord("c") and self.sequence in (b"", b"0"):
                        os.write(self.fd, ANSWER)
                else:
                    self.sequence.append(byte)
            elif self.state == "string":  # ended by BEL or ESC \
                if byte == 0x07:
                    self.state = "text"
                elif byte == 0x1B:
                    self.state = "escape"
        return bytes(text)

    def drain(self, seconds):
        """Reads and drops the program's output for `seconds`."""
        end = time.monotonic() + seconds
        while (left := end - time.monotonic()) > 0:
            text, _ = self.read(left)
            if text is None:
                raise SystemExit("the program ended before its time")

    def settle(self, quiet=0.5, most=10.0):
        """Reads the program's output until it has been quiet for `quiet` seconds."""
        end = time.monotonic() + most
        last = time.monotonic()
        while time.monotonic() - last < quiet:
            if time.monotonic() > end:
                raise SystemExit("the program does not go quiet")
            text, arrived = self.read(quiet)
            if text is None:
                raise SystemExit("the program ended at start")
            if arrived is not None:
                last = time.monotonic()

    def finish(self, end_key):
        os.write(self.fd, b"\r" if end_key == "enter" else b"q")
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            text, _ = self.read(0.1)
            if text is None:
                break
            done, status = os.waitpid(self.pid, os.WNOHANG)
            if done:
                self.status = status
                break
        else:
            os.kill(self.pid, 9)
            raise SystemExit("the program did not end")
        if self.status is None:
            _, self.status = os.waitpid(self.pid, 0)
        os.close(self.fd)
        if os.waitstatus_to_exitcode(self.status) != 0:
            raise SystemExit(f"the program ended with status {self.status}")


def percentile(values, fraction):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(fraction * len(ordered)))]


def latency(keys, end_key, program):
    terminal = Terminal(program)
    terminal.settle()
    times = []
    for _ in range(keys):
        letter = random.choice(LETTERS)
        written = time.perf_counter_ns()
        os.write(terminal.fd, bytes([letter]))
        deadline = time.monotonic() + 5
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                raise SystemExit(f"no echo of {chr(letter)!r} within 5 s")
            text, arrived = terminal.read(left)
            if text is None:
                raise SystemExit("the program ended while keys were typed")
            if letter in text:
                times.append((arrived - written) / 1000)
                break
        # Keys come at random times relative to any timer of the program.
        terminal.drain(random.uniform(0.002, 0.010))
    terminal.finish(end_key)
    print(f"{percentile(times, 0.5):.0f} {percentile(times, 0.9):.0f}")


def switches(pid):
    total = 0
    for task in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{task}/status") as status:
                for line in status:
                    if line.startswith(("voluntary_ctxt_switches", "nonvoluntary_ctxt_switches")):
                        total += int(line.split()[1])
        except FileNotFoundError:  # a thread that has just ended
            pass
    return total


def wakeups(seconds, end_key, program):
    terminal = Terminal(program)
    terminal.settle()
    terminal.drain(1.0)
    before, start = switches(terminal.pid), time.monotonic()
    terminal.drain(seconds)
    after, stop = switches(terminal.pid), time.monotonic()
    terminal.finish(end_key)
    print(f"{(after - before) / (stop - start):.1f}")


def main():
    if len(sys.argv) != 5 or sys.argv[1] not in ("latency", "wakeups"):
        raise SystemExit(__doc__)
    command, count, end_key, program = sys.argv[1:]
    if command == "latency":
        latency(int(count), end_key, program)
    else:
        wakeups(float(count), end_key, program)


if __name__ == "__main__":
    main()
