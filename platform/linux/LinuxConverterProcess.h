#pragma once

#include "platform/ConverterProcess.h"

#include <mutex>
#include <vector>

// The converter program as a child process: started for each conversion at idle CPU priority,
// with limits on its CPU time, its address space and the size of the files it writes (the
// bitmap of the screen converted for, and a margin), killed past its wall time, when abort() is
// called, and when the thread that started it dies (so a program that dies takes its
// converters with it). It reports through its exit status and standard error.
class LinuxConverterProcess : public ConverterProcess {
public:
    explicit LinuxConverterProcess(QString program, ConverterLimits limits = {});
    ~LinuxConverterProcess() override;

    Result convert(const ConversionRequest& request) override;
    void abort() override;

    // How many converters are running now; for tests and benchmarks.
    int running() const;
    // False in a build under a sanitizer, whose shadow memory takes terabytes of address
    // space: there the converter's address space is not limited.
    static bool limitsAddressSpace();

private:
    struct Child;

    // Starts the converter for `request`, watches it to its end and tells how it ended.
    Result run(const ConversionRequest& request, Child& child);

    const QString m_program;
    const ConverterLimits m_limits;
    mutable std::mutex m_mutex;
    std::vector<Child*> m_children; // every call in progress, started or not
};
