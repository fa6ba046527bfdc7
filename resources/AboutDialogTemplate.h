#pragma once

#include "resources/DialogTemplate.h"

#include <array>

// The About box: 241 x 69 dialog units.
namespace AboutDialogTemplate {

enum Id : int {
    IdClose = 2,
    IdWww = 1008,
    IdEmail = 1009,
    IdVersion = 2018,
    IdLink = 1029,
};

inline constexpr int kLinkBitmap = 145;

using DialogTemplate::Control;
using DialogTemplate::kNoId;
using K = DialogTemplate::Kind;

inline constexpr std::array kControls{
    Control{IdClose, K::DefaultButton, "Close", {184, 7, 50, 14}},
    Control{IdWww, K::Button, "www", {184, 27, 50, 14}},
    Control{IdEmail, K::Button, "E-mail", {184, 48, 50, 14}},
    Control{IdVersion, K::Text, "", {35, 7, 118, 25}},
    Control{kNoId, K::Icon, "", {7, 7, 21, 20}},
    Control{kNoId, K::Text, "Pictures by libvips,\nnetwork by libcurl.", {90, 41, 89, 16}},
    Control{IdLink, K::LinkPicture, "", {7, 37, 77, 25}, kLinkBitmap},
};

inline constexpr DialogTemplate::Dialog kDialog{"About Tessaron", 241, 69,
                                                "MS Sans Serif",  8,   kControls};

} // namespace AboutDialogTemplate
