#include "ui/guide/GuideIllustration.h"

#include "l10n/Localization.h"
#include "ui/common/AppTheme.h"
#include "ui/common/HistoryAppearance.h"
#include "ui/common/Symbols.h"

#include <QPainter>
#include <QPainterPath>

using HistoryAppearance::Colour;

namespace {

// Every picture is laid out on a canvas this wide and scaled to the column.
constexpr qreal canvasWidth = 1446;
constexpr qreal frameRadius = 22;
constexpr qreal ringMargin = 4;
constexpr qreal ringRadius = 5;
constexpr qreal ringWidth = 2.5;
constexpr qreal extensionCheckHeight = 424;

// What the rings frame, on the canvas: xdpyinfo's two lines, the session button, the gear.
const QRectF extensionListRect(100, 158, 560, 128);
const QRectF sessionButtonRect(484, 149, 52, 52);
const QRectF settingsButtonRect(676, 25, 52, 52);

struct Colours {
    bool dark;
    QColor window, sidebar, card, text, secondary, faint, accent, selected, trackOff;
};

Colours coloursFor(const QPalette& palette)
{
    const bool dark = AppThemes::isDark(palette);
    QColor text = palette.color(QPalette::WindowText);
    QColor faint = text;
    faint.setAlphaF(dark ? 0.18f : 0.12f);
    QColor trackOff = text;
    trackOff.setAlphaF(dark ? 0.28f : 0.2f);
    return {dark,
            HistoryAppearance::resolve(Colour::windowBackground, palette),
            HistoryAppearance::resolve(Colour::sidebar, palette),
            HistoryAppearance::resolve(Colour::card, palette),
            text,
            HistoryAppearance::resolve(Colour::secondary, palette),
            faint,
            HistoryAppearance::resolve(Colour::blue, palette),
            HistoryAppearance::resolve(Colour::selected, palette),
            trackOff};
}

QColor systemRed(bool dark)
{
    return dark ? QColor(0xFF, 0x45, 0x3A) : QColor(0xFF, 0x3B, 0x30);
}

QFont canvasFont(const QFont& base, qreal pixels, QFont::Weight weight = QFont::Normal)
{
    QFont font = base;
    font.setPixelSize(int(pixels));
    font.setWeight(weight);
    return font;
}

// A line of text stood in for by a rounded bar.
void textBar(QPainter& painter, const QRectF& rect, const QColor& colour)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawRoundedRect(rect, rect.height() / 2, rect.height() / 2);
}

void drawSwitch(QPainter& painter, const QRectF& track, qreal on, const Colours& colours)
{
    QColor fill;
    fill.setRgbF(colours.trackOff.redF() + (colours.accent.redF() - colours.trackOff.redF()) * on,
                 colours.trackOff.greenF() + (colours.accent.greenF() - colours.trackOff.greenF()) * on,
                 colours.trackOff.blueF() + (colours.accent.blueF() - colours.trackOff.blueF()) * on,
                 colours.trackOff.alphaF() + (1 - colours.trackOff.alphaF()) * on);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    const qreal radius = track.height() / 2;
    painter.drawRoundedRect(track, radius, radius);
    const qreal inset = track.height() * 0.1;
    const qreal knob = track.height() - 2 * inset;
    const qreal x = track.left() + inset + (track.width() - knob - 2 * inset) * on;
    painter.setBrush(QColor(0, 0, 0, 40));
    painter.drawEllipse(QRectF(x, track.top() + inset + 2, knob, knob));
    painter.setBrush(Qt::white);
    painter.drawEllipse(QRectF(x, track.top() + inset, knob, knob));
}

void label(QPainter& painter, const QRectF& rect, const QString& text, const QFont& font,
           const QColor& colour, Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter)
{
    painter.setFont(font);
    painter.setPen(colour);
    painter.drawText(rect, alignment | Qt::TextSingleLine, text);
}

