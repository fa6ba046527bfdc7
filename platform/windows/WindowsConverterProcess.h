#pragma once

#include "platform/ConverterProcess.h"

#include <mutex>
#include <vector>

// The converter program as a child process on Windows, one for each conversion: started
// suspended in a job object of its own that limits its committed memory and CPU time, allows
// it no child process and kills it when the job's last handle closes (so a program that dies
// takes its converters with it), then resumed; at idle priority, with a restricted token at
// low integrity where the system grants one. This program opens the picture and makes the
// bitmap, and hands the converter their handles and nothing else. What the system does not
// enforce of the job's limits is enforced from here too: it is killed past its CPU time, its
// memory, the bitmap's size and its wall time, and when abort() is called. It reports through
// its exit code and standard error.
class WindowsConverterProcess : public ConverterProcess {
public:
    explicit WindowsConverterProcess(QString program, ConverterLimits limits = {});
    ~WindowsConverterProcess() override;

    Result convert(const ConversionRequest& request) override;
    void abort() override;

    // How many converters are running now; for tests.
    int running() const;

private:
    struct Child;

    // Starts the converter for `request`, watches it to its end and tells how it ended.
    Result run(const ConversionRequest& request, Child& child);

    const QString m_program;
    const ConverterLimits m_limits;
    mutable std::mutex m_mutex;
    std::vector<Child*> m_children; // every call in progress, started or not
};
