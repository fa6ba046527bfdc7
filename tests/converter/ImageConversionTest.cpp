#include "converter/ImageConversion.h"
#include "conversion/ConversionRequest.h"
#include "converter/ImageLibrary.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <stdexcept>

namespace {

// Records what the conversion asks of the library; answers with a fixed picture.
class RecordingLibrary : public ImageLibrary {
public:
    int width = 640;
    int height = 480;
    int bits = 24;
    bool readable = true;
    bool failStretch = false;
    bool failSave = false;
    bool throwOnStretch = false;

    QStringList calls;
    int stretchWidth = -1;
    int stretchHeight = -1;
    QRect part;
    QSize canvas;
    QPoint at;
    int live = 0;

    ImageObject* initImageObject(int) override {
        calls << "init";
        if (!readable)
            return nullptr;
        ++live;
        return &m_image;
    }
    int getNumBits(ImageObject*) override { return bits; }
    bool changeImageFormat(ImageObject*, int newBits) override {
        calls << QStringLiteral("change %1").arg(newBits);
        bits = newBits;
        return true;
    }
    int getWidth(ImageObject*) override { return width; }
    int getHeight(ImageObject*) override { return height; }
    bool stretch(ImageObject*, int w, int h) override {
        if (throwOnStretch)
            throw std::runtime_error("library fault");
        calls << "stretch";
        stretchWidth = w;
        stretchHeight = h;
        return !failStretch;
    }
    bool crop(ImageObject*, const QRect& r) override {
        calls << "crop";
        part = r;
        return true;
    }
    bool place(ImageObject*, const QSize& size, const QPoint& where,
               const Backdrop& backdrop) override {
        calls << (backdrop.blurred
                      ? "place blurred"
                      : QStringLiteral("place %1").arg(backdrop.colour, 6, 16, QChar('0')));
        canvas = size;
        at = where;
        return true;
    }
    bool save(ImageObject*, int bitmap) override {
        calls << QStringLiteral("save %1").arg(bitmap);
        return !failSave;
    }
    void deleteImageObject(ImageObject*) override {
        calls << "delete";
        --live;
    }
    std::string lastError() const override { return failSave ? "disk full" : ""; }

private:
    ImageObject m_image;
};

ScreenArea screenOf(int w, int h, QRect workArea = {}) {
    ScreenArea s;
    s.screen = QSize(w, h);
    s.workArea = workArea.isNull() ? QRect(0, 0, w, h) : workArea;
    return s;
}

QSize convert(RecordingLibrary& library, const WallpaperLayout& layout, const ScreenArea& screen) {
    EXPECT_EQ(ImageConversion(library).convert(3, 4, layout, screen), std::nullopt);
    return QSize(library.stretchWidth, library.stretchHeight);
}

} // namespace

TEST(ImageConversion, CenteredAndTileStretchToOneLessThanTheSize) {
    for (int layout : {0, 1, 8, -1}) { // unknown layouts convert as Centered
        RecordingLibrary library;
        EXPECT_EQ(convert(library, layout, screenOf(800, 600)), QSize(639, 479)) << layout;
        EXPECT_FALSE(library.calls.contains("crop")); // the screen shows all of it
    }
    RecordingLibrary tiny;
    tiny.width = 1;
    tiny.height = 1;
    EXPECT_EQ(convert(tiny, 0, screenOf(800, 600)), QSize(1, 1)); // never an empty picture
}

TEST(ImageConversion, CenteredAndTileKeepOnlyWhatTheScreenShows) {
    // Stretched to 3999 x 2999: Centered shows the middle, Tile the top left corner.
    const struct {
        int layout;
        QSize picture;
        QRect part;
    } cases[] = {{0, {4000, 3000}, {1039, 959, 1920, 1080}},
                 {8, {4000, 3000}, {1039, 959, 1920, 1080}},
                 {1, {4000, 3000}, {0, 0, 1920, 1080}},
                 {0, {4000, 800}, {1039, 0, 1920, 799}}, // only too wide
                 {1, {1000, 2000}, {0, 0, 999, 1080}}};  // only too tall
    for (const auto& c : cases) {
        RecordingLibrary library;
        library.width = c.picture.width();
        library.height = c.picture.height();
        EXPECT_EQ(convert(library, c.layout, screenOf(1920, 1080)),
                  c.picture - QSize(1, 1)); // resized as before
        EXPECT_EQ(library.part, c.part) << c.layout;
        EXPECT_EQ(library.calls.indexOf("crop"), library.calls.indexOf("stretch") + 1);
    }
    // The layouts that fit the picture to the screen never need it.
    RecordingLibrary fitted;
    fitted.width = 4000;
    fitted.height = 3000;
    convert(fitted, 2, screenOf(1920, 1080));
    EXPECT_FALSE(fitted.calls.contains("crop"));
}

