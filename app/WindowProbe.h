#pragma once

// Ways to measure and look at the running window from outside, switched on by the environment:
//   BIVARA_REPORT_FIRST_PAINT=1  prints "first paint, scanner searching" (or "open") once the
//                                window has been painted, then quits
//   BIVARA_SCREENSHOT=FILE       once a scanner is open, saves the window as the screen shows it
//                                to FILE (PNG), prints what the toolbar says, then closes the window;
//                                the exit code is 1 when no scanner opened within a minute
//   BIVARA_PROBE_STALLS=1        measures the main thread's longest stall (a 5-ms timer's worst
//                                lateness) and prints it when the application quits
// The benchmarks and the real-window test use them.

class MainWindow;

void installWindowProbes(MainWindow& window);
