#pragma once

#include <span>

// A dialog described as data: every control's id, kind, text and rectangle in dialog units.
// Dialogs are built from these tables and find their controls by id.
namespace DialogTemplate {

enum class Kind {
    Picture, // a static picture (bitmap resource named by `resource`)
    Icon,    // the program icon
    GroupBox,
    RadioFirst, // the first radio button of a group
    Radio,
    CheckBox,
    CheckBoxHidden, // created hidden and never shown
    Text,
    Edit,
    EditMasked, // password characters
    EtchedLine,
    DefaultButton,
    Button,
    ColourButton, // a button showing a colour, which it lets the user choose
    FileListView, // the file list view that takes dropped files
    UrlListView,
    LinkPicture, // a clickable picture (bitmap resource named by `resource`)
};

// An id for controls the dialog never addresses.
inline constexpr int kNoId = -1;

struct Rect {
    int x;
    int y;
    int width;
    int height;
    int bottom() const { return y + height; }
};

struct Control {
    int id;
    Kind kind;
    const char* text; // UTF-8; for list views the column header
    Rect rect;
    int resource = 0; // bitmap id for pictures
};

struct Dialog {
    const char* caption;
    int width;
    int height;
    const char* fontFamily;
    int fontPointSize;
    std::span<const Control> controls;

    // The control with this id, or nullptr.
    const Control* find(int id) const {
        for (const Control& control : controls)
            if (control.id == id && id != kNoId)
                return &control;
        return nullptr;
    }
};

} // namespace DialogTemplate
