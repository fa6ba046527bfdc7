#pragma once

#include "conversion/ConversionRequest.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <cstdint>

// What a converter process may take before it is killed.
struct ConverterLimits {
    std::chrono::seconds cpu{20};
    std::chrono::milliseconds wall{60000};
    // Its address space on Linux, its committed memory on Windows.
    std::uint64_t addressSpace = std::uint64_t{1} << 30;
};

// Runs the converter program for one picture, in a process of its own, within bounds of time
// and memory. Whatever the picture does to its decoder (a crash, a hang, all the memory it may
// have) ends that process only. Any thread may call; calls may overlap.
class ConverterProcess {
public:
    struct Result {
        enum class Outcome { Converted, Failed, Stopped };
        Outcome outcome = Outcome::Failed;
        // Why it failed, in one line: the converter's own reason, or how it ended ("killed: CPU
        // time limit (20 s)", "crashed: signal SEGV").
        QString reason;
        // Lines the converter reported beside its result, such as running without part of
        // its sandbox.
        QStringList notices;
    };

    virtual ~ConverterProcess() = default;

    // Blocks until the converter has ended. Converted only when the bitmap was written; after
    // any other outcome no file is left at the bitmap's name.
    virtual Result convert(const ConversionRequest& request) = 0;
    // Ends every conversion in progress at once; their calls return Stopped. Conversions
    // started after this returns are not affected.
    virtual void abort() = 0;
};
