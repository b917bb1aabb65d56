#include "app/Preferences.h"
#include "l10n/Localization.h"
#include "ui/common/AppTheme.h"
#include "ui/common/ClipboardKindIcon.h"
#include "ui/common/HistoryAppearance.h"
#include "ui/common/HistoryButton.h"
#include "ui/common/Symbols.h"

#include <QAccessible>
#include <QApplication>
#include <QHoverEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>

using HistoryAppearance::Colour;
using Kind = HistoryButtonStyle::Kind;

using namespace Qt::StringLiterals;

namespace {

// Stands in for the desktop switching its colour scheme, as after a platform theme change.
class PlatformSchemeStyle : public QProxyStyle {
public:
    explicit PlatformSchemeStyle(bool dark) : m_dark(dark) {}
    void polish(QPalette& palette) override
    {
        QProxyStyle::polish(palette);
        if (m_dark)
            palette = AppThemes::darkPalette();
    }
    using QProxyStyle::polish;

private:
    bool m_dark;
};

void simulatePlatformScheme(bool dark)
{
    QApplication::setStyle(new PlatformSchemeStyle(dark));
}

bool channelsClose(const QColor& actual, const QColor& expected)
{
    return std::abs(actual.red() - expected.red()) <= 2 && std::abs(actual.green() - expected.green()) <= 2 &&
           std::abs(actual.blue() - expected.blue()) <= 2;
}

// `top` drawn at `opacity` over an opaque `bottom`.
QColor over(const QColor& top, qreal opacity, const QColor& bottom)
{
    const qreal alpha = top.alphaF() * opacity;
    const auto mix = [alpha](float a, float b) { return float(a * alpha + b * (1 - alpha)); };
    return QColor::fromRgbF(mix(top.redF(), bottom.redF()), mix(top.greenF(), bottom.greenF()),
                            mix(top.blueF(), bottom.blueF()));
}

// A button in a window beside another focusable widget, focused when asked to.
struct ButtonWindow {
    QWidget window;
    QWidget* other = new QWidget(&window);
    HistoryButton* button;

    explicit ButtonWindow(Kind kind)
    {
        auto* layout = new QVBoxLayout(&window);
        other->setFocusPolicy(Qt::StrongFocus);
        button = new HistoryButton(kind, QStringLiteral("Grant"), &window);
        layout->addWidget(other);
        layout->addWidget(button);
        window.show();
    }
    bool focus()
    {
        QApplication::setActiveWindow(&window);
        if (!QTest::qWaitForWindowActive(&window))
            return false;
        other->setFocus();
        button->setFocus(Qt::TabFocusReason);
        return button->hasFocus();
    }
};

} // namespace

