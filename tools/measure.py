"""Measures the whole program on a virtual desktop against its floor: a
minimal program, built here from a few lines, that makes the same library
calls and writes the same lines, and nothing else. Prints a Markdown table of
the figures and their ratios (program to floor, where lower is better)."""

import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

from desktop import (DESKTOPS, CannotStart, NoScreenshots, Program, desktop_name, open_desktop,
                     wait_until)

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, ".."))
GREY = (225, 225, 225)
IDLE_SECONDS = 10
MOVES = [(100 + (i % 50) * 7, 100 + (i // 50) * 11) for i in range(1000)]

FLOOR_SOURCE = r"""
#include <SDL3/SDL.h>
#include <stdio.h>
#include <unistd.h>

static SDL_HitTestResult SDLCALL HitTest(SDL_Window *w, const SDL_Point *p, void *d) {
  int width, height;
  (void)d;
  if (!SDL_GetWindowSize(w, &width, &height)) return SDL_HITTEST_NORMAL;
  return p->y < 100 ? SDL_HITTEST_DRAGGABLE : SDL_HITTEST_NORMAL;
}

static void Line(const char *label, int geometry, const SDL_Event *e) {
  char line[256];
  int n = geometry ? snprintf(line, sizeof line, "%7llu  %s%d,%d\r\n",
                              (unsigned long long)SDL_GetTicks(), label, e->window.data1,
                              e->window.data2)
                   : snprintf(line, sizeof line, "%7llu  %s\r\n",
                              (unsigned long long)SDL_GetTicks(), label);
  if (write(1, line, n) != n) _exit(101);
}

int main(void) {
  SDL_SetHint("SDL_VIDEO_X11_XINPUT2", "0");
  SDL_Window *w = SDL_CreateWindow("Window test", 640, 480,
                                   SDL_WINDOW_BORDERLESS | SDL_WINDOW_RESIZABLE);
  SDL_Renderer *r = w ? SDL_CreateRenderer(w, "opengl") : NULL;
  if (!r) return 1;
  SDL_GetPointerProperty(SDL_GetWindowProperties(w), SDL_PROP_WINDOW_WIN32_HWND_POINTER, NULL);
  SDL_SetWindowHitTest(w, HitTest, NULL);
  static SDL_Event e;
  for (;;) {
    if (!SDL_PollEvent(&e)) {
      SDL_SetRenderDrawColor(r, 225, 225, 225, 255);
      SDL_RenderClear(r);
      SDL_RenderPresent(r);
      SDL_Delay(20);
      continue;
    }
    if (e.type == SDL_EVENT_QUIT) break;
    switch (e.type) {
      case SDL_EVENT_WINDOW_MOVED: Line("SDL_EVENT_WINDOW_MOVED: ", 1, &e); break;
      case SDL_EVENT_WINDOW_RESIZED: Line("SDL_EVENT_WINDOW_RESIZED: ", 1, &e); break;
      case SDL_EVENT_WINDOW_PIXEL_SIZE_CHANGED:
        Line("SDL_EVENT_WINDOW_PIXEL_SIZE_CHANGED: ", 1, &e); break;
      case SDL_EVENT_WINDOW_MINIMIZED: Line("SDL_EVENT_WINDOW_MINIMIZED", 0, &e); break;
      case SDL_EVENT_WINDOW_MAXIMIZED: Line("SDL_EVENT_WINDOW_MAXIMIZED", 0, &e); break;
      case SDL_EVENT_WINDOW_RESTORED: Line("SDL_EVENT_WINDOW_RESTORED", 0, &e); break;
      default: break;
    }
  }
  SDL_DestroyRenderer(r);
  SDL_DestroyWindow(w);
  return 0;
}
"""


def build_floor(workdir, desktop):
    """Compiles the floor against the SDL3 the program was built with: this
    system's build's, or the release's own in a desktop's root."""
    source = os.path.join(workdir, "floor.c")
    with open(source, "w") as out:
        out.write(FLOOR_SOURCE)
    binary = os.path.join(workdir, "floor")
    if desktop.root:
        # The root sees this system's /tmp, where workdir is.
        subprocess.run(desktop.root.command(
            ["sh", "-c", f'cc -O2 {source} -o {binary} $(pkg-config --cflags --libs sdl3)']),
            check=True)
        return binary
    cache = open(os.path.join(ROOT, "build", "CMakeCache.txt")).read()
    sdl_dir = next(line.split("=", 1)[1] for line in cache.splitlines()
                   if line.startswith("SDL3_DIR:"))
    prefix = os.path.normpath(os.path.join(sdl_dir, "..", "..", ".."))
    subprocess.run(["cc", "-O2", source, "-o", binary, f"-I{prefix}/include",
                    f"-L{prefix}/lib", "-lSDL3", f"-Wl,-rpath,{prefix}/lib"], check=True)
    return binary


def cpu_seconds(pid):
    """CPU time of all the process's threads (the renderer's driver has its
    own), to the nanosecond."""
    total = 0
    for task in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{task}/schedstat") as schedstat:
                total += int(schedstat.read().split()[0])
        except FileNotFoundError:
            pass  # a thread that ended meanwhile
    return total / 1e9


def peak_rss_kib(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    raise RuntimeError("no VmHWM")


def first_grey(desktop, probe, timeout=30):
    """When the probe first showed the grey. It is read back to back; the
    grey came between the start of the last read without it and the end of
    the first read with it, and the middle of that is taken."""
    deadline = time.monotonic() + timeout
    before = time.monotonic()
    while time.monotonic() < deadline:
        start = time.monotonic()
        if desktop.pixel(*probe) == GREY:
            return (before + time.monotonic()) / 2
        before = start
    raise AssertionError("timed out waiting for the first grey frame")


def measure_once(desktop, command):
    # Inside the centred window, away from the pointer resting at the centre.
    probe = (desktop.width // 2 - 200, desktop.height // 2 - 150)
    wait_until(lambda: desktop.pixel(*probe) != GREY, 10, "the last window to go")
    started = time.monotonic()
    with Program(desktop, command) as program:
        first_frame = first_grey(desktop, probe) - started
        window = program.wait_for_window()
        time.sleep(1)
        pid = program.process.pid
        cpu_before, idle_started = cpu_seconds(pid), time.monotonic()
        time.sleep(IDLE_SECONDS)
        idle_cpu = (cpu_seconds(pid) - cpu_before) / (time.monotonic() - idle_started)

        figures = {"idle": idle_cpu, "first": first_frame}
        if desktop.reports_moves:
            seen = len(program.events())
            burst_started = time.monotonic()
            desktop.move_window(window, MOVES)

            def caught_up():
                moved = program.values("SDL_EVENT_WINDOW_MOVED", seen)
                return moved and moved[-1] == MOVES[-1]
            wait_until(caught_up, 30, "the burst's last move")
            lines = len(program.events()) - seen
            figures["lines"] = lines / (time.monotonic() - burst_started)
        figures["rss"] = peak_rss_kib(pid)
    return figures


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--program", default=os.path.join(ROOT, "build", "window-test"))
    parser.add_argument("--runs", type=int, default=3, help="runs of each, alternating")
    parser.add_argument("--desktop", default="openbox-x11", type=desktop_name, choices=DESKTOPS,
                        help="the virtual desktop to measure on (default: openbox-x11)")
    args = parser.parse_args()
    results = {"program": [], "floor": []}
    # The first frame is seen in the desktop's pictures of its screen, which
    # some desktops take only on a GPU: refused in one line, not a traceback.
    try:
        with tempfile.TemporaryDirectory(prefix="window-test-floor-") as workdir:
            desktop = open_desktop(args.desktop)
            floor = build_floor(workdir, desktop)
            program = desktop.program(args.program)
            with desktop:
                for _ in range(args.runs):
                    results["program"].append(measure_once(desktop, [program]))
                    results["floor"].append(measure_once(desktop, [floor]))
    except (CannotStart, NoScreenshots) as error:
        parser.exit(1, f"measure: {args.desktop} cannot be measured on this machine: {error}\n")
    rows = [
        ("CPU while idle (s per s)", "idle", "{:.4f}", False),
        ("peak resident memory (KiB)", "rss", "{:.0f}", False),
        ("start to first grey frame (ms)", "first", "{:.0f}", False),
        ("lines per second under a burst", "lines", "{:.0f}", True),
    ]
    print(f"| figure (median of {args.runs}) | program | floor | ratio |")
    print("|---|---|---|---|")
    for name, key, fmt, higher_is_better in rows:
        if key not in results["program"][0]:
            continue  # no moves reported on this desktop, so no burst of lines
        program = statistics.median(r[key] for r in results["program"])
        floor_value = statistics.median(r[key] for r in results["floor"])
        if key == "first":
            program, floor_value = program * 1000, floor_value * 1000
        ratio = floor_value / program if higher_is_better else program / floor_value
        print(f"| {name} | {fmt.format(program)} | {fmt.format(floor_value)} | {ratio:.3f} |")
    return 0


if __name__ == "__main__":
    sys.exit(main())
