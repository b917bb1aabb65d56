#include "ui/guide/AccessibilityGuideView.h"

#include "l10n/Localization.h"
#include "ui/common/AppTheme.h"
#include "ui/common/HistoryAppearance.h"
#include "ui/common/HistoryButton.h"
#include "ui/guide/GuideIllustration.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QVBoxLayout>

using namespace std::chrono_literals;

namespace {

constexpr qreal cornerRadius = 16;
constexpr int padding = 24;
constexpr int scrollInset = 10;

QLabel* stepText(QWidget* parent)
{
    auto* text = new QLabel(parent);
    text->setWordWrap(true);
    text->setTextFormat(Qt::PlainText);
    return text;
}

QColor systemRed(const QPalette& palette)
{
    return AppThemes::isDark(palette) ? QColor(0xFF, 0x45, 0x3A) : QColor(0xFF, 0x3B, 0x30);
}

} // namespace

AccessibilityGuideView::AccessibilityGuideView(std::function<bool()> isTrusted, QWidget* parent,
                                               std::unique_ptr<DelayTimer> permissionWatch)
    : QWidget(parent), m_isTrusted(std::move(isTrusted)),
      m_watch(permissionWatch ? std::move(permissionWatch) : std::make_unique<QtDelayTimer>())
{
    QFont base = font();
    base.setPointSizeF(13);
    setFont(base);

    auto* outer = new QVBoxLayout(this);
    // The scroll bar stays clear of the rounded corners; the column's padding makes up the rest.
    outer->setContentsMargins(0, scrollInset, 2, scrollInset);
    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->viewport()->setAutoFillBackground(false);
    outer->addWidget(scroll);

    auto* content = new QWidget;
    content->setAutoFillBackground(false);
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(padding, padding - scrollInset, padding - 2, padding - scrollInset);
    column->setSpacing(22);

    auto* header = new QHBoxLayout;
    m_title = new QLabel(content);
    QFont titleFont = base;
    titleFont.setPointSizeF(20);
    titleFont.setWeight(QFont::Medium);
    m_title->setFont(titleFont);
    m_title->setWordWrap(true);
    header->addWidget(m_title, 1);
    m_close = new HistoryButton(HistoryButtonStyle::Kind::icon, content);
    m_close->setSymbol(QStringLiteral("xmark"));
    m_close->setSymbolSize(14);
    header->addWidget(m_close, 0, Qt::AlignTop);
    column->addLayout(header);
    connect(m_close, &HistoryButton::clicked, this, [this] {
        if (onDismiss)
            onDismiss();
    });

    auto* steps = new QVBoxLayout;
    steps->setSpacing(40);
    auto addStep = [&](QLabel*& text, GuideIllustration*& picture, GuideIllustration::Kind kind) {
        auto* step = new QVBoxLayout;
        step->setSpacing(12);
        text = stepText(content);
        step->addWidget(text);
        picture = new GuideIllustration(kind, content);
        step->addWidget(picture);
        steps->addLayout(step);
        return step;
    };
    QVBoxLayout* first = addStep(m_enable, m_terminal, GuideIllustration::Kind::extensionCheck);
    m_authorize = new HistoryButton(HistoryButtonStyle::Kind::primary, content);
    m_authorize->setObjectName(QStringLiteral("accessibility-guide-authorize"));
    QFont small = base;
    small.setPointSizeF(12);
    m_authorize->setFont(small);
    first->addWidget(m_authorize, 0, Qt::AlignLeft);
    connect(m_authorize, &HistoryButton::clicked, this, &AccessibilityGuideView::authorize);
    m_openError = new QLabel(content);
    m_openError->setObjectName(QStringLiteral("accessibility-guide-open-error"));
    m_openError->setFont(small);
    m_openError->setWordWrap(true);
    m_openError->setTextFormat(Qt::PlainText);
    m_openError->hide();
    first->addWidget(m_openError);
    addStep(m_add, m_session, GuideIllustration::Kind::session);
    addStep(m_settings, m_settingsPicture, GuideIllustration::Kind::settings);
    column->addLayout(steps);
    column->addStretch(1);
    scroll->setWidget(content);

    connect(&AppLocalization::shared(), &AppLocalization::appLanguageDidChange, this,
            &AccessibilityGuideView::retranslate);
    retranslate();
}

QList<GuideIllustration*> AccessibilityGuideView::illustrations() const
{
    return {m_terminal, m_session, m_settingsPicture};
}

void AccessibilityGuideView::retranslate()
{
    using L10n::Key;
    m_title->setText(L10n::text(Key::accessibilityGuideTitle));
    m_close->setAccessibleName(L10n::text(Key::close));
    m_close->setToolTip(L10n::text(Key::close));
    m_enable->setText(L10n::text(Key::accessibilityGuideEnable));
    m_add->setText(L10n::text(Key::accessibilityGuideAdd));
    m_settings->setText(L10n::text(Key::accessibilityGuideSettings));
    m_authorize->setText(L10n::text(Key::grantAccess));
    m_openError->setText(L10n::text(Key::accessibilityGuideOpenFailed));
    m_terminal->setAccessibleName(L10n::text(Key::accessibilityGuideSwitchDescription));
    // The pictures carry words of the interface language.
    for (GuideIllustration* picture : illustrations())
        picture->update();
}

void AccessibilityGuideView::authorize()
{
    const bool opened = onAuthorize && onAuthorize();
    if (opened)
        return;
    m_openFailed = true;
    QPalette palette = m_openError->palette();
    palette.setColor(QPalette::WindowText, systemRed(this->palette()));
    m_openError->setPalette(palette);
    m_openError->show();
}

void AccessibilityGuideView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_watching && !m_watchEnded) {
        m_watching = true;
        checkPermission();
    }
}

void AccessibilityGuideView::checkPermission()
{
    if (m_watchEnded)
        return;
    if (m_isTrusted && m_isTrusted()) {
        // Settled before the callback, which may close and drop the whole window.
        stopWatching();
        if (onAuthorized)
            onAuthorized();
        return;
    }
    m_watch->start(1s, [this] { checkPermission(); });
}

void AccessibilityGuideView::stopWatching()
{
    m_watchEnded = true;
    m_watch->cancel();
}

void AccessibilityGuideView::keyPressEvent(QKeyEvent* event)
{
    // Ctrl+W closes it as it closes any other window.
    if (event->matches(QKeySequence::Close)) {
        if (onDismiss)
            onDismiss();
        return;
    }
    switch (event->key()) {
    case Qt::Key_Escape:
        if (onDismiss)
            onDismiss();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Granting access is the window's default action.
        m_authorize->click();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void AccessibilityGuideView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor background = HistoryAppearance::windowBackground(this);
    QColor edge = palette().color(QPalette::WindowText);
    edge.setAlphaF(0.16f);
    painter.setPen(QPen(edge, 1));
    painter.setBrush(background);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius, cornerRadius);
}
