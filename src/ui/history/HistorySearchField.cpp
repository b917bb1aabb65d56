#include "ui/history/HistorySearchField.h"

#include "l10n/Localization.h"
#include "ui/common/HistoryAppearance.h"
#include "ui/common/Symbols.h"

#include <QAbstractButton>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int fieldHeight = 36;
constexpr int horizontalPadding = 12;
constexpr int spacing = 10;
constexpr int glassSize = 16;
constexpr int clearSize = 16;
constexpr qreal cornerRadius = 10;

// Just the symbol in the secondary colour: no fill, no focus, so it reads as part of the field.
class ClearButton : public QAbstractButton {
public:
    explicit ClearButton(QWidget* parent) : QAbstractButton(parent)
    {
        setFocusPolicy(Qt::NoFocus);
        setCursor(Qt::ArrowCursor);
        setFixedSize(clearSize, clearSize);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QColor colour = HistoryAppearance::secondary(this);
        if (isDown())
            colour = palette().color(QPalette::Active, QPalette::WindowText);
        QPainter painter(this);
        painter.drawPixmap(
            0, 0,
            Symbols::pixmap(QStringLiteral("xmark.circle.fill"), clearSize, devicePixelRatioF(), colour));
    }
};

} // namespace

HistorySearchField::HistorySearchField(QWidget* parent) : QWidget(parent)
{
    setFixedHeight(fieldHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setCursor(Qt::IBeamCursor);

    auto* layout = new QHBoxLayout(this);
    // The glass is painted, not a child, so accessibility never sees it.
    layout->setContentsMargins(horizontalPadding + glassSize + spacing, 0, horizontalPadding, 0);
    layout->setSpacing(spacing);

    m_input = new QLineEdit(this);
    m_input->setFrame(false);
    QFont font = m_input->font();
    font.setPointSizeF(13);
    m_input->setFont(font);
    m_input->installEventFilter(this);
    layout->addWidget(m_input, 1);
    setFocusProxy(m_input);

    m_clear = new ClearButton(this);
    m_clear->hide();
    layout->addWidget(m_clear, 0, Qt::AlignVCenter);

    connect(m_input, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_clear->setVisible(!text.isEmpty());
        Q_EMIT textChanged(text);
    });
    connect(m_clear, &QAbstractButton::clicked, this, [this] {
        clear();
        setFocusToInput();
    });
    connect(&AppLocalization::shared(), &AppLocalization::languageIdentifierChanged, this,
            &HistorySearchField::retranslate);

    updateColours();
    retranslate();
}

QString HistorySearchField::text() const
{
    return m_input->text();
}

void HistorySearchField::setText(const QString& text)
{
    if (m_input->text() == text)
        return;
    m_input->setText(text);
}

void HistorySearchField::setFocusToInput()
{
    m_input->setFocus(Qt::OtherFocusReason);
}

bool HistorySearchField::isInputFocused() const
{
    return m_input->hasFocus();
}

QSize HistorySearchField::sizeHint() const
{
    return {220, fieldHeight};
}

void HistorySearchField::clear()
{
    m_input->clear();
}

void HistorySearchField::retranslate()
{
    const QString placeholder = L10n::text(L10n::Key::searchPlaceholder);
    m_input->setPlaceholderText(placeholder);
    m_input->setAccessibleName(placeholder);
    m_clear->setToolTip(L10n::text(L10n::Key::clearSearch));
    m_clear->setAccessibleName(L10n::text(L10n::Key::clearSearch));
}

void HistorySearchField::updateColours()
{
    // Only these roles are set, so the text colour keeps following the theme.
    QPalette colours;
    colours.setColor(QPalette::Base, Qt::transparent);
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        colours.setColor(group, QPalette::PlaceholderText, HistoryAppearance::secondary(this));
    m_input->setPalette(colours);
}

void HistorySearchField::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        updateColours();
}

void HistorySearchField::mousePressEvent(QMouseEvent* event)
{
    // The padding around the input belongs to the field, so a click there starts typing too.
    setFocusToInput();
    QWidget::mousePressEvent(event);
}

bool HistorySearchField::eventFilter(QObject* watched, QEvent* event)
{
    const bool keyEvent = event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride;
    if (watched == m_input && keyEvent) {
        const auto* key = static_cast<QKeyEvent*>(event);
        // With nothing to clear, Escape goes on to the window; with text, it wins over any window
        // shortcut on Escape.
        if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier &&
            !m_input->text().isEmpty()) {
            event->accept();
            if (event->type() == QEvent::KeyPress)
                clear();
            return true;
        }
        if (key->key() == Qt::Key_Down && key->modifiers() == Qt::NoModifier &&
            event->type() == QEvent::KeyPress) {
            Q_EMIT downPressed();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void HistorySearchField::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath background;
    background.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    painter.fillPath(background, HistoryAppearance::card(this));
    painter.drawPixmap(horizontalPadding, (height() - glassSize) / 2,
                       Symbols::pixmap(QStringLiteral("magnifyingglass"), glassSize, devicePixelRatioF(),
                                       HistoryAppearance::secondary(this)));
}
