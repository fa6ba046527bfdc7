#include "ui/DialogControls.h"

#include "resources/AppTexts.h"
#include "ui/ColourButton.h"
#include "ui/FileDropList.h"
#include "ui/HyperlinkLabel.h"

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QUrl>

namespace {

QWidget* createControl(const DialogTemplate::Control& control, QWidget& parent) {
    using K = DialogTemplate::Kind;
    const QString text = QString::fromUtf8(control.text);
    switch (control.kind) {
    case K::Picture: {
        auto* label = new QLabel(&parent);
        label->setPixmap(DialogControls::bitmap(control.resource));
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return label;
    }
    case K::Icon: {
        auto* label = new QLabel(&parent);
        label->setPixmap(QIcon(QStringLiteral(":/tessaron/icon-32.png")).pixmap(32, 32));
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return label;
    }
    case K::GroupBox:
        return new QGroupBox(text, &parent);
    case K::RadioFirst:
    case K::Radio:
        return new QRadioButton(text, &parent);
    case K::CheckBox:
        return new QCheckBox(text, &parent);
    case K::CheckBoxHidden: {
        auto* box = new QCheckBox(text, &parent);
        box->setVisible(false);
        return box;
    }
    case K::Text: {
        auto* label = new QLabel(text, &parent);
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return label;
    }
    case K::Edit:
        return new QLineEdit(&parent);
    case K::EditMasked: {
        auto* edit = new QLineEdit(&parent);
        edit->setEchoMode(QLineEdit::Password);
        return edit;
    }
    case K::EtchedLine: {
        auto* line = new QFrame(&parent);
        line->setFrameShape(QFrame::HLine);
        line->setFrameShadow(QFrame::Sunken);
        return line;
    }
    case K::DefaultButton: {
        auto* button = new QPushButton(text, &parent);
        button->setDefault(true);
        return button;
    }
    case K::Button: {
        auto* button = new QPushButton(text, &parent);
        button->setAutoDefault(false);
        return button;
    }
    case K::ColourButton:
        return new ColourButton(text, &parent);
    case K::FileListView:
        return new FileDropList(text, true, &parent);
    case K::UrlListView:
        return new FileDropList(text, false, &parent);
    case K::LinkPicture:
        return new HyperlinkLabel(DialogControls::bitmap(control.resource),
                                  QUrl(QString::fromLatin1(AppTexts::kMakerSite)), &parent);
    }
    return nullptr;
}

} // namespace

DialogControls::DialogControls(const DialogTemplate::Dialog& dialog, QWidget& parent,
                               const DialogUnits& units) {
    for (const DialogTemplate::Control& control : dialog.controls) {
        QWidget* widget = createControl(control, parent);
        if (!widget)
            continue;
        widget->setGeometry(units.toPixels(control.rect));
        if (control.id != DialogTemplate::kNoId)
            m_widgets[control.id] = widget;
    }
}

QWidget* DialogControls::widget(int id) const {
    const auto it = m_widgets.find(id);
    return it == m_widgets.end() ? nullptr : it->second;
}

QFont DialogControls::templateFont(const DialogTemplate::Dialog& dialog) {
    QFont font(QString::fromLatin1(dialog.fontFamily), dialog.fontPointSize);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

QPixmap DialogControls::bitmap(int resource) {
    return QPixmap(QStringLiteral(":/tessaron/bitmap-%1.png").arg(resource));
}
