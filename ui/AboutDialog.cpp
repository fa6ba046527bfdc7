#include "ui/AboutDialog.h"

#include "resources/AboutDialogTemplate.h"
#include "resources/AppTexts.h"
#include "resources/DialogUnits.h"
#include "ui/DialogControls.h"
#include "ui/HyperlinkLabel.h"

#include <QAbstractButton>
#include <QDesktopServices>
#include <QIcon>
#include <QLabel>

namespace A = AboutDialogTemplate;

AboutDialog::AboutDialog(Opener opener, QWidget* parent)
    : QDialog(parent), m_webAddress(QString::fromLatin1(AppTexts::kWebPage)),
      m_mailAddress(QString::fromLatin1(AppTexts::kMailAddress)), m_opener(std::move(opener)) {
    if (!m_opener)
        m_opener = [](const QUrl& url) { QDesktopServices::openUrl(url); };

    setWindowTitle(QString::fromUtf8(A::kDialog.caption));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    QIcon icon(QStringLiteral(":/tessaron/icon-16.png"));
    icon.addFile(QStringLiteral(":/tessaron/icon-32.png"));
    setWindowIcon(icon);
    setFont(DialogControls::templateFont(A::kDialog));
    const DialogUnits units = DialogUnits::forFont(font());
    m_controls = std::make_unique<DialogControls>(A::kDialog, *this, units);
    setFixedSize(units.x(A::kDialog.width), units.y(A::kDialog.height));

    m_controls->get<QLabel>(A::IdVersion)->setText(versionText());
    linkPicture()->setOpener([this](const QUrl& url) { m_opener(url); });

    connect(m_controls->get<QAbstractButton>(A::IdClose), &QAbstractButton::clicked, this,
            &QDialog::reject);
    connect(m_controls->get<QAbstractButton>(A::IdWww), &QAbstractButton::clicked, this,
            [this] { m_opener(m_webAddress); });
    connect(m_controls->get<QAbstractButton>(A::IdEmail), &QAbstractButton::clicked, this,
            [this] { m_opener(m_mailAddress); });
}

AboutDialog::~AboutDialog() = default;

QString AboutDialog::versionText() {
    // The version is kept in single precision; widened it reads 2.2999999523..., shown 2.300.
    const double version = AppTexts::kVersionNumber;
    return QString::asprintf(AppTexts::kVersionFormat, version) + u'\n' +
           QString::fromLatin1(AppTexts::kVersionSecondLine);
}

QWidget* AboutDialog::control(int id) const {
    return m_controls->widget(id);
}

HyperlinkLabel* AboutDialog::linkPicture() const {
    return m_controls->get<HyperlinkLabel>(A::IdLink);
}
