#pragma once

#include <cstddef>
#include <optional>
#include <string>

// The two files of the converter program's one conversion, opened before its sandbox closes the
// process off: the picture to read and the bitmap to write, both as C runtime descriptors that
// the picture library reads and the bitmap writer writes. Plain C++ (no Qt), like the converter
// program.
class ConverterFiles {
public:
    ConverterFiles();
    ~ConverterFiles();
    ConverterFiles(const ConverterFiles&) = delete;
    ConverterFiles& operator=(const ConverterFiles&) = delete;

    // Opens the picture `picture` (a regular file, read from its start) and makes the bitmap
    // `bitmap` anew, empty and readable by the user alone, both named as on the command line.
    // Nothing, or why not in one line.
    std::optional<std::string> open(const std::string& picture, const std::string& bitmap);
    int picture() const;
    int bitmap() const;
    // The picture's first bytes (fewer when it is shorter).
    const unsigned char* head() const { return m_head; }
    std::size_t headSize() const { return m_headSize; }

    // Removes the bitmap while the process still may (before its sandbox); afterwards only
    // the process that started the converter can.
    void removeBitmap();
    // Lets go of what only removeBitmap needs, before the sandbox is entered.
    void keepOnlyDescriptors();

private:
    struct Handles;
    Handles* m_handles;
    unsigned char m_head[16] = {};
    std::size_t m_headSize = 0;
};
