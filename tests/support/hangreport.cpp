#include "hangreport.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <unistd.h>

#if defined(__linux__)
#include <sys/prctl.h>
#endif

void startHangReport() {
    const char *value = std::getenv("ORVESSA_HANG_REPORT_SECONDS");
    const int seconds = value ? std::atoi(value) : 0;
    if (seconds <= 0)
        return;
#if defined(__linux__)
    // Lets the debugger started below attach even where only parents may trace.
    prctl(PR_SET_PTRACER, PR_SET_PTRACER_ANY, 0, 0, 0);
#endif
    std::thread([seconds] {
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        std::fprintf(stderr, "\n[hang] still running after %d s; stacks of every thread:\n",
                     seconds);
        std::fflush(stderr);
        const std::string command = "gdb -p " + std::to_string(getpid()) +
                                    " -batch -nx -ex 'thread apply all bt' 1>&2 2>/dev/null";
        if (std::system(command.c_str()) != 0)
            std::fprintf(stderr, "[hang] gdb could not report the stacks\n");
        std::abort();
    }).detach();
}
