// Console output processing and the renderer over arbitrary bytes: the first bytes choose a
// screen size and how the renderer starts (over a terminal whose text is kept, from a cursor
// the next bytes place, or scrolling it away), the rest is cut into writes, cell writes,
// cursor moves, attribute changes, resizes and renders. After each step the cursor must lie inside
// the buffer; at the end, a render right after a render must have nothing left to write.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/posix/renderer.hpp"
#include "platform/posix/screen_buffer.hpp"

using conlib::posix::Renderer;
using conlib::posix::ScreenBuffer;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const int columns = 1 + data[0] % 40;
    const int rows = 1 + data[1] % 20;
    ScreenBuffer screen(columns, rows);
    Renderer renderer;
    std::size_t at = 2;
    if ((data[0] & 0x80) != 0 && size >= 4) {
        const int x = data[2] % columns;
        const int y = data[3] % rows;
        renderer.Reset(columns, rows, Renderer::Start::AtCursor);
        renderer.StartAt(x, y);
        screen.KeepTerminalRows(rows);
        screen.SetCursor(x, y);
        static_cast<void>(screen.TakeChanges());
        at = 4;
    } else {
        renderer.Reset(columns, rows, Renderer::Start::ScrollOut);
    }
    conlib::posix::FrameBytes out;

    while (at < size) {
        const std::uint8_t op = data[at++];
        const std::size_t length = std::min<std::size_t>(op >> 3, size - at);
        const char* bytes = reinterpret_cast<const char*>(data + at);
        switch (op & 7) {
            case 0:
            case 1:
            case 2:
                screen.Write(bytes, length);
                break;
            case 3:
                if (length >= 2) screen.SetCursor(bytes[0] % (columns + 1), bytes[1] % (rows + 1));
                break;
            case 4:
                if (length >= 2) {
                    screen.WriteCharacters(bytes + 2, length - 2, bytes[0] % (columns + 1),
                                           bytes[1] % (rows + 1));
                }
                break;
            case 5:
                screen.SetAttribute(static_cast<std::uint16_t>((std::size_t{op} << 8) | length));
                break;
            case 6:
                if (length >= 2) {
                    screen.Resize(1 + static_cast<std::uint8_t>(bytes[0]) % 40,
                                  1 + static_cast<std::uint8_t>(bytes[1]) % 20);
                    renderer.Reset(screen.Columns(), screen.Rows(), Renderer::Start::Redraw);
                }
                break;
            default:
                out.Clear();
                renderer.Render(screen, 0, out);
                break;
        }
        at += length;
        if (!screen.Contains(screen.CursorX(), screen.CursorY())) std::abort();
    }
    out.Clear();
    renderer.Render(screen, 0, out);
    out.Clear();
    renderer.Render(screen, 0, out);
    if (!out.Empty()) std::abort();  // everything was already shown
    return 0;
}
