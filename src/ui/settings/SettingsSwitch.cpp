#include "ui/settings/SettingsSwitch.h"

#include "ui/common/AppTheme.h"
#include "ui/common/HistoryAppearance.h"
#include "ui/common/ReducedMotion.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QVariantAnimation>

namespace {

constexpr int controlHeight = 28;
constexpr int detailSpacing = 12;
constexpr int labelGap = 12;

} // namespace

namespace SettingsSwitchStyle {

QColor trackColour(bool on, const QPalette& palette)
{
    if (on)
        return palette.color(QPalette::Active, QPalette::Highlight);
    // The tertiary label colour: the text colour at a quarter strength.
    QColor tertiary = palette.color(QPalette::Active, QPalette::WindowText);
    tertiary.setAlphaF(AppThemes::isDark(palette) ? 0.25 : 0.26);
    return tertiary;
}

void paint(QPainter& painter, const QRectF& bounds, qreal knobPosition, const QPalette& palette)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const qreal radius = bounds.height() / 2;
    // The track blends from off to on as the knob moves, so a slide never jumps in colour.
    const QColor off = trackColour(false, palette);
    const QColor on = trackColour(true, palette);
    QPainterPath track;
    track.addRoundedRect(bounds, radius, radius);
    painter.fillPath(track, off);
    if (knobPosition > 0) {
        painter.save();
        painter.setOpacity(painter.opacity() * knobPosition);
        painter.fillPath(track, on);
        painter.restore();
    }
    const qreal travel = bounds.width() - 2 * knobInset - knobDiameter;
    const QRectF knob(bounds.left() + knobInset + travel * knobPosition, bounds.top() + knobInset,
                      knobDiameter, knobDiameter);
    painter.setBrush(QColor(0, 0, 0, qRound(255 * knobShadowOpacity)));
    painter.drawEllipse(knob.translated(0, 0.75).adjusted(-0.5, -0.5, 0.5, 0.5));
    painter.setBrush(Qt::white);
    painter.drawEllipse(knob);
    painter.restore();
}

} // namespace SettingsSwitchStyle

SettingsSwitch::SettingsSwitch(QWidget* parent) : QAbstractButton(parent)
{
    setCheckable(true);
    // A click leaves no ring behind; Tab reaches it.
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_animation = new QVariantAnimation(this);
    m_animation->setDuration(SettingsSwitchStyle::animationMilliseconds);
    m_animation->setEasingCurve(QEasingCurve::InOutQuad);
    connect(m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        m_knobPosition = value.toReal();
        update();
    });
    connect(this, &QAbstractButton::toggled, this, &SettingsSwitch::followCheckedState);
}

void SettingsSwitch::setDetail(const QString& detail)
{
    if (m_detail == detail)
        return;
    m_detail = detail;
    updateGeometry();
    update();
}

void SettingsSwitch::followCheckedState(bool checked)
{
    const qreal target = checked ? 1 : 0;
    m_animation->stop();
    if (ReducedMotion::shared().isReduced() || !isVisible()) {
        m_knobPosition = target;
        update();
        return;
    }
    m_animation->setStartValue(m_knobPosition);
    m_animation->setEndValue(target);
    m_animation->start();
}

QRect SettingsSwitch::switchRect() const
{
    const QSize track = SettingsSwitchStyle::trackSize;
    const int outset = int(SettingsSwitchStyle::focusRingOutset);
    return QRect(width() - outset - track.width(), (height() - track.height()) / 2, track.width(),
                 track.height());
}

QSize SettingsSwitch::sizeHint() const
{
    QFont detailFont = font();
    detailFont.setPointSizeF(font().pointSizeF() - 1);
    int labelWidth = fontMetrics().horizontalAdvance(text());
    if (!m_detail.isEmpty())
        labelWidth += detailSpacing + QFontMetrics(detailFont).horizontalAdvance(m_detail);
    return {labelWidth + labelGap + SettingsSwitchStyle::trackSize.width() +
                2 * int(SettingsSwitchStyle::focusRingOutset),
            std::max(controlHeight, fontMetrics().height())};
}

QSize SettingsSwitch::minimumSizeHint() const
{
    return {SettingsSwitchStyle::trackSize.width() + 2 * int(SettingsSwitchStyle::focusRingOutset),
            controlHeight};
}

bool SettingsSwitch::hitButton(const QPoint& position) const
{
    // The label toggles too, as a click on a toggle's label does.
    return rect().contains(position);
}

void SettingsSwitch::changeEvent(QEvent* event)
{
    QAbstractButton::changeEvent(event);
    if (event->type() == QEvent::EnabledChange || event->type() == QEvent::PaletteChange)
        update();
}

void SettingsSwitch::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled())
        painter.setOpacity(SettingsSwitchStyle::disabledOpacity);

    const QRect track = switchRect();
    const int labelRight = track.left() - labelGap;
    painter.setPen(palette().color(QPalette::Active, QPalette::WindowText));
    painter.setFont(font());
    const QString label = fontMetrics().elidedText(text(), Qt::ElideRight, std::max(0, labelRight));
    const QRect labelRect(0, 0, std::max(0, labelRight), height());
    painter.drawText(labelRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, label);
    if (!m_detail.isEmpty()) {
        QFont detailFont = font();
        detailFont.setPointSizeF(font().pointSizeF() - 1);
        detailFont.setWeight(QFont::Normal);
        const int x = fontMetrics().horizontalAdvance(label) + detailSpacing;
        painter.setFont(detailFont);
        painter.setPen(HistoryAppearance::secondary(this));
        painter.drawText(
            QRect(x, 0, std::max(0, labelRight - x), height()),
            Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
            QFontMetrics(detailFont).elidedText(m_detail, Qt::ElideRight, std::max(0, labelRight - x)));
    }

    if (hasFocus()) {
        const qreal outset = SettingsSwitchStyle::focusRingOutset;
        // Stroked inside the outset, so the ring's outer edge lies 4 outside the switch.
        const qreal half = SettingsSwitchStyle::focusRingWidth / 2;
        painter.setPen(QPen(HistoryAppearance::selected(this), SettingsSwitchStyle::focusRingWidth));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(
            QRectF(track).adjusted(-outset + half, -outset + half, outset - half, outset - half),
            SettingsSwitchStyle::focusRingRadius - half, SettingsSwitchStyle::focusRingRadius - half);
    }
    if (isDown())
        painter.setOpacity(painter.opacity() * SettingsSwitchStyle::pressedOpacity);
    SettingsSwitchStyle::paint(painter, QRectF(track), m_knobPosition, palette());
}