TEST(ImageConversion, FitOnDesktopScalesDownAndUpWithTheLargerRatio) {
    RecordingLibrary down;
    down.width = 1024;
    down.height = 768;
    EXPECT_EQ(convert(down, 2, screenOf(800, 600)), QSize(800, 600));

    // The single-precision height ratio 0.800000011920929 beats the exact 0.8.
    RecordingLibrary up;
    EXPECT_EQ(convert(up, 2, screenOf(800, 600)), QSize(799, 599));

    RecordingLibrary wide;
    wide.width = 3000;
    wide.height = 2000;
    EXPECT_EQ(convert(wide, 2, screenOf(1024, 768)), QSize(1024, 682));

    // A sliver keeps at least one pixel across.
    RecordingLibrary sliver;
    sliver.width = 1;
    sliver.height = 5000;
    EXPECT_EQ(convert(sliver, 2, screenOf(1920, 1080)), QSize(1, 1080));
}

TEST(ImageConversion, CentredInWorkAreaUsesTheBoxLessTheTaskBarAndOnePercent) {
    const ScreenArea taskBarAtBottom = screenOf(800, 600, QRect(0, 0, 800, 572));
    RecordingLibrary exact; // a picture of exactly the box's size stays as it is
    exact.width = 792;
    exact.height = 538;
    EXPECT_EQ(convert(exact, 3, taskBarAtBottom), QSize(792, 538));

    RecordingLibrary large;
    large.width = 1024;
    large.height = 768;
    EXPECT_EQ(convert(large, 3, taskBarAtBottom), QSize(717, 537));

    // Only the work area's size counts, not where it starts: a task bar on the left.
    RecordingLibrary left;
    left.width = 1024;
    left.height = 768;
    EXPECT_EQ(convert(left, 3, screenOf(800, 600, QRect(28, 0, 772, 600))), QSize(736, 552));
}

TEST(ImageConversion, WorkAreaUnderHalfTheScreenFitsTheScreenInsteadOfDividingByZero) {
    RecordingLibrary library;
    library.width = 1024;
    library.height = 768;
    EXPECT_EQ(convert(library, 3, screenOf(800, 600, QRect(0, 0, 400, 300))), QSize(800, 600));
    EXPECT_FALSE(ImageConversion::stretchSize(1024, 768, 2, screenOf(0, 0)).has_value());
}

TEST(ImageConversion, OnlyPicturesOtherThan24BitsAreChangedAndBeforeResampling) {
    for (int bits : {1, 8, 16, 32, 48}) {
        RecordingLibrary library;
        library.bits = bits;
        convert(library, 2, screenOf(800, 600));
        ASSERT_GE(library.calls.size(), 3);
        EXPECT_EQ(library.calls[1], "change 24") << bits;
        EXPECT_EQ(library.calls[2], "stretch") << bits;
    }
    RecordingLibrary library;
    convert(library, 2, screenOf(800, 600));
    EXPECT_EQ(library.calls, QStringList({"init", "stretch", "save 4", "delete"}));
}

TEST(ImageConversion, EveryFailureGivesItsReasonAndReleasesThePicture) {
    auto reason = [](RecordingLibrary& library, int layout) {
        return ImageConversion(library).convert(3, 4, layout, screenOf(800, 600)).value_or("");
    };
    RecordingLibrary unreadable;
    unreadable.readable = false;
    EXPECT_EQ(reason(unreadable, 2), "cannot read the picture");
    EXPECT_EQ(unreadable.calls, QStringList({"init"}));

    RecordingLibrary stretchFails;
    stretchFails.failStretch = true;
    EXPECT_EQ(reason(stretchFails, 2), "cannot resample it to 799 x 599");
    EXPECT_FALSE(stretchFails.calls.contains("save 4")); // nothing is saved at a wrong size
    EXPECT_EQ(stretchFails.live, 0);

    RecordingLibrary saveFails;
    saveFails.failSave = true;
    EXPECT_EQ(reason(saveFails, 0), "cannot decode it or write the bitmap (disk full)");
    EXPECT_EQ(saveFails.live, 0);

    RecordingLibrary throws;
    throws.throwOnStretch = true;
    EXPECT_EQ(reason(throws, 0), "fault in the picture library: library fault");
    EXPECT_EQ(throws.live, 0);
    EXPECT_EQ(throws.calls.last(), "delete");
}

