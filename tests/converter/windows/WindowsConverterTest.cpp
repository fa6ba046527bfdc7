// The converter program on Windows, run as the program runs it: the system's codecs and our
// own readers, the layouts, and what of its confinement this system enforces.
#include "platform/windows/WindowsConverterProcess.h"
#include "tests/converter/ImageTestFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <windows.h>

#include <tlhelp32.h>
#include <wincodec.h>

// windows.h still defines the 16-bit pointer qualifiers, one of which is a test helper's name.
#undef near

#include <map>
#include <thread>

namespace {

using Outcome = ConverterProcess::Result::Outcome;

bool underWine() {
    return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

// Writes `p` through the system's encoder for `container`: 24-bit, or with a palette (GIF).
bool saveWithWic(const TestPicture& p, const QString& path, const GUID& container) {
    IWICImagingFactory* factory = nullptr;
    IWICStream* stream = nullptr;
    IWICBitmapEncoder* encoder = nullptr;
    IWICBitmapFrameEncode* frame = nullptr;
    IWICPalette* palette = nullptr;
    const bool indexed = IsEqualGUID(container, GUID_ContainerFormatGif);
    std::vector<std::uint8_t> pixels;
    std::vector<WICColor> colours;
    std::map<std::uint32_t, std::uint8_t> index;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            const auto c = p.at(x, y);
            const std::uint32_t argb = 0xFF000000u | c[0] << 16 | c[1] << 8 | c[2];
            if (indexed) {
                const auto [at, added] = index.emplace(argb, std::uint8_t(colours.size()));
                if (added)
                    colours.push_back(argb);
                pixels.push_back(at->second);
            } else {
                pixels.insert(pixels.end(), {c[2], c[1], c[0]});
            }
        }
    WICPixelFormatGUID format =
        indexed ? GUID_WICPixelFormat8bppIndexed : GUID_WICPixelFormat24bppBGR;
    const UINT stride = UINT(p.width) * (indexed ? 1 : 3);
    ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    bool ok =
        SUCCEEDED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IWICImagingFactory, reinterpret_cast<void**>(&factory))) &&
        SUCCEEDED(factory->CreateStream(&stream)) &&
        SUCCEEDED(stream->InitializeFromFilename(path.toStdWString().c_str(), GENERIC_WRITE)) &&
        SUCCEEDED(factory->CreateEncoder(container, nullptr, &encoder)) &&
        SUCCEEDED(encoder->Initialize(stream, WICBitmapEncoderNoCache)) &&
        SUCCEEDED(encoder->CreateNewFrame(&frame, nullptr)) &&
        SUCCEEDED(frame->Initialize(nullptr)) &&
        SUCCEEDED(frame->SetSize(UINT(p.width), UINT(p.height))) &&
        SUCCEEDED(frame->SetPixelFormat(&format)) &&
        IsEqualGUID(format, indexed ? GUID_WICPixelFormat8bppIndexed : GUID_WICPixelFormat24bppBGR);
    if (ok && indexed)
        ok = SUCCEEDED(factory->CreatePalette(&palette)) &&
             SUCCEEDED(palette->InitializeCustom(colours.data(), UINT(colours.size()))) &&
             SUCCEEDED(frame->SetPalette(palette));
    ok =
        ok &&
        SUCCEEDED(frame->WritePixels(UINT(p.height), stride, UINT(pixels.size()), pixels.data())) &&
        SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
    for (IUnknown* object :
         std::initializer_list<IUnknown*>{palette, frame, encoder, stream, factory})
        if (object)
            object->Release();
    return ok;
}

// A JPEG with an Exif orientation tag: an APP1 segment put after its start.
QByteArray withOrientation(const QByteArray& jpeg, int orientation) {
    QByteArray exif("Exif\0\0II*\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0", 24);
    exif += char(orientation);
    exif += QByteArray("\0\0\0\0\0\0", 6);
    QByteArray segment("\xFF\xE1", 2);
    segment += char((exif.size() + 2) >> 8);
    segment += char((exif.size() + 2) & 0xFF);
    return jpeg.left(2) + segment + exif + jpeg.mid(2);
}

