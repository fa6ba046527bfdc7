// Writes a folder of varied pictures for the soak run: several formats, sizes from a thumbnail
// to a large photo, grey and colour, with and without alpha.
#include <vips/vips8>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s FOLDER COUNT\n", argv[0]);
        return 2;
    }
    if (VIPS_INIT(argv[0]))
        return 1;
    const std::string folder = argv[1];
    const int count = std::atoi(argv[2]);
    // .png and .webp are not among the slide show's picture types: the walk passes over them.
    const char* formats[] = {".jpg", ".tif", ".gif", ".png", ".jpg", ".tif", ".webp"};
    const int sizes[][2] = {{64, 48}, {640, 480}, {1920, 1080}, {4000, 3000}, {300, 900}};
    int written = 0;
    for (int i = 0; i < count; ++i) {
        const auto& size = sizes[(i + i / 5) % 5];
        const int bands = (i % 7 == 0) ? 1 : (i % 11 == 0 ? 4 : 3);
        // A gradient with a per-picture tint, so every picture differs from its neighbours.
        vips::VImage image = vips::VImage::xyz(size[0], size[1])[0] * (255.0 / size[0]);
        std::vector<double> tint;
        for (int b = 0; b < bands; ++b)
            tint.push_back((i * 37 + b * 91) % 256);
        if (bands > 1)
            image = image.bandjoin_const(std::vector<double>(bands - 1, 0.0));
        image = (image + tint) / 2;
        image = image.cast(VIPS_FORMAT_UCHAR);
        if (bands >= 3)
            image =
                image.copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
        const std::string path = folder + "/soak-" + std::to_string(i) + formats[i % 7];
        try {
            image.write_to_file(path.c_str());
            ++written;
        } catch (const vips::VError& error) {
            std::fprintf(stderr, "%s: %s\n", path.c_str(), error.what());
        }
    }
    std::printf("%d pictures written\n", written);
    vips_shutdown();
    return written > 0 ? 0 : 1;
}
