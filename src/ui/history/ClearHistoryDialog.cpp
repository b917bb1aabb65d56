#include "ui/history/ClearHistoryDialog.h"

#include "l10n/Localization.h"
#include "ui/common/HistoryAppearance.h"
#include "ui/common/HistoryButton.h"
#include "ui/common/Symbols.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace {

constexpr int margin = 20;
constexpr int symbolSize = 32;
constexpr int textWidth = 300;
constexpr int buttonMinimumWidth = 96;

} // namespace

ClearHistoryDialog::ClearHistoryDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(18);
    // The texts wrap at a fixed width, so the dialog's size follows from them and cannot be dragged.
    layout->setSizeConstraint(QLayout::SetFixedSize);

    auto* message = new QHBoxLayout;
    message->setSpacing(16);
    m_symbol = new QLabel(this);
    m_symbol->setFixedSize(symbolSize, symbolSize);
    message->addWidget(m_symbol, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(6);
    m_question = new QLabel(this);
    QFont questionFont = font();
    questionFont.setPointSizeF(13);
    questionFont.setWeight(QFont::DemiBold);
    m_question->setFont(questionFont);
    m_explanation = new QLabel(this);
    for (QLabel* label : {m_question, m_explanation}) {
        label->setWordWrap(true);
        label->setFixedWidth(textWidth);
        label->setTextInteractionFlags(Qt::NoTextInteraction);
        texts->addWidget(label);
    }
    message->addLayout(texts);
    layout->addLayout(message);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    buttons->addStretch(1);
    m_cancel = new HistoryButton(HistoryButtonStyle::Kind::secondary, this);
    m_clear = new HistoryButton(HistoryButtonStyle::Kind::destructive, this);
    for (HistoryButton* button : {m_cancel, m_clear}) {
        button->setMinimumWidth(buttonMinimumWidth);
        button->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
        buttons->addWidget(button);
    }
    layout->addLayout(buttons);
    connect(m_cancel, &HistoryButton::clicked, this, &QDialog::reject);
    connect(m_clear, &HistoryButton::clicked, this, &QDialog::accept);
    connect(&AppLocalization::shared(), &AppLocalization::languageIdentifierChanged, this,
            &ClearHistoryDialog::retranslate);

    retranslate();
    updateColours();
}

void ClearHistoryDialog::retranslate()
{
    // The question belongs in the dialog; the title bar only names the action, so it is never cut.
    setWindowTitle(L10n::text(L10n::Key::clearHistory));
    m_question->setText(L10n::text(L10n::Key::clearConfirmation));
    m_explanation->setText(L10n::text(L10n::Key::clearExplanation));
    m_cancel->setText(L10n::text(L10n::Key::cancel));
    m_clear->setText(L10n::text(L10n::Key::clearHistory));
    setAccessibleName(m_question->text());
    setAccessibleDescription(m_explanation->text());
}

void ClearHistoryDialog::updateColours()
{
    m_symbol->setPixmap(Symbols::pixmap(QStringLiteral("trash"), symbolSize, devicePixelRatioF(),
                                        HistoryAppearance::destructive(this)));
    QPalette secondary;
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        secondary.setColor(group, QPalette::WindowText, HistoryAppearance::secondary(this));
    m_explanation->setPalette(secondary);
}

void ClearHistoryDialog::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        updateColours();
}

void ClearHistoryDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    m_cancel->setFocus(Qt::TabFocusReason);
}

void ClearHistoryDialog::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), HistoryAppearance::windowBackground(this));
}
