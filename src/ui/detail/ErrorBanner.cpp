#include "ui/detail/ErrorBanner.h"

#include "l10n/Localization.h"
#include "ui/common/HistoryButton.h"
#include "ui/common/Symbols.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>

namespace {
const QColor orange(0xF0, 0x8C, 0x00);
}

ErrorBanner::ErrorBanner(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(14, 14, 14, 14);
    layout->setSpacing(10);

    m_symbol = new QLabel(this);
    m_symbol->setFixedSize(18, 18);
    layout->addWidget(m_symbol, 0, Qt::AlignTop);

    m_text = new QLabel(this);
    QFont font = m_text->font();
    font.setPointSizeF(13);
    m_text->setFont(font);
    m_text->setWordWrap(true);
    m_text->setTextFormat(Qt::PlainText);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    layout->addWidget(m_text, 1, Qt::AlignTop);

    m_dismiss = new HistoryButton(HistoryButtonStyle::Kind::icon, this);
    m_dismiss->setSymbol(QStringLiteral("xmark"));
    m_dismiss->setSymbolSize(12);
    layout->addWidget(m_dismiss, 0, Qt::AlignTop);
    connect(m_dismiss, &HistoryButton::clicked, this, &ErrorBanner::dismissed);

    updateSymbol();
    retranslate();
}

void ErrorBanner::setText(const QString& text)
{
    m_text->setText(text);
}

QString ErrorBanner::text() const
{
    return m_text->text();
}

void ErrorBanner::retranslate()
{
    m_dismiss->setToolTip(L10n::text(L10n::Key::dismissError));
    m_dismiss->setAccessibleName(L10n::text(L10n::Key::dismissError));
}

void ErrorBanner::updateSymbol()
{
    m_symbol->setPixmap(
        Symbols::pixmap(QStringLiteral("exclamationmark.triangle"), 18, devicePixelRatioF(), orange));
}
