// Every button kind in every state and every symbol, in light and dark, for a person to look at.
// With a folder argument it writes appearance-light.png and appearance-dark.png there and quits;
// without one it shows them.

#include "ui/common/AppTheme.h"
#include "ui/common/ClipboardKindIcon.h"
#include "ui/common/HistoryAppearance.h"
#include "ui/common/HistoryButton.h"
#include "ui/common/StatusBarIcon.h"
#include "ui/common/Symbols.h"

#include <QApplication>
#include <QDir>
#include <QHoverEvent>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QTest>
#include <QVBoxLayout>

namespace {

using Kind = HistoryButtonStyle::Kind;

struct KindSample {
    Kind kind;
    const char* name;
    const char* text;
    const char* symbol;
    int symbolSize;
};

const KindSample samples[] = {
    {Kind::icon, "icon", "", "gearshape", 16},
    {Kind::icon, "icon", "", "trash", 16},
    {Kind::action, "action", "Copy again", "StatusBarIcon", 24},
    {Kind::secondary, "secondary", "Open Settings", "", 0},
    {Kind::primary, "primary", "Grant Access", "", 0},
};

const char* const states[] = {"normal", "hovered", "pressed", "focused", "disabled"};

QPixmap buttonIn(const KindSample& sample, const QString& state, QWidget& host)
{
    auto* button = new HistoryButton(sample.kind, QString::fromUtf8(sample.text), &host);
    if (sample.symbolSize > 0) {
        button->setSymbol(QString::fromLatin1(sample.symbol));
        button->setSymbolSize(sample.symbolSize);
    }
    if (sample.kind == Kind::action) {
        QFont font = button->font();
        font.setPointSizeF(font.pointSizeF() * 15.0 / 13.0);
        button->setFont(font);
    }
    button->resize(button->sizeHint());
    // Away from the pointer's resting place, so only the hovered sample is hovered.
    button->move(120, 80);
    button->show();
    if (state == QLatin1String("hovered")) {
        const QPointF centre = button->rect().center();
        QHoverEvent enter(QEvent::HoverEnter, centre, button->mapToGlobal(centre), QPointF(-1, -1));
        QApplication::sendEvent(button, &enter);
    } else if (state == QLatin1String("pressed")) {
        button->setDown(true);
    } else if (state == QLatin1String("focused")) {
        button->setFocus(Qt::TabFocusReason);
    } else if (state == QLatin1String("disabled")) {
        button->setEnabled(false);
    }
    const QPixmap image = button->grab();
    delete button;
    return image;
}

QImage sheet(AppTheme theme)
{
    AppThemes::apply(theme);
    QWidget host;
    host.resize(480, 240);
    host.show();
    QApplication::setActiveWindow(&host);
    (void)QTest::qWaitForWindowActive(&host, 1000);

    const QPalette palette = host.palette();
    const qreal ratio = host.devicePixelRatioF();
    const int columnWidth = 176;
    const int left = 110;
    const int rowHeight = 56;
    const int symbolsTop = 40 + rowHeight * int(std::size(samples)) + 30;
    const QStringList names = Symbols::names();
    const int symbolRows = 4; // 16, 24, 32 and the kind icons
    // The tray symbol, running and paused, on panels from white to black, below the rest.
    const int trayHeight = 64;
    const QSize size(left + columnWidth * int(std::size(states)),
                     symbolsTop + symbolRows * 64 + 50 + trayHeight);
    const int perSymbol = std::max(64, (size.width() - left) / std::max<int>(1, int(names.size())));
    const QSize canvas(std::max(size.width(), left + perSymbol * int(names.size()) + 10), size.height());

    QImage image(canvas * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(palette.color(QPalette::Window));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor label = palette.color(QPalette::WindowText);
    const QColor secondary = HistoryAppearance::resolve(HistoryAppearance::Colour::secondary, palette);
    painter.setPen(label);
    painter.drawText(QPoint(12, 22), QStringLiteral("Theme: %1").arg(AppThemes::rawValue(theme)));

    for (int column = 0; column < int(std::size(states)); ++column) {
        painter.setPen(secondary);
        painter.drawText(QRect(left + column * columnWidth, 30, columnWidth, 16), Qt::AlignHCenter,
                         QString::fromLatin1(states[column]));
    }
    for (int row = 0; row < int(std::size(samples)); ++row) {
        const int top = 50 + row * rowHeight;
        painter.setPen(label);
        painter.drawText(QRect(12, top, left - 12, 42), Qt::AlignVCenter,
                         QString::fromLatin1(samples[row].name));
        for (int column = 0; column < int(std::size(states)); ++column) {
            const QPixmap button = buttonIn(samples[row], QString::fromLatin1(states[column]), host);
            const QSize logical = button.deviceIndependentSize().toSize();
            const int x = left + column * columnWidth + (columnWidth - logical.width()) / 2;
            painter.drawPixmap(x, top + (42 - logical.height()) / 2, button);
        }
    }

    const int sizes[] = {16, 24, 32};
    for (int row = 0; row < 3; ++row) {
        const int top = symbolsTop + row * 64;
        painter.setPen(label);
        painter.drawText(QRect(12, top, left - 12, 40), Qt::AlignVCenter,
                         QStringLiteral("%1 px").arg(sizes[row]));
        for (int index = 0; index < names.size(); ++index) {
            const int x = left + index * perSymbol + (perSymbol - sizes[row]) / 2;
            painter.drawPixmap(x, top + (40 - sizes[row]) / 2,
                               Symbols::pixmap(names[index], sizes[row], ratio, label));
            if (row == 2) {
                QFont small = painter.font();
                small.setPointSizeF(6.5);
                painter.setFont(small);
                painter.setPen(secondary);
                const QRect caption(left + index * perSymbol + 2, top + 40 + (index % 2) * 10, perSymbol - 4,
                                    12);
                painter.drawText(
                    caption, Qt::AlignHCenter,
                    QFontMetrics(small).elidedText(names[index], Qt::ElideMiddle, caption.width()));
                painter.setFont(QFont());
            }
        }
    }

    const int kindsTop = symbolsTop + 3 * 64 + 24;
    painter.setPen(label);
    painter.drawText(QRect(12, kindsTop, left - 12, 40), Qt::AlignVCenter, QStringLiteral("kinds"));
    const std::optional<ClipboardKind> kinds[] = {ClipboardKind::text, ClipboardKind::link,
                                                  ClipboardKind::image, ClipboardKind::file, std::nullopt};
    int x = left;
    for (const std::optional<ClipboardKind>& kind : kinds) {
        for (int iconSize : {11, 13, 16}) {
            const QPixmap icon = ClipboardKindIcon::pixmap(kind, iconSize, ratio, secondary);
            painter.drawPixmap(x, kindsTop + (40 - iconSize) / 2, icon);
            x += iconSize + 8;
        }
        x += 16;
    }
    // The named colours as swatches, to judge contrast between neighbours.
    x += 20;
    for (int colour = 0; colour <= int(HistoryAppearance::Colour::blue); ++colour) {
        painter.fillRect(QRect(x, kindsTop + 8, 22, 22),
                         HistoryAppearance::resolve(static_cast<HistoryAppearance::Colour>(colour), palette));
        x += 26;
    }
    const int trayTop = kindsTop + 56;
    painter.setPen(label);
    painter.drawText(QRect(12, trayTop, left - 12, 40), Qt::AlignVCenter, QStringLiteral("tray"));
    x = left;
    for (const QColor panel : {QColor(Qt::white), QColor(0xDE, 0xDE, 0xDE), QColor(0x80, 0x80, 0x80),
                               QColor(0x30, 0x30, 0x30), QColor(Qt::black)}) {
        painter.fillRect(QRect(x, trayTop, 172, 40), panel);
        int iconX = x + 8;
        for (const bool paused : {false, true}) {
            for (const int iconSize : {16, 22, 32}) {
                painter.drawImage(QPoint(iconX, trayTop + (40 - iconSize) / 2),
                                  StatusBarIcon::image(iconSize, ratio, paused));
                iconX += iconSize + 4;
            }
        }
        x += 176;
    }
    painter.end();
    return image;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const QString folder = arguments.size() > 1 ? arguments.at(1) : QString();

    const QImage light = sheet(AppTheme::light);
    const QImage dark = sheet(AppTheme::dark);
    AppThemes::apply(AppTheme::system);

    if (!folder.isEmpty()) {
        QDir().mkpath(folder);
        const bool saved = light.save(QDir(folder).filePath(QStringLiteral("appearance-light.png"))) &&
                           dark.save(QDir(folder).filePath(QStringLiteral("appearance-dark.png")));
        return saved ? 0 : 1;
    }

    QScrollArea window;
    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    for (const QImage& image : {light, dark}) {
        auto* view = new QLabel;
        view->setPixmap(QPixmap::fromImage(image));
        layout->addWidget(view);
    }
    window.setWidget(content);
    window.resize(1000, 800);
    window.show();
    return QApplication::exec();
}
