#pragma once

#include <QAbstractButton>

class QVariantAnimation;

// The switch drawing of the settings page: a 36 × 20 capsule with a white knob, accent-filled when
// on. The knob slides in 0.12 s (at once under reduced motion).
namespace SettingsSwitchStyle {

inline constexpr QSize trackSize(36, 20);
inline constexpr qreal knobDiameter = 16;
inline constexpr qreal knobInset = 2;
inline constexpr qreal knobShadowOpacity = 0.16;
inline constexpr qreal pressedOpacity = 0.75;
inline constexpr qreal disabledOpacity = 0.45;
inline constexpr int animationMilliseconds = 120;
inline constexpr qreal focusRingRadius = 6;
inline constexpr qreal focusRingOutset = 4;
inline constexpr qreal focusRingWidth = 2;

// Track colours in a palette.
QColor trackColour(bool on, const QPalette& palette);
// Draws track and knob in bounds (trackSize); knobPosition runs from 0 (off, left) to 1 (on, right).
void paint(QPainter& painter, const QRectF& bounds, qreal knobPosition, const QPalette& palette);

} // namespace SettingsSwitchStyle

// A labelled on/off switch: the label on the left (and an optional secondary detail after it), the
// switch on the right. Space toggles; it takes focus only from the keyboard and then draws a ring
// of its own around the switch. To accessibility it is a checkable button named by its label; the
// detail and the drawing are not announced.
class SettingsSwitch : public QAbstractButton {
    Q_OBJECT

public:
    explicit SettingsSwitch(QWidget* parent = nullptr);

    // Drawn after the label in the secondary colour, one point smaller.
    QString detail() const { return m_detail; }
    void setDetail(const QString& detail);

    // Where the knob is drawn now: 0 off, 1 on, in between while it slides.
    qreal knobPosition() const { return m_knobPosition; }
    // The switch's rectangle inside the widget.
    QRect switchRect() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool hitButton(const QPoint& position) const override;

private:
    void followCheckedState(bool checked);

    QString m_detail;
    qreal m_knobPosition = 0;
    QVariantAnimation* m_animation = nullptr;
};