TEST(ImageConversion, FillStretchAndTheBlurredCopyCoverTheScreen) {
    const ScreenArea screen = screenOf(1920, 1080);
    const auto layout = [](ImageLayout kind, std::uint32_t colour = 0, bool neverEnlarge = false) {
        WallpaperLayout l(static_cast<std::int32_t>(kind));
        l.fitColor = colour;
        l.neverEnlarge = neverEnlarge;
        l.smartCrop = false;
        return l;
    };
    const struct {
        WallpaperLayout layout;
        QSize picture;
        QSize stretched;
        QRect part;
        QStringList calls; // between stretch and save
        QPoint at;
    } cases[] = {
        // clang-format off
        // Scaled to cover, cut in the middle (or where the attention measure says).
        {layout(ImageLayout::Fill), {4000, 1000}, {4320, 1080}, {1200, 0, 1920, 1080}, {"crop"}},
        {layout(ImageLayout::Fill), {1000, 2000}, {1920, 3840}, {0, 1380, 1920, 1080}, {"crop"}},
        {layout(ImageLayout::Fill), {192, 108}, {1920, 1080}, {0, 0, 1920, 1080}, {}},
        {layout(ImageLayout::Stretch), {1000, 2000}, {1920, 1080}, {0, 0, 1920, 1080}, {}},
        // Fitted as "Fit on desktop" fits it, on its blurred copy.
        {layout(ImageLayout::FitOnBlur), {4000, 1000}, {1919, 479}, {0, 0, 1919, 479},
         {"place blurred"}, {0, 300}},
        // A colour around what does not cover the screen; black leaves that to the desktop.
        {layout(ImageLayout::Centered, 0x336699), {640, 480}, {639, 479}, {0, 0, 639, 479},
         {"place 336699"}, {640, 300}},
        {layout(ImageLayout::FitOnDesktop, 0xff0000, true), {800, 600}, {800, 600},
         {0, 0, 800, 600}, {"place ff0000"}, {560, 240}},
        {layout(ImageLayout::FitOnDesktop, 0, true), {800, 600}, {800, 600}, {0, 0, 800, 600}, {}},
        // Never enlarged: kept at its size and centred, cut where it is too tall.
        {layout(ImageLayout::Fill, 0, true), {1000, 2000}, {1000, 2000}, {0, 460, 1000, 1080},
         {"crop", "place 000000"}, {460, 0}},
        {layout(ImageLayout::FitOnBlur, 0, true), {800, 600}, {800, 600}, {0, 0, 800, 600},
         {"place blurred"}, {560, 240}},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << c.layout.layout << " " << c.picture.width() << "x" << c.picture.height());
        RecordingLibrary library;
        library.width = c.picture.width();
        library.height = c.picture.height();
        ASSERT_EQ(convert(library, c.layout, screen), c.stretched);
        const QStringList between = library.calls.mid(2, library.calls.size() - 4);
        EXPECT_EQ(between, c.calls);
        if (between.contains("crop"))
            EXPECT_EQ(library.part, c.part);
        if (!c.calls.filter("place").isEmpty()) {
            EXPECT_EQ(library.canvas, QSize(1920, 1080));
            EXPECT_EQ(library.at, c.at);
        }
    }
    // "Keep the interesting part" asks the library where the part lies; Span never does.
    WallpaperLayout smart = layout(ImageLayout::Fill);
    smart.smartCrop = true;
    const auto plan = ImageConversion::plan(4000, 1000, smart, screen);
    ASSERT_TRUE(plan);
    EXPECT_TRUE(plan->interesting);
    smart.layout = static_cast<std::int32_t>(ImageLayout::Span);
    EXPECT_FALSE(ImageConversion::plan(4000, 1000, smart, screen)->interesting);
}