// A terminal: xdpyinfo's extensions filtered for the two quick paste needs, and a fresh prompt.
void paintExtensionCheck(QPainter& painter, const QSizeF& size, const Colours& colours, const QFont& base)
{
    painter.fillRect(QRectF(QPointF(0, 0), size), colours.window);
    // Title bar: the terminal's symbol, ">_".
    painter.fillRect(QRectF(0, 0, size.width(), 70), colours.sidebar);
    painter.fillRect(QRectF(0, 69, size.width(), 1.5), colours.faint);
    QFont mono = canvasFont(base, 44);
    mono.setFamily(QStringLiteral("monospace"));
    mono.setStyleHint(QFont::TypeWriter);
    label(painter, QRectF(0, 0, size.width(), 70), QStringLiteral(">_"), canvasFont(mono, 30, QFont::Bold),
          colours.secondary, Qt::AlignCenter);
    // One line every 64, the ring around the second and third.
    const qreal left = 40;
    const qreal lineHeight = extensionListRect.height() / 2;
    const auto line = [&](int index) {
        return QRectF(left, extensionListRect.top() + (index - 1) * lineHeight, 1360, lineHeight);
    };
    const QFontMetricsF metrics(mono);
    const qreal prompt = metrics.horizontalAdvance(QStringLiteral("$ "));
    for (const int index : {0, 3})
        label(painter, line(index), QStringLiteral("$"), mono, colours.accent);
    label(painter, line(0).adjusted(prompt, 0, 0, 0),
          QStringLiteral("xdpyinfo | grep -E 'XTEST|XInputExtension'"), mono, colours.text);
    const qreal indent = extensionListRect.left() + 16 - left;
    label(painter, line(1).adjusted(indent, 0, 0, 0), QStringLiteral("XInputExtension"), mono, colours.text);
    label(painter, line(2).adjusted(indent, 0, 0, 0), QStringLiteral("XTEST"), mono, colours.text);
    // The cursor after the last prompt.
    const QRectF last = line(3);
    painter.fillRect(QRectF(last.left() + prompt, last.center().y() - 24, metrics.averageCharWidth(), 48),
                     colours.secondary);
}

// The login screen: the user, the password field, the session button and its open menu with X11 chosen.
void paintSession(QPainter& painter, const QSizeF& size, const Colours& colours, const QFont& base)
{
    QLinearGradient backdrop(0, 0, size.width(), size.height());
    backdrop.setColorAt(0, colours.dark ? QColor(0x1F, 0x2A, 0x44) : QColor(0x3B, 0x5B, 0x8C));
    backdrop.setColorAt(1, colours.dark ? QColor(0x2B, 0x1E, 0x3A) : QColor(0x6E, 0x4F, 0x8E));
    painter.fillRect(QRectF(QPointF(0, 0), size), backdrop);
    const QColor glass(255, 255, 255, 46);
    const QColor glassText(255, 255, 255, 220);
    // The user.
    painter.setPen(Qt::NoPen);
    painter.setBrush(glass);
    painter.drawEllipse(QRectF(96, 40, 96, 96));
    painter.setBrush(glassText);
    painter.drawEllipse(QRectF(126, 58, 36, 36));
    painter.drawChord(QRectF(112, 98, 64, 64), 0, 180 * 16);
    textBar(painter, QRectF(224, 70, 180, 24), glassText);
    // The password field and the session button beside it.
    painter.setBrush(glass);
    painter.drawRoundedRect(QRectF(96, 149, 372, 52), 26, 26);
    for (int dot = 0; dot < 8; ++dot)
        painter.drawEllipse(QRectF(126 + dot * 28, 168, 14, 14));
    painter.setBrush(glassText);
    for (int dot = 0; dot < 8; ++dot)
        painter.drawEllipse(QRectF(126 + dot * 28, 168, 14, 14));
    painter.setBrush(glass);
    painter.drawEllipse(sessionButtonRect);
    painter.drawPixmap(
        sessionButtonRect.adjusted(12, 12, -12, -12).toRect(),
        Symbols::pixmap(QStringLiteral("gearshape"), 28, painter.device()->devicePixelRatioF(), Qt::white));
    // The session menu, X11 chosen.
    const QRectF menu(560, 20, 360, 184);
    painter.setBrush(colours.dark ? QColor(0x2C, 0x2C, 0x2E) : QColor(0xF6, 0xF6, 0xF6));
    painter.setPen(QPen(QColor(0, 0, 0, 60), 1.5));
    painter.drawRoundedRect(menu, 16, 16);
    const QFont entry = canvasFont(base, 32);
    const QColor menuText = colours.dark ? QColor(0xEE, 0xEE, 0xEE) : QColor(0x1D, 0x1D, 0x1F);
    label(painter, QRectF(menu.left() + 70, menu.top() + 14, 260, 72), QStringLiteral("Wayland"), entry,
          menuText);
    const QRectF chosen(menu.left() + 12, menu.top() + 96, menu.width() - 24, 72);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colours.accent);
    painter.drawRoundedRect(chosen, 12, 12);
    painter.drawPixmap(
        QRectF(chosen.left() + 14, chosen.center().y() - 15, 30, 30).toRect(),
        Symbols::pixmap(QStringLiteral("checkmark"), 30, painter.device()->devicePixelRatioF(), Qt::white));
    label(painter, chosen.adjusted(58, 0, 0, 0), QStringLiteral("X11"), canvasFont(base, 32, QFont::DemiBold),
          Qt::white);
    // The clock of the login screen, far right.
    label(painter, QRectF(size.width() - 300, 0, 260, 110), QStringLiteral("09:41"),
          canvasFont(base, 56, QFont::Light), glassText, Qt::AlignRight | Qt::AlignVCenter);
}

