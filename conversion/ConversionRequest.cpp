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

} // namespace

std::vector<std::string> ConversionRequest::arguments() const {
    const QRect& area = screen.workArea;
    std::vector<std::string> list = {
        "--layout",
        std::to_string(layout),
        "--screen",
        std::to_string(screen.screen.width()) + 'x' + std::to_string(screen.screen.height()),
        "--work-area",
        std::to_string(area.left()) + ',' + std::to_string(area.top()) + ',' +
            std::to_string(area.left() + area.width()) + ',' +
            std::to_string(area.top() + area.height())};
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
            int layout = 0;
            ok = readNumbers(value, ',', std::span(&layout, 1));
            request.layout = layout;
        } else if (argument == "--screen") {
            int size[2] = {};
            ok = readNumbers(value, 'x', size) && size[0] >= 0 && size[1] >= 0;
            request.screen.screen = QSize(size[0], size[1]);
        } else if (argument == "--work-area") {
            int edges[4] = {};
            ok = readNumbers(value, ',', edges);
            request.screen.workArea =
                QRect(edges[0], edges[1], edges[2] - edges[0], edges[3] - edges[1]);
            workAreaGiven = true;
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
    return request;
}
