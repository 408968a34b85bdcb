#pragma once

#include <QString>

#include <sys/types.h>

// What a process holds at one moment, read from /proc: resident memory (VmRSS) and open descriptors.
struct ProcessSample {
    bool valid = false; // false when the process is gone
    double rssMb = 0;
    int fds = 0;

    static ProcessSample of(pid_t pid);
};
