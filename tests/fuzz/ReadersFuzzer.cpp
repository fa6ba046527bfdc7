// Any bytes as a BMP, PCX or TGA file: our own readers never crash, never read outside the
// input and never describe more pixels than they allocated. No image library is involved, so
// a run takes microseconds. Run with tests/fuzz/dict/readers.dict.
#include "converter/BmpReader.h"
#include "converter/PcxReader.h"
#include "converter/TgaReader.h"
#include "tests/fuzz/ReaderCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    // What the converter does: the first reader that knows the file reads it. Each reader is
    // also given every input, so that one never has to wait for another's test to fail.
    BmpReader::canRead(bytes);
    PcxReader::canRead(bytes);
    TgaReader::canRead(bytes);
    checkReader(&BmpReader::read, bytes);
    checkReader(&PcxReader::read, bytes);
    checkReader(&TgaReader::read, bytes);
    return 0;
}