// Clipwell's history window with its settings button, beside the settings card with quick paste on.
void paintSettings(QPainter& painter, const QSizeF& size, const Colours& colours, const QFont& base)
{
    painter.fillRect(QRectF(QPointF(0, 0), size), colours.window);
    const qreal sidebarWidth = 760;
    painter.fillRect(QRectF(0, 0, sidebarWidth, size.height()), colours.sidebar);
    painter.fillRect(QRectF(sidebarWidth, 0, 1.5, size.height()), colours.faint);
    // Header: the name, then the pause and settings buttons.
    label(painter, QRectF(40, 25, 400, 52), QStringLiteral("Clipwell"), canvasFont(base, 34, QFont::DemiBold),
          colours.text);
    const qreal ratio = painter.device()->devicePixelRatioF();
    painter.drawPixmap(QRectF(612, 37, 28, 28).toRect(),
                       Symbols::pixmap(QStringLiteral("pause.circle"), 28, ratio, colours.secondary));
    painter.setPen(Qt::NoPen);
    painter.setBrush(colours.faint);
    painter.drawRoundedRect(settingsButtonRect, 12, 12);
    painter.drawPixmap(settingsButtonRect.adjusted(11, 11, -11, -11).toRect(),
                       Symbols::pixmap(QStringLiteral("gearshape"), 30, ratio, colours.text));
    // The search field and the first rows.
    painter.setBrush(colours.faint);
    painter.drawRoundedRect(QRectF(40, 104, 680, 48), 12, 12);
    textBar(painter, QRectF(96, 120, 160, 16), colours.faint);
    for (int row = 0; row < 2; ++row) {
        const qreal top = 172 + row * 64;
        painter.setBrush(row == 0 ? colours.selected : colours.card);
        painter.drawRoundedRect(QRectF(32, top, 696, 56), 12, 12);
        textBar(painter, QRectF(60, top + 20, 360 - row * 80, 16), colours.secondary);
    }
    // The settings card it opens: quick paste, its shortcut and the switch, on.
    const QRectF card(820, 60, size.width() - 820 - 40, 150);
    painter.setPen(QPen(colours.faint, 1.5));
    painter.setBrush(colours.card);
    painter.drawRoundedRect(card, 24, 24);
    const QFont name = canvasFont(base, 34, QFont::DemiBold);
    const QString quickPaste = L10n::text(L10n::Key::quickPaste);
    label(painter, QRectF(card.left() + 36, card.top() + 22, 360, 56), quickPaste, name, colours.text);
    const qreal nameWidth = QFontMetricsF(name).horizontalAdvance(quickPaste);
    label(painter, QRectF(card.left() + 36 + nameWidth + 24, card.top() + 22, 200, 56),
          QStringLiteral("⇧ Super V"), canvasFont(base, 28), colours.secondary);
    drawSwitch(painter, QRectF(card.right() - 36 - 100, card.top() + 30, 100, 56), 1, colours);
    textBar(painter, QRectF(card.left() + 36, card.top() + 102, card.width() - 180, 16), colours.faint);
}

