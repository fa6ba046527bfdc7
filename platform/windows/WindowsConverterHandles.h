#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

// How the program hands the converter program its open files on Windows: a file given on the
// converter's command line as "<handle N>" is the inherited handle N. No file name can be
// spelt so ('<' and '>' are not allowed in names).
class WindowsConverterHandles {
public:
    static std::string nameOf(HANDLE handle) {
        return "<handle " + std::to_string(reinterpret_cast<std::uintptr_t>(handle)) + '>';
    }
    // The handle a name stands for; null when it is a file's name.
    static HANDLE handleOf(const std::string& name) {
        constexpr std::string_view kPrefix = "<handle ";
        if (!name.starts_with(kPrefix) || !name.ends_with('>') || name.size() <= kPrefix.size() + 1)
            return nullptr;
        std::uintptr_t value = 0;
        for (std::size_t i = kPrefix.size(); i + 1 < name.size(); ++i) {
            if (name[i] < '0' || name[i] > '9')
                return nullptr;
            value = value * 10 + static_cast<std::uintptr_t>(name[i] - '0');
        }
        return reinterpret_cast<HANDLE>(value);
    }
};