TEST(ImageConversion, SpanGivesEachScreenItsPartInItsOwnPixels) {
    // A 1600x1200 area of the desktop at half the scale of the 640x480 screen beside it.
    WallpaperLayout span(static_cast<std::int32_t>(ImageLayout::Span));
    span.desktop = QRect(0, 0, 2240, 1200);
    span.place = QRect(0, 0, 1600, 1200);
    auto left = ImageConversion::plan(4480, 2400, span, screenOf(800, 600));
    span.place = QRect(1600, 0, 640, 480);
    auto right = ImageConversion::plan(4480, 2400, span, screenOf(640, 480));
    ASSERT_TRUE(left && right);
    EXPECT_EQ(left->stretched, QSize(1120, 600));
    EXPECT_EQ(left->part, QRect(0, 0, 800, 600));
    EXPECT_EQ(right->stretched, QSize(2240, 1200));
    EXPECT_EQ(right->part, QRect(1600, 0, 640, 480));
    EXPECT_FALSE(left->needsCanvas() || right->needsCanvas());

    // A small picture, not enlarged, in the middle of the desktop misses the right screen.
    span.neverEnlarge = true;
    right = ImageConversion::plan(100, 100, span, screenOf(640, 480));
    ASSERT_TRUE(right);
    EXPECT_TRUE(right->needsCanvas());
    EXPECT_EQ(right->at, QPoint(-1, -1));
}

TEST(ImageConversion, TheProgramKnowsTheSizeOfEveryBitmap) {
    for (int layout = -1; layout <= 8; ++layout)
        for (const std::uint32_t colour : {0u, 0x336699u})
            for (const bool neverEnlarge : {false, true})
                for (const QSize picture : {QSize(640, 480), QSize(4000, 1000), QSize(1000, 2000),
                                            QSize(1, 5000), QSize(3000, 3000)})
                    for (const ScreenArea& screen :
                         {screenOf(1920, 1080, QRect(0, 0, 1920, 1040)), screenOf(2880, 1800)}) {
                        WallpaperLayout l(layout);
                        l.fitColor = colour;
                        l.neverEnlarge = neverEnlarge;
                        const auto plan =
                            ImageConversion::plan(picture.width(), picture.height(), l, screen);
                        ASSERT_TRUE(plan);
                        const QSize written =
                            plan->needsCanvas() ? plan->canvas : plan->part.size();
                        const auto bound = l.bitmapBound(screen.screen);
                        SCOPED_TRACE(::testing::Message()
                                     << layout << " " << colour << " " << picture.width() << "x"
                                     << picture.height());
                        if (bound.exact)
                            EXPECT_EQ(written, bound.size);
                        EXPECT_LE(written.width(), bound.size.width());
                        EXPECT_LE(written.height(), bound.size.height());
                    }
}

TEST(ImageConversion, TheRequestCarriesTheLayoutWhole) {
    ConversionRequest request;
    request.picture = "--a picture";
    request.bitmap = "OUT.BMP";
    request.layout.layout = 7;
    request.layout.fitColor = 0x0a0b0c;
    request.layout.neverEnlarge = true;
    request.layout.smartCrop = false;
    request.layout.desktop = QRect(-1920, 0, 4480, 1200);
    request.layout.place = QRect(1600, 0, 640, 480);
    request.screen = screenOf(640, 480, QRect(0, 30, 640, 450));
    std::vector<std::string> words = request.arguments();
    std::vector<const char*> argv;
    for (const std::string& word : words)
        argv.push_back(word.c_str());
    std::string error;
    const auto parsed = ConversionRequest::parse(argv, &error);
    ASSERT_TRUE(parsed) << error;
    EXPECT_EQ(parsed->layout, request.layout);
    EXPECT_EQ(parsed->screen, request.screen);
    EXPECT_EQ(parsed->picture, request.picture);
    // Defaults are left out of the command line.
    EXPECT_EQ(ConversionRequest{}.arguments().size(), 9u);

    for (const std::vector<const char*>& bad :
         {std::vector<const char*>{"--fit-color", "12345g", "a", "b"},
          {"--never-enlarge", "yes", "a", "b"},
          {"--desktop", "0,0,10,10", "a", "b"}}) {
        EXPECT_FALSE(ConversionRequest::parse(bad, &error)) << bad[0];
    }
}