// A window's shape: rounded at the top only.
QPainterPath topRounded(const QRectF& bounds, qreal radius)
{
    QPainterPath frame;
    frame.moveTo(bounds.bottomLeft());
    frame.lineTo(bounds.left(), bounds.top() + radius);
    frame.arcTo(QRectF(bounds.left(), bounds.top(), 2 * radius, 2 * radius), 180, -90);
    frame.lineTo(bounds.right() - radius, bounds.top());
    frame.arcTo(QRectF(bounds.right() - 2 * radius, bounds.top(), 2 * radius, 2 * radius), 90, -90);
    frame.lineTo(bounds.bottomRight());
    frame.closeSubpath();
    return frame;
}

} // namespace

GuideIllustration::Screenshot GuideIllustration::screenshot(Kind kind)
{
    switch (kind) {
    case Kind::extensionCheck:
        return {canvasWidth / extensionCheckHeight,
                QRectF(extensionListRect.x() / canvasWidth, extensionListRect.y() / extensionCheckHeight,
                       extensionListRect.width() / canvasWidth,
                       extensionListRect.height() / extensionCheckHeight)};
    case Kind::session:
        return {1446.0 / 220.0, QRectF(0.334716, 0.677273, 0.035961, 0.236364)};
    case Kind::settings:
        return {1446.0 / 250.0, QRectF(0.467497, 0.100000, 0.035961, 0.208000)};
    }
    Q_UNREACHABLE();
}

GuideIllustration::GuideIllustration(Kind kind, QWidget* parent) : QWidget(parent), m_kind(kind)
{
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    setMinimumWidth(200);
}

QSizeF GuideIllustration::canvasSize() const
{
    return {canvasWidth, canvasWidth / screenshot(m_kind).aspectRatio};
}

QRectF GuideIllustration::canvasControl() const
{
    switch (m_kind) {
    case Kind::extensionCheck:
        return extensionListRect;
    case Kind::session:
        return sessionButtonRect;
    case Kind::settings:
        return settingsButtonRect;
    }
    Q_UNREACHABLE();
}

QRectF GuideIllustration::highlightRect() const
{
    const QRectF unit = screenshot(m_kind).highlight;
    return {unit.x() * width(), unit.y() * height(), unit.width() * width(), unit.height() * height()};
}

QRectF GuideIllustration::controlRect() const
{
    const QSizeF canvas = canvasSize();
    const QRectF control = canvasControl();
    const qreal sx = width() / canvas.width();
    const qreal sy = height() / canvas.height();
    return {control.x() * sx, control.y() * sy, control.width() * sx, control.height() * sy};
}

int GuideIllustration::heightForWidth(int width) const
{
    return qRound(width / screenshot(m_kind).aspectRatio);
}

QSize GuideIllustration::sizeHint() const
{
    return {512, heightForWidth(512)};
}

void GuideIllustration::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const Colours colours = coloursFor(palette());
    const QRectF bounds = rect();
    const qreal scale = bounds.width() / canvasWidth;
    const qreal radius = std::min(frameRadius * scale * 2, 10.0);

    const QPainterPath frame = topRounded(bounds, radius);
    painter.save();
    painter.setClipPath(frame);
    painter.scale(scale, height() / canvasSize().height());
    switch (m_kind) {
    case Kind::extensionCheck:
        paintExtensionCheck(painter, canvasSize(), colours, font());
        break;
    case Kind::session:
        paintSession(painter, canvasSize(), colours, font());
        break;
    case Kind::settings:
        paintSettings(painter, canvasSize(), colours, font());
        break;
    }
    painter.restore();

    QColor border = colours.dark ? QColor(Qt::white) : QColor(Qt::black);
    border.setAlphaF(colours.dark ? 0.16f : 0.12f);
    painter.setPen(QPen(border, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(topRounded(bounds.adjusted(0.5, 0.5, -0.5, 0), radius));

    painter.setPen(QPen(systemRed(colours.dark), ringWidth));
    const QRectF ring = highlightRect().adjusted(-ringMargin, -ringMargin, ringMargin, ringMargin);
    painter.drawRoundedRect(ring, ringRadius, ringRadius);
}