class TestAppearance : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        m_platformWindow = QGuiApplication::palette().color(QPalette::Window);
        QVERIFY2(!AppThemes::isDark(), "the offscreen platform is expected to start light");
    }

    void cleanup()
    {
        simulatePlatformScheme(false);
        AppThemes::apply(AppTheme::system);
        AppLocalization::shared().select(AppLanguage::english);
    }

    void storedTheme_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<AppTheme>("expected");
        QTest::newRow("absent") << QString() << AppTheme::system;
        QTest::newRow("dark") << QStringLiteral("dark") << AppTheme::dark;
        QTest::newRow("light") << QStringLiteral("light") << AppTheme::light;
        QTest::newRow("capitalised") << QStringLiteral("Dark") << AppTheme::system;
        QTest::newRow("unknown") << QStringLiteral("sepia") << AppTheme::system;
    }
    void storedTheme()
    {
        QFETCH(QString, stored);
        QFETCH(AppTheme, expected);
        QTemporaryDir folder;
        Preferences preferences(folder.filePath(QStringLiteral("Clipwell.conf")));
        if (!stored.isNull())
            preferences.setString(Preferences::Key::appTheme, stored);
        QCOMPARE(AppThemes::stored(preferences), expected);
        QCOMPARE(AppThemes::fromRawValue(AppThemes::rawValue(expected)), expected);
        const QSet<QString> titles{AppThemes::title(AppTheme::system), AppThemes::title(AppTheme::light),
                                   AppThemes::title(AppTheme::dark)};
        QCOMPARE(titles.size(), 3);
    }

    // The platform switches its scheme before or after the theme is applied; open windows follow
    // the chosen theme at once, and system follows the platform.
    void themeReachesOpenWindows_data()
    {
        QTest::addColumn<AppTheme>("theme");
        QTest::addColumn<bool>("platformDark");
        QTest::addColumn<bool>("platformChangesLater");
        QTest::addColumn<bool>("dark");
        QTest::newRow("light") << AppTheme::light << false << false << false;
        QTest::newRow("dark") << AppTheme::dark << false << false << true;
        QTest::newRow("system") << AppTheme::system << false << false << false;
        QTest::newRow("system picks up a change made while forced")
            << AppTheme::system << true << false << true;
        QTest::newRow("system follows dark") << AppTheme::system << true << true << true;
        QTest::newRow("system follows light") << AppTheme::system << false << true << false;
        QTest::newRow("forced light ignores dark") << AppTheme::light << true << true << false;
        QTest::newRow("forced dark ignores light") << AppTheme::dark << false << true << true;
    }
    void themeReachesOpenWindows()
    {
        QFETCH(AppTheme, theme);
        QFETCH(bool, platformDark);
        QFETCH(bool, platformChangesLater);
        QFETCH(bool, dark);
        QWidget window;
        auto* child = new QWidget(&window);
        window.show();
        simulatePlatformScheme(!platformDark);
        AppThemes::apply(dark ? AppTheme::light : AppTheme::dark);
        if (!platformChangesLater)
            simulatePlatformScheme(platformDark);
        AppThemes::apply(theme);
        if (platformChangesLater) {
            simulatePlatformScheme(platformDark);
            QCoreApplication::processEvents();
        }

        QCOMPARE(AppThemes::isDark(), dark);
        QCOMPARE(AppThemes::isDark(child->palette()), dark);
        const QPalette forced = dark ? AppThemes::darkPalette() : AppThemes::lightPalette();
        for (Colour colour : {Colour::sidebar, Colour::card, Colour::selected})
            QCOMPARE(HistoryAppearance::resolve(colour, child), HistoryAppearance::resolve(colour, forced));
        if (theme == AppTheme::system && !dark)
            QCOMPARE(QGuiApplication::palette().color(QPalette::Window), m_platformWindow);
    }

    void forcedPalettesAreCompleteAndReadable()
    {
        for (const QPalette& palette : {AppThemes::lightPalette(), AppThemes::darkPalette()}) {
            for (int group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
                for (int role = 0; role < QPalette::NColorRoles; ++role)
                    QVERIFY(role == QPalette::NoRole ||
                            palette.isBrushSet(QPalette::ColorGroup(group), QPalette::ColorRole(role)));
            for (QPalette::ColorRole surface : {QPalette::Window, QPalette::Base, QPalette::Button})
                QVERIFY(std::abs(palette.color(QPalette::Text).lightnessF() -
                                 palette.color(surface).lightnessF()) > 0.6);
            QVERIFY(palette.color(QPalette::Disabled, QPalette::Text) != palette.color(QPalette::Text));
        }
        QVERIFY(!AppThemes::isDark(AppThemes::lightPalette()));
        QVERIFY(AppThemes::isDark(AppThemes::darkPalette()));
    }

    // Every named colour but the accent changes with the theme, opaque, read from the widget's palette.
    void namedColoursFollowTheWidgetsTheme()
    {
        QWidget widget;
        widget.setPalette(AppThemes::darkPalette());
        for (int value = 0; value <= int(Colour::destructive); ++value) {
            const auto colour = Colour(value);
            const QColor light = HistoryAppearance::resolve(colour, AppThemes::lightPalette());
            const QColor dark = HistoryAppearance::resolve(colour, AppThemes::darkPalette());
            QCOMPARE(light == dark, colour == Colour::blue);
            QCOMPARE(HistoryAppearance::resolve(colour, &widget), dark);
            QCOMPARE(light.alpha(), 255);
        }
    }

    // The fill at the middle of the top edge: the colour (Base where none is named) at an opacity over
    // the window. Just inside it, kinds whose fill ignores focus draw a ring while focused.
    void buttonStates_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("state");
        QTest::addColumn<AppTheme>("theme");
        QTest::addColumn<QColor>("fill");
        QTest::addColumn<QColor>("ring");
        struct Row {
            const char* name;
            Kind kind;
            std::optional<Colour> fill;
            qreal opacity;
            std::optional<QColor> ring = std::nullopt;
        };
        const QColor white(Qt::white), accent = HistoryAppearance::resolve(Colour::blue, QPalette());
        const Row rows[] = {
            {"normal", Kind::primary, Colour::blue, 1.0},
            {"hovered", Kind::primary, Colour::blue, 0.9},
            {"pressed", Kind::primary, Colour::blue, 0.75},
            {"focused", Kind::primary, Colour::blue, 1.0, white},
            {"disabled", Kind::primary, Colour::blue, 0.4},
            {"pressed", Kind::destructive, Colour::destructive, 0.75},
            {"focused", Kind::destructive, Colour::destructive, 1.0, white},
            {"normal", Kind::action, Colour::selected, 1.0},
            {"pressed", Kind::action, Colour::selected, 0.75},
            {"focused", Kind::action, Colour::selected, 1.0, accent},
            {"disabled hovered", Kind::action, Colour::selected, 0.4},
            {"normal", Kind::secondary, std::nullopt, 0.85},
            {"disabled pressed", Kind::secondary, std::nullopt, 0.85 * 0.4},
            {"pressed", Kind::secondary, Colour::secondaryButtonPressed, 1.0},
            {"hovered", Kind::secondary, Colour::secondaryButtonHover, 1.0},
            {"focused", Kind::secondary, Colour::secondaryButtonHover, 1.0},
            {"normal", Kind::icon, Colour::card, 0.0},
            {"hovered", Kind::icon, Colour::card, 1.0},
            {"corner", Kind::icon, Colour::card, 0.0},
            {"focused", Kind::icon, Colour::selected, 1.0},
            {"focused pressed", Kind::icon, Colour::hover, 1.0},
            {"disabled focused", Kind::icon, Colour::card, 0.0},
        };
        for (AppTheme theme : {AppTheme::light, AppTheme::dark}) {
            const QPalette palette =
                theme == AppTheme::dark ? AppThemes::darkPalette() : AppThemes::lightPalette();
            for (const Row& row : rows) {
                const QColor colour =
                    row.fill ? HistoryAppearance::resolve(*row.fill, palette) : palette.color(QPalette::Base);
                const QColor fill = over(colour, row.opacity, palette.color(QPalette::Window));
                QTest::addRow("%d %s %s", int(row.kind), row.name, theme == AppTheme::dark ? "dark" : "light")
                    << row.kind << QString::fromLatin1(row.name) << theme << fill << row.ring.value_or(fill);
            }
        }
    }
    void buttonStates()
    {
        QFETCH(Kind, kind);
        QFETCH(QString, state);
        QFETCH(AppTheme, theme);
        QFETCH(QColor, fill);
        QFETCH(QColor, ring);
        AppThemes::apply(theme);
        ButtonWindow w(kind);
        HistoryButton* button = w.button;
        button->setSymbol(QStringLiteral("checkmark"));
        QVERIFY(QTest::qWaitForWindowExposed(&w.window));
        if (state.contains(u"focused") && !w.focus())
            QSKIP("keyboard focus needs an active window, which this display does not grant");
        button->setDown(state.contains(u"pressed"));
        if (state.contains(u"hovered") || state == u"corner") {
            const QPointF point = state == u"corner" ? QPointF(1, 1) : QPointF(button->rect().center());
            QHoverEvent enter(QEvent::HoverEnter, point, button->mapToGlobal(point), QPointF(-1, -1));
            QApplication::sendEvent(button, &enter);
        }
        button->setEnabled(!state.contains(u"disabled"));
        const QImage image = button->grab().toImage();
        const int ringMiddle =
            int(HistoryButtonStyle::focusRingInset + HistoryButtonStyle::focusRingWidth / 2);
        for (const auto& [y, expected] : {std::pair(2, fill), {ringMiddle, ring}}) {
            const QColor actual = image.pixelColor(image.width() / 2, y);
            QVERIFY2(channelsClose(actual, expected),
                     qPrintable(actual.name() + u" != "_s + expected.name()));
        }
    }

    // Symbol, spacing and label side by side between the paddings, at least as tall as the kind.
    void sizeHint()
    {
        HistoryButton button(Kind::action, QStringLiteral("Copy again"));
        button.setSymbol(QStringLiteral("StatusBarIcon"));
        button.setSymbolSize(24);
        QCOMPARE(button.sizeHint().width(),
                 24 + 6 + button.fontMetrics().horizontalAdvance(button.text()) + 2 * 16);
        QCOMPARE(button.sizeHint().height(), 42);
    }

    void keyboard_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("clicks");
        QTest::newRow("space") << int(Qt::Key_Space) << 1;
        QTest::newRow("return") << int(Qt::Key_Return) << 1;
        QTest::newRow("enter") << int(Qt::Key_Enter) << 1;
        QTest::newRow("letter") << int(Qt::Key_A) << 0;
    }
    // Keys activate; the button is a Tab stop only while it does something.
    void keyboard()
    {
        QFETCH(int, key);
        QFETCH(int, clicks);
        HistoryButton button(Kind::secondary, QStringLiteral("Open"));
        button.show();
        QVERIFY(QTest::qWaitForWindowExposed(&button));
        QSignalSpy clicked(&button, &QAbstractButton::clicked);
        QTest::keyClick(&button, Qt::Key(key));
        QTest::qWait(350);
        QCOMPARE(clicked.count(), clicks);
        QCOMPARE(button.focusPolicy(), Qt::TabFocus);
        button.setEnabled(false);
        QCOMPARE(button.focusPolicy(), Qt::NoFocus);
    }

    void symbols_data()
    {
        QTest::addColumn<QString>("name");
        QStringList names = Symbols::names();
        for (const char* used : {"textformat.alt", "link", "photo", "doc", "square.grid.2x2",
                                 "magnifyingglass", "xmark.circle.fill", "gearshape", "trash", "checkmark",
                                 "exclamationmark.triangle", "doc.on.doc", "StatusBarIcon"})
            if (!names.contains(QLatin1StringView(used)))
                names.append(QLatin1StringView(used));
        for (const QString& name : std::as_const(names))
            QTest::newRow(qPrintable(name)) << name;
    }
    // Every symbol draws something at each size and scale, entirely in the tint, clear of the edges.
    void symbols()
    {
        QFETCH(QString, name);
        QVERIFY2(Symbols::exists(name), qPrintable(Symbols::resourcePath(name)));
        const QColor tint(0x12, 0x80, 0xF0);
        for (int size : {16, 24, 32}) {
            for (qreal ratio : {1.0, 2.0}) {
                const QImage image =
                    Symbols::image(name, size, ratio, tint).convertToFormat(QImage::Format_ARGB32);
                QCOMPARE(image.width(), qRound(size * ratio));
                QCOMPARE(image.devicePixelRatio(), ratio);
                int opaque = 0;
                for (int y = 0; y < image.height(); ++y) {
                    for (int x = 0; x < image.width(); ++x) {
                        const QRgb pixel = image.pixel(x, y);
                        opaque += qAlpha(pixel) > 0;
                        if (x == 0 || y == 0 || x == image.width() - 1 || y == image.height() - 1)
                            QVERIFY2(qAlpha(pixel) < 64,
                                     qPrintable(QStringLiteral("clipped at %1,%2").arg(x).arg(y)));
                        if (qAlpha(pixel) == 255)
                            QCOMPARE(QColor(pixel), tint);
                    }
                }
                QVERIFY(opaque > image.width() * image.height() / 20);
            }
        }
        const QPixmap cached = Symbols::pixmap(name, 24, 1.0, tint);
        QCOMPARE(Symbols::pixmap(name, 24, 1.0, tint).cacheKey(), cached.cacheKey());
        QVERIFY(Symbols::pixmap(name, 24, 1.0, Qt::red).cacheKey() != cached.cacheKey());
        QVERIFY(Symbols::pixmap(name, 0, 1.0, tint).isNull());
        QVERIFY(Symbols::pixmap(name + u".unknown"_s, 16, 1.0, tint).isNull());
    }

    // The widget shows its kind's symbol, centred in a larger frame.
    void kindIcons_data()
    {
        QTest::addColumn<std::optional<ClipboardKind>>("kind");
        QTest::addColumn<QString>("symbol");
        QTest::newRow("text") << std::optional(ClipboardKind::text) << QStringLiteral("textformat.alt");
        QTest::newRow("link") << std::optional(ClipboardKind::link) << QStringLiteral("link");
        QTest::newRow("image") << std::optional(ClipboardKind::image) << QStringLiteral("photo");
        QTest::newRow("file") << std::optional(ClipboardKind::file) << QStringLiteral("doc");
        QTest::newRow("all kinds") << std::optional<ClipboardKind>() << QStringLiteral("square.grid.2x2");
    }
    void kindIcons()
    {
        QFETCH(std::optional<ClipboardKind>, kind);
        QFETCH(QString, symbol);
        ClipboardKindIcon icon(kind, 11);
        icon.setColour(QColor(Qt::black));
        icon.setFixedSize(14, 14);
        icon.setAutoFillBackground(true);
        icon.setPalette(QPalette(Qt::white));
        QImage expected(14, 14, QImage::Format_RGB32);
        expected.fill(Qt::white);
        QPainter(&expected).drawImage(1, 1, Symbols::image(symbol, 11, 1.0, Qt::black));
        QCOMPARE(icon.grab().toImage().convertToFormat(QImage::Format_RGB32), expected);
    }

private:
    QColor m_platformWindow;
};

QTEST_MAIN(TestAppearance)
#include "tst_appearance.moc"