// The converter processes whose parent is `parent`.
std::vector<DWORD> convertersOf(DWORD parent) {
    std::vector<DWORD> found;
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more;
         more = ::Process32NextW(snapshot, &entry))
        if (entry.th32ParentProcessID == parent &&
            std::wstring_view(entry.szExeFile).ends_with(L"tessaron-convert.exe"))
            found.push_back(entry.th32ProcessID);
    ::CloseHandle(snapshot);
    return found;
}

class WindowsConverterTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return m_dir.filePath(name); }
    ConversionRequest request(const QString& picture, int layout, QSize screen,
                              const QString& test = {}) const {
        ConversionRequest r;
        r.picture = QDir::toNativeSeparators(path(picture)).toStdString();
        r.bitmap = QDir::toNativeSeparators(path("OUT.BMP")).toStdString();
        r.layout = layout;
        r.screen.screen = screen;
        r.screen.workArea = QRect(QPoint(0, 0), screen);
        r.test = test.toStdString();
        return r;
    }
    // Converts and checks the bitmap's size; the bitmap.
    BitmapFile convert(const ConversionRequest& r, QSize size) {
        const ConverterProcess::Result result = m_process.convert(r);
        EXPECT_EQ(result.outcome, Outcome::Converted) << result.reason.toStdString();
        const BitmapFile bitmap = BitmapFile::read(path("OUT.BMP"));
        EXPECT_TRUE(bitmap.valid);
        EXPECT_EQ(QSize(bitmap.width, bitmap.height), size);
        return bitmap;
    }
    // Quadrants: red, green above blue, white.
    static void expectQuadrants(const BitmapFile& b, int tolerance,
                                std::array<std::array<std::uint8_t, 3>, 4> corners = {
                                    {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}}}) {
        const int right = b.width - 3, bottom = std::abs(b.height) - 3;
        const QPoint at[] = {{2, 2}, {right, 2}, {2, bottom}, {right, bottom}};
        for (int i = 0; i < 4; ++i)
            EXPECT_TRUE(near(b.at(at[i].x(), at[i].y()), corners[i], tolerance))
                << i << ": " << int(b.at(at[i].x(), at[i].y())[0]) << ' '
                << int(b.at(at[i].x(), at[i].y())[1]) << ' ' << int(b.at(at[i].x(), at[i].y())[2]);
    }

    QTemporaryDir m_dir;
    WindowsConverterProcess m_process{QStringLiteral(TESSARON_CONVERTER)};
};

} // namespace

TEST_F(WindowsConverterTest, EachFormatBecomesABitmapOfTheScreensSizeWithItsPixels) {
    const TestPicture picture = quadrants(64, 48);
    const struct {
        const char* name;
        GUID container;
        int tolerance;
    } systemFormats[] = {{"in.jpg", GUID_ContainerFormatJpeg, 12},
                         {"in.png", GUID_ContainerFormatPng, 0},
                         {"in.gif", GUID_ContainerFormatGif, 0},
                         {"in.tif", GUID_ContainerFormatTiff, 0},
                         {"in.bmp", GUID_ContainerFormatBmp, 0}};
    for (const auto& format : systemFormats) {
        SCOPED_TRACE(format.name);
        ASSERT_TRUE(saveWithWic(picture, path(format.name), format.container));
        expectQuadrants(convert(request(format.name, 2, {32, 24}), {32, 24}), format.tolerance);
    }
    // Our own readers: PCX, TGA, and a BMP the system's codec may not read (run-length coded).
    ASSERT_TRUE(writeBytes(path("in.pcx"), pcxFile(picture, 8)));
    ASSERT_TRUE(writeBytes(path("in.tga"), tgaFile(picture, 24, true, true)));
    ASSERT_TRUE(writeBytes(path("rle.bmp"), bmpFile(picture, 8, false, true)));
    for (const char* name : {"in.pcx", "in.tga", "rle.bmp"}) {
        SCOPED_TRACE(name);
        expectQuadrants(convert(request(name, 2, {32, 24}), {32, 24}), 0);
    }
    // A one-bit palette PNG, its middle cut from an odd column.
    QImage mono(61, 40, QImage::Format_Mono);
    mono.fill(0);
    for (int y = 0; y < 40; ++y)
        for (int x = 30; x < 61; ++x)
            mono.setPixel(x, y, 1);
    mono.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    ASSERT_TRUE(mono.save(path("mono.png")));
    const BitmapFile centred = convert(request("mono.png", 0, {40, 30}), {40, 30});
    EXPECT_EQ(centred.at(5, 5), (std::array<std::uint8_t, 3>{0, 0, 0}));
    EXPECT_EQ(centred.at(35, 25), (std::array<std::uint8_t, 3>{255, 255, 255}));
}

