// Console output costs: the library's writes through the console host, and the renderer's
// work to bring a terminal in line with the screen buffer.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "conlib/console.hpp"
#include "renderer.hpp"
#include "screen_buffer.hpp"
#include "win.hpp"

namespace {

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

// ConClearScreen on a headless console taller than any window, through the library.
void ClearScreen(benchmark::State& state) {
    setenv("CONLIB_CONSOLE", "120x300", 1);
    conlib::EnsureConsole();
    for (auto _ : state)
        conlib::ConClearScreen();
    state.SetItemsProcessed(state.iterations() * 120 * 300);
}
BENCHMARK(ClearScreen);

}  // namespace
