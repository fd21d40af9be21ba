// Console output costs: the library's writes through the console host, and the renderer's
// work to bring a terminal in line with the screen buffer.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "conlib/console.hpp"
#include "platform/posix/renderer.hpp"
#include "platform/posix/screen_buffer.hpp"
#include "platform/win.hpp"

namespace {

using conlib::posix::FrameBytes;
using conlib::posix::Renderer;
using conlib::posix::ScreenBuffer;

// A line of text with a line break, written again and again: the buffer scrolls.
void ScrollingText(benchmark::State& state) {
    ScreenBuffer screen(80, 40);
    Renderer renderer;
    renderer.Reset(80, 40, Renderer::Start::Erase);
    conlib::posix::FrameBytes out;
    const std::string line = "The quick brown fox jumps over the lazy dog 0123456789\r\n";
    for (auto _ : state) {
        screen.Write(line.data(), line.size());
        out.Clear();
        renderer.Render(screen, 0, out);
        benchmark::DoNotOptimize(out.Data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(line.size()));
}
BENCHMARK(ScrollingText);

// Single characters at scattered positions, as the cross of the demo is drawn.
void ScatteredCharacters(benchmark::State& state) {
    ScreenBuffer screen(80, 40);
    Renderer renderer;
    renderer.Reset(80, 40, Renderer::Start::Erase);
    conlib::posix::FrameBytes out;
    int step = 0;
    for (auto _ : state) {
        screen.SetCursor(step % 31, (step * 7) % 31);
        screen.Write(step % 2 == 0 ? "|" : "-", 1);
        out.Clear();
        renderer.Render(screen, 0, out);
        benchmark::DoNotOptimize(out.Data());
        ++step;
    }
}
BENCHMARK(ScatteredCharacters);

// A full screen of changed cells in alternating colours.
void FullRepaint(benchmark::State& state) {
    ScreenBuffer screen(120, 50);
    Renderer renderer;
    renderer.Reset(120, 50, Renderer::Start::Erase);
    conlib::posix::FrameBytes out;
    char fill = 'a';
    for (auto _ : state) {
        for (int y = 0; y < screen.Rows(); ++y) {
            screen.SetCursor(0, y);
            screen.SetAttribute(y % 2 == 0 ? 0x1F : 0x07);
            const std::string row(120, fill);
            screen.WriteCharacters(row.data(), row.size(), 0, y);
        }
        fill = fill == 'z' ? 'a' : static_cast<char>(fill + 1);
        out.Clear();
        renderer.Render(screen, 0, out);
        benchmark::DoNotOptimize(out.Data());
    }
    state.SetItemsProcessed(state.iterations() * 120 * 50);
}
BENCHMARK(FullRepaint);

// The console's clear: blanks in the current attribute over the whole buffer, cursor home.
void Clear(ScreenBuffer& screen) {
    const std::string blanks(static_cast<std::size_t>(screen.Columns()), ' ');
    const std::vector<std::uint16_t> attributes(blanks.size(), screen.Attribute());
    for (int y = 0; y < screen.Rows(); ++y) {
        screen.WriteCharacters(blanks.data(), blanks.size(), 0, y);
        screen.WriteAttributes(attributes.data(), attributes.size(), 0, y);
    }
    screen.SetCursor(0, 0);
}

void Write(ScreenBuffer& screen, std::string_view text) {
    screen.Write(text.data(), text.size());
}

constexpr std::string_view Prompt = "Press any key to continue...";

// The demo's two screens on an 80x40 terminal, one frame each (the frames its pauses draw):
// the titles, the input "abc" inverted and the prompt; then the cross and the prompt again.
// Counters: the bytes of each frame.
void DemoScreens(benchmark::State& state) {
    std::size_t first = 0;
    std::size_t second = 0;
    for (auto _ : state) {
        ScreenBuffer screen(80, 40);
        Renderer renderer;
        renderer.Reset(80, 40, Renderer::Start::ScrollOut);
        FrameBytes out;
        Clear(screen);
        Write(screen, "Tav Quillon - Week 4\r\nKTRV 360 - Dorin Velterhaminos\r\n\x9e\x9d\x9c");
        Write(screen, Prompt);
        renderer.Render(screen, 0, out);
        first = out.Size();
        out.Clear();
        Clear(screen);
        for (int c = 30; c >= 1; --c) {
            screen.SetCursor(15, c);
            Write(screen, "|");
            screen.SetCursor(c, 15);
            Write(screen, "-");
        }
        Write(screen, Prompt);
        renderer.Render(screen, 0, out);
        second = out.Size();
        benchmark::DoNotOptimize(out.Data());
    }
    state.counters["first_screen_bytes"] = static_cast<double>(first);
    state.counters["cross_screen_bytes"] = static_cast<double>(second);
}
BENCHMARK(DemoScreens);

// The redraw loop (redraw_loop.cpp): an unchanged 80x24 screen cleared and written again,
// one frame per round. Counters: the bytes of the first frame, and of each frame after it.
void RedrawLoop(benchmark::State& state) {
    ScreenBuffer screen(80, 24);
    Renderer renderer;
    renderer.Reset(80, 24, Renderer::Start::ScrollOut);
    FrameBytes out;
    const auto round = [&] {
        screen.SetAttribute(0x07);
        Clear(screen);
        for (int row = 0; row < 24; ++row) {
            screen.SetAttribute(row % 2 == 0 ? 0x0E : 0x1F);
            screen.SetCursor(0, row);
            Write(screen,
                  "Row " + std::to_string(row) + ": the quick brown fox jumps over the lazy dog");
        }
        out.Clear();
        renderer.Render(screen, 0, out);
        return out.Size();
    };
    const std::size_t first = round();
    std::size_t later = 0;
    std::int64_t rounds = 0;
    for (auto _ : state) {
        later += round();
        ++rounds;
    }
    state.counters["first_frame_bytes"] = static_cast<double>(first);
    state.counters["later_frame_bytes"] =
        rounds == 0 ? 0.0 : static_cast<double>(later) / static_cast<double>(rounds);
}
BENCHMARK(RedrawLoop);

// ConClearScreen on a headless console taller than any window, through the library.
void ClearScreen(benchmark::State& state) {
    setenv("CONLIB_CONSOLE", "120x300", 1);
    conlib::EnsureConsole();
    for (auto _ : state)
        conlib::ConClearScreen();
    state.SetItemsProcessed(state.iterations() * 120 * 300);
}
BENCHMARK(ClearScreen);

// The same on a buffer of 512 x 9001 cells, as tall as a terminal's, against memset filling
// as many cells of the same size: the clear should cost a small multiple of that.
constexpr int TallColumns = 512;
constexpr int TallRows = 9001;
constexpr std::size_t TallCells = std::size_t{TallColumns} * TallRows;

void ClearTallScreen(benchmark::State& state) {
    setenv("CONLIB_CONSOLE", "120x300", 1);
    conlib::EnsureConsole();
    conlib::win::SetConsoleScreenBufferSize(
        conlib::win::GetStdHandle(conlib::win::STD_OUTPUT_HANDLE),
        conlib::win::COORD{TallColumns, TallRows});
    for (auto _ : state)
        conlib::ConClearScreen();
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(TallCells));
}
BENCHMARK(ClearTallScreen)->Unit(benchmark::kMillisecond);

void MemsetTallCells(benchmark::State& state) {
    std::vector<conlib::posix::Cell> cells(TallCells);
    for (auto _ : state) {
        std::memset(cells.data(), ' ', cells.size() * sizeof(conlib::posix::Cell));
        benchmark::DoNotOptimize(cells.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(TallCells));
}
BENCHMARK(MemsetTallCells)->Unit(benchmark::kMillisecond);

}  // namespace
