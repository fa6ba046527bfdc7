#include "converter/ImageConversion.h"
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

QSize convert(RecordingLibrary& library, int layout, const ScreenArea& screen) {
    EXPECT_EQ(ImageConversion(library).convert(3, 4, layout, screen), std::nullopt);
    return QSize(library.stretchWidth, library.stretchHeight);
}

} // namespace

TEST(ImageConversion, CenteredAndTileStretchToOneLessThanTheSize) {
    for (int layout : {0, 1, 7, -1}) { // unknown layouts convert as Centered
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
                 {7, {4000, 3000}, {1039, 959, 1920, 1080}},
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
