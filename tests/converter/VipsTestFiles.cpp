// First: glib uses `signals` as a name, which Qt headers define as a keyword.
#include <vips/vips8>

#include "tests/converter/ImageTestFiles.h"

#include <QFile>

bool saveWithVips(const TestPicture& p, const QString& path) {
    try {
        vips::VImage image =
            vips::VImage::new_from_memory(const_cast<std::uint8_t*>(p.rgb.data()), p.rgb.size(),
                                          p.width, p.height, 3, VIPS_FORMAT_UCHAR);
        image.write_to_file(QFile::encodeName(path).constData());
        return true;
    } catch (const vips::VError&) {
        return false;
    }
}