TEST_F(WindowsConverterTest, OrientationLayoutsAndBackdrops) {
    const TestPicture picture = quadrants(64, 48);
    ASSERT_TRUE(saveWithWic(picture, path("in.jpg"), GUID_ContainerFormatJpeg));
    QFile jpeg(path("in.jpg"));
    ASSERT_TRUE(jpeg.open(QIODevice::ReadOnly));
    // Turned a quarter clockwise to be shown: 48 x 64, the blue quarter at the top left.
    ASSERT_TRUE(writeBytes(path("turned.jpg"), withOrientation(jpeg.readAll(), 6)));
    expectQuadrants(convert(request("turned.jpg", 0, {100, 100}), {47, 63}), 12,
                    {{{0, 0, 255}, {255, 0, 0}, {255, 255, 255}, {0, 255, 0}}});
    // Fill cuts the middle to the screen; Stretch takes the screen's size.
    expectQuadrants(convert(request("in.jpg", 4, {32, 32}), {32, 32}), 12);
    expectQuadrants(convert(request("in.jpg", 5, {50, 20}), {50, 20}), 12);
    // A colour around the fitted picture, or a blurred copy of it, darker.
    ConversionRequest coloured = request("in.jpg", 2, {64, 32});
    coloured.layout.fitColor = 0x336699;
    const BitmapFile framed = convert(coloured, {64, 32});
    EXPECT_EQ(framed.at(2, 16), (std::array<std::uint8_t, 3>{0x33, 0x66, 0x99}));
    const BitmapFile blurred = convert(request("in.jpg", 6, {64, 32}), {64, 32});
    const auto band = blurred.at(2, 8);
    EXPECT_GT(band[0], 60);
    EXPECT_LT(band[0], 230);
    EXPECT_TRUE(near(blurred.at(20, 4), std::array<std::uint8_t, 3>{255, 0, 0}, 12));
}

TEST_F(WindowsConverterTest, ADamagedPictureFailsAndLeavesNoBitmap) {
    ASSERT_TRUE(saveWithWic(quadrants(64, 48), path("in.png"), GUID_ContainerFormatPng));
    QFile png(path("in.png"));
    ASSERT_TRUE(png.open(QIODevice::ReadOnly));
    ASSERT_TRUE(writeBytes(path("cut.png"), png.readAll().left(60)));
    ASSERT_TRUE(writeBytes(path("text.jpg"), "not a picture at all, only some text"));
    ASSERT_TRUE(writeBytes(path("empty.gif"), {}));
    for (const char* name : {"cut.png", "text.jpg", "empty.gif", "missing.png"}) {
        SCOPED_TRACE(name);
        const ConverterProcess::Result result = m_process.convert(request(name, 2, {32, 24}));
        EXPECT_EQ(result.outcome, Outcome::Failed);
        EXPECT_FALSE(result.reason.isEmpty());
        EXPECT_FALSE(QFile::exists(path("OUT.BMP")));
    }
}

