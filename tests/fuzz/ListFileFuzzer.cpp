// Any bytes as a list file: decoding never crashes, never allocates beyond the input, and what
// it decodes encodes back to a file that decodes the same.
#include "app/ListFile.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const EntryList entries = ListFile::decode(bytes);
    if (entries.size() > size / 4 + 1)
        std::abort();
    if (ListFile::decode(ListFile::encode(entries)) != entries)
        std::abort();
    for (const ListEntry& entry : entries)
        if (ListEntry::fromText(entry.text()) && ListEntry::fromText(entry.text())->text() != entry.text())
            std::abort();
    return 0;
}
