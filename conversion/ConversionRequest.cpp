#include "conversion/ConversionRequest.h"

#include <charconv>
#include <string_view>

namespace {

// Whole decimal numbers separated by `separator`; false unless all of `text` is that.
bool readNumbers(std::string_view text, char separator, std::span<int> out) {
    for (std::size_t i = 0; i < out.size(); ++i) {
        const char* end = text.data() + text.size();
        const auto [next, error] = std::from_chars(text.data(), end, out[i]);
        if (error != std::errc() || next == text.data())
            return false;
        text.remove_prefix(static_cast<std::size_t>(next - text.data()));
        if (i + 1 < out.size()) {
            if (text.empty() || text.front() != separator)
                return false;
            text.remove_prefix(1);
        }
    }
    return text.empty();
}

// "L,T,R,B": the left and top edges and the right and bottom edges beyond the area.
std::string edges(const QRect& area) {
    return std::to_string(area.left()) + ',' + std::to_string(area.top()) + ',' +
           std::to_string(area.left() + area.width()) + ',' +
           std::to_string(area.top() + area.height());
}

bool readEdges(std::string_view text, QRect& area) {
    int edges[4] = {};
    if (!readNumbers(text, ',', edges))
        return false;
    area = QRect(edges[0], edges[1], edges[2] - edges[0], edges[3] - edges[1]);
    return true;
}

bool readFlag(std::string_view text, bool& flag) {
    if (text != "0" && text != "1")
        return false;
    flag = text == "1";
    return true;
}

bool readColour(std::string_view text, std::uint32_t& colour) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (text.size() != 6 || error != std::errc() || end != text.data() + text.size())
        return false;
    colour = value;
    return true;
}

std::string hexColour(std::uint32_t colour) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text(6, '0');
    for (int i = 5; i >= 0; --i, colour >>= 4)
        text[static_cast<std::size_t>(i)] = kDigits[colour & 0xF];
    return text;
}

} // namespace

std::vector<std::string> ConversionRequest::arguments() const {
    std::vector<std::string> list = {
        "--layout",
        std::to_string(layout.layout),
        "--screen",
        std::to_string(screen.screen.width()) + 'x' + std::to_string(screen.screen.height()),
        "--work-area",
        edges(screen.workArea)};
    const WallpaperLayout defaults;
    if (layout.fitColor != defaults.fitColor)
        list.insert(list.end(), {"--fit-color", hexColour(layout.fitColor)});
    if (layout.neverEnlarge != defaults.neverEnlarge)
        list.insert(list.end(), {"--never-enlarge", layout.neverEnlarge ? "1" : "0"});
    if (layout.smartCrop != defaults.smartCrop)
        list.insert(list.end(), {"--smart-crop", layout.smartCrop ? "1" : "0"});
    if (!layout.desktop.isEmpty())
        list.insert(list.end(),
                    {"--desktop", edges(layout.desktop), "--place", edges(layout.place)});
    if (!test.empty()) {
        list.push_back("--test");
        list.push_back(test);
    }
    // Names that start with "--" stay names.
    list.push_back("--");
    list.push_back(picture);
    list.push_back(bitmap);
    return list;
}

std::optional<ConversionRequest> ConversionRequest::parse(std::span<const char* const> arguments,
                                                          std::string* error) {
    ConversionRequest request;
    std::vector<std::string> names;
    bool workAreaGiven = false;
    bool optionsEnded = false;
    auto refuse = [error](std::string reason) -> std::optional<ConversionRequest> {
        if (error)
            *error = std::move(reason);
        return std::nullopt;
    };
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        if (optionsEnded || !argument.starts_with("--")) {
            names.emplace_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        if (i + 1 >= arguments.size())
            return refuse(std::string(argument) + " needs a value");
        const std::string_view value = arguments[++i];
        bool ok = false;
        if (argument == "--layout") {
            ok = readNumbers(value, ',', std::span(&request.layout.layout, 1));
        } else if (argument == "--screen") {
            int size[2] = {};
            ok = readNumbers(value, 'x', size) && size[0] >= 0 && size[1] >= 0;
            request.screen.screen = QSize(size[0], size[1]);
        } else if (argument == "--work-area") {
            ok = readEdges(value, request.screen.workArea);
            workAreaGiven = true;
        } else if (argument == "--fit-color") {
            ok = readColour(value, request.layout.fitColor);
        } else if (argument == "--never-enlarge") {
            ok = readFlag(value, request.layout.neverEnlarge);
        } else if (argument == "--smart-crop") {
            ok = readFlag(value, request.layout.smartCrop);
        } else if (argument == "--desktop") {
            ok = readEdges(value, request.layout.desktop) && !request.layout.desktop.isEmpty();
        } else if (argument == "--place") {
            ok = readEdges(value, request.layout.place) && !request.layout.place.isEmpty();
        } else if (argument == "--test") {
            request.test = value;
            ok = true;
        }
        if (!ok)
            return refuse("bad option " + std::string(argument) + ' ' + std::string(value));
    }
    if (names.size() != 2)
        return refuse("expected a picture and a bitmap");
    request.picture = std::move(names[0]);
    request.bitmap = std::move(names[1]);
    if (request.picture.empty() || request.bitmap.empty())
        return refuse("empty file name");
    if (!workAreaGiven)
        request.screen.workArea = QRect(QPoint(0, 0), request.screen.screen);
    // A screen's place means something only on a desktop, and then it must be given.
    if (request.layout.desktop.isEmpty() != request.layout.place.isEmpty())
        return refuse("--desktop and --place go together");
    return request;
}