// Wine takes the job's limits but enforces none of them: what it does not, the watch of the
// program that started the converter does (but the CPU time, which Wine does not tell).
TEST_F(WindowsConverterTest, ACrashAHangOrAnyLimitEndsAsAFailedConversion) {
    ASSERT_TRUE(saveWithWic(quadrants(64, 48), path("in.png"), GUID_ContainerFormatPng));
    const bool wine = underWine();
    const struct {
        const char* test;
        ConverterLimits limits;
        QString reason;
    } cases[] = {
        {"crash", {}, "crashed: exception 0xc0000005"},
        {"hang", {.wall = std::chrono::milliseconds(1000)}, "killed: wall time limit (1 s)"},
        {"spin",
         {.cpu = std::chrono::seconds(1), .wall = std::chrono::milliseconds(4000)},
         wine ? "killed: wall time limit (4 s)" : "killed: CPU time limit (1 s)"},
        {"grow", {}, "killed: file size limit ("},
        {"allocate",
         {.addressSpace = std::uint64_t{512} << 20},
         wine ? "killed: memory limit (512 MiB)"
              : "out of memory at the job's memory limit of 512 MiB"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.test);
        WindowsConverterProcess process(QStringLiteral(TESSARON_CONVERTER), c.limits);
        const ConverterProcess::Result result =
            process.convert(request("in.png", 2, {32, 24}, c.test));
        EXPECT_EQ(result.outcome, Outcome::Failed);
        EXPECT_TRUE(result.reason.startsWith(c.reason)) << result.reason.toStdString();
        EXPECT_FALSE(QFile::exists(path("OUT.BMP")));
    }
    // Abort ends a converter at once; later ones run.
    ConverterProcess::Result result;
    std::thread converting([&] {
        result = m_process.convert(request("in.png", 2, {32, 24}, "hang"));
    });
    for (int i = 0; i < 20000 && m_process.running() == 0; ++i)
        ::Sleep(1);
    m_process.abort();
    converting.join();
    EXPECT_EQ(result.outcome, Outcome::Stopped);
    EXPECT_FALSE(QFile::exists(path("OUT.BMP")));
    EXPECT_EQ(m_process.convert(request("in.png", 2, {32, 24})).outcome, Outcome::Converted);
}

// What a converter taken over by its picture would try. Windows refuses it all (low integrity,
// the job's one process); Wine refuses none of it: there only the program's choice of what
// the converter is handed confines it.
TEST_F(WindowsConverterTest, TheConfinementRefusesWhatTheSystemEnforces) {
    ASSERT_TRUE(saveWithWic(quadrants(64, 48), path("in.png"), GUID_ContainerFormatPng));
    const QString folder = path("elsewhere");
    QDir().mkpath(folder);
    ASSERT_TRUE(writeBytes(folder + "/victim", "the user's own"));
    const ConverterProcess::Result result = m_process.convert(
        request("in.png", 2, {32, 24}, "probe:" + QDir::toNativeSeparators(folder)));
    EXPECT_EQ(result.outcome, Outcome::Converted) << result.reason.toStdString();
    QStringList probes = result.notices.filter(QStringLiteral("probe "));
    EXPECT_EQ(probes.size(), 8) << result.notices.join('\n').toStdString();
    for (const QString& probe : probes) {
        const bool allowed = probe.endsWith(QLatin1String(": allowed"));
        EXPECT_EQ(allowed, underWine()) << probe.toStdString();
    }
}

// A program that dies, however, takes its converter with it: the job's only handle was its.
TEST_F(WindowsConverterTest, TheConverterDiesWithTheProgram) {
    ASSERT_TRUE(saveWithWic(quadrants(64, 48), path("in.png"), GUID_ContainerFormatPng));
    if (qEnvironmentVariableIsSet("TESSARON_TEST_HANGING_CONVERSION")) {
        m_process.convert(request("in.png", 2, {32, 24}, "hang"));
        return;
    }
    // This test again, in a program of its own that hangs in a conversion.
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) +
                           L"\" --gtest_filter=WindowsConverterTest.TheConverterDiesWithTheProgram";
    ::SetEnvironmentVariableW(L"TESSARON_TEST_HANGING_CONVERSION", L"1");
    STARTUPINFOW start{};
    start.cb = sizeof start;
    PROCESS_INFORMATION program{};
    const bool started = ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE,
                                          CREATE_NO_WINDOW, nullptr, nullptr, &start, &program);
    ::SetEnvironmentVariableW(L"TESSARON_TEST_HANGING_CONVERSION", nullptr);
    ASSERT_TRUE(started);
    std::vector<DWORD> converters;
    for (int i = 0; i < 60000 && converters.empty(); i += 10, ::Sleep(10))
        converters = convertersOf(program.dwProcessId);
    ASSERT_EQ(converters.size(), 1U);
    const HANDLE converter = ::OpenProcess(SYNCHRONIZE, FALSE, converters[0]);
    ::TerminateProcess(program.hProcess, 1);
    ::WaitForSingleObject(program.hProcess, INFINITE);
    EXPECT_EQ(::WaitForSingleObject(converter, 20000), WAIT_OBJECT_0);
    for (HANDLE handle : {converter, program.hProcess, program.hThread})
        ::CloseHandle(handle);
}
