#pragma once

#include <QString>

// Runs the real tvPing under a private Xvfb, probing 127.0.0.1 every second, and prints the CPU share it used
// over `seconds` and its resident memory at the end: `idle_cpu_percent` and `rss_mb`.
// Returns false (with a line on stderr) when Xvfb or tvPing cannot be started.
bool measureIdleLoad(const QString& tvPingPath, int seconds);
