#pragma once

#include "resources/DialogTemplate.h"
#include "resources/DialogUnits.h"

#include <QWidget>
#include <map>

// The controls of a dialog built from its template, found by id.
class DialogControls {
public:
    // Creates every control of `dialog` as a child of `parent`, placed by `units`.
    DialogControls(const DialogTemplate::Dialog& dialog, QWidget& parent, const DialogUnits& units);

    QWidget* widget(int id) const;
    template <class T> T* get(int id) const { return qobject_cast<T*>(widget(id)); }

    // The template's font for a dialog: its family with a sans-serif fallback, at its size.
    static QFont templateFont(const DialogTemplate::Dialog& dialog);
    // A bitmap resource by its number, or a null pixmap.
    static QPixmap bitmap(int resource);

private:
    std::map<int, QWidget*> m_widgets;
};
