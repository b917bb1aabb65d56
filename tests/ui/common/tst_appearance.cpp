#include "l10n/Localization.h"
#include "app/Preferences.h"
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

Q_DECLARE_METATYPE(AppTheme)
Q_DECLARE_METATYPE(Colour)
Q_DECLARE_METATYPE(HistoryButtonStyle::Kind)
Q_DECLARE_METATYPE(std::optional<ClipboardKind>)

namespace {

// Stands in for the desktop switching its colour scheme: the palette Qt resolves the application
// palette against changes, exactly as after a platform theme change.
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

bool channelsClose(const QColor& actual, const QColor& expected, int tolerance = 2)
{
    return std::abs(actual.red() - expected.red()) <= tolerance &&
           std::abs(actual.green() - expected.green()) <= tolerance &&
           std::abs(actual.blue() - expected.blue()) <= tolerance;
}

// `top` drawn at `opacity` over an opaque `bottom`.
QColor over(const QColor& top, qreal opacity, const QColor& bottom)
{
    const qreal alpha = top.alphaF() * opacity;
    const auto mix = [alpha](qreal a, qreal b) { return a * alpha + b * (1 - alpha); };
    return QColor::fromRgbF(static_cast<float>(mix(top.redF(), bottom.redF())),
                            static_cast<float>(mix(top.greenF(), bottom.greenF())),
                            static_cast<float>(mix(top.blueF(), bottom.blueF())));
}

QString describe(const QColor& colour)
{
    return colour.name(QColor::HexArgb);
}

int opaquePixels(const QImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += qAlpha(image.pixel(x, y)) > 0 ? 1 : 0;
    return count;
}

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
    }

    void rawValuesRoundTrip_data()
    {
        QTest::addColumn<QString>("raw");
        QTest::addColumn<std::optional<AppTheme>>("theme");
        QTest::newRow("system") << QStringLiteral("system") << std::optional(AppTheme::system);
        QTest::newRow("light") << QStringLiteral("light") << std::optional(AppTheme::light);
        QTest::newRow("dark") << QStringLiteral("dark") << std::optional(AppTheme::dark);
        QTest::newRow("capitalised") << QStringLiteral("Dark") << std::optional<AppTheme>();
        QTest::newRow("empty") << QString() << std::optional<AppTheme>();
    }
    void rawValuesRoundTrip()
    {
        QFETCH(QString, raw);
        QFETCH(std::optional<AppTheme>, theme);
        QCOMPARE(AppThemes::fromRawValue(raw), theme);
        if (theme)
            QCOMPARE(AppThemes::rawValue(*theme), raw);
    }

    void storedTheme_data()
    {
        QTest::addColumn<std::optional<QString>>("storedValue");
        QTest::addColumn<AppTheme>("expected");
        QTest::newRow("absent") << std::optional<QString>() << AppTheme::system;
        QTest::newRow("dark") << std::optional(QStringLiteral("dark")) << AppTheme::dark;
        QTest::newRow("light") << std::optional(QStringLiteral("light")) << AppTheme::light;
        QTest::newRow("unknown") << std::optional(QStringLiteral("sepia")) << AppTheme::system;
    }
    void storedTheme()
    {
        QFETCH(std::optional<QString>, storedValue);
        QFETCH(AppTheme, expected);
        QTemporaryDir folder;
        Preferences preferences(folder.filePath(QStringLiteral("Clipwell.conf")));
        if (storedValue)
            preferences.setString(Preferences::Key::appTheme, *storedValue);
        QCOMPARE(AppThemes::stored(preferences), expected);
    }

    void titlesFollowTheInterfaceLanguage()
    {
        AppLocalization::shared().select(AppLanguage::english);
        const QString english = AppThemes::title(AppTheme::system);
        AppLocalization::shared().select(AppLanguage::simplifiedChinese);
        const QString chinese = AppThemes::title(AppTheme::system);
        AppLocalization::shared().select(AppLanguage::english);
        QCOMPARE(english, L10n::text(L10n::Key::followSystem));
        QVERIFY(chinese != english);
        QVERIFY(AppThemes::title(AppTheme::light) != AppThemes::title(AppTheme::dark));
    }

    // A forced theme reaches an open window at once, and system hands it back to the platform.
    void applyingAThemeRecoloursOpenWindows_data()
    {
        QTest::addColumn<AppTheme>("theme");
        QTest::addColumn<bool>("dark");
        QTest::newRow("light") << AppTheme::light << false;
        QTest::newRow("dark") << AppTheme::dark << true;
        QTest::newRow("system") << AppTheme::system << false;
    }
    void applyingAThemeRecoloursOpenWindows()
    {
        QFETCH(AppTheme, theme);
        QFETCH(bool, dark);
        QWidget window;
        auto* child = new QWidget(&window);
        window.show();
        AppThemes::apply(dark ? AppTheme::light : AppTheme::dark);
        AppThemes::apply(theme);

        QCOMPARE(AppThemes::isDark(), dark);
        QCOMPARE(AppThemes::isDark(child->palette()), dark);
        QCOMPARE(HistoryAppearance::sidebar(child), QColor(dark ? 0x202328 : 0xF5F7FA));
        QCOMPARE(HistoryAppearance::card(child), QColor(dark ? 0x2D3239 : 0xEDF0F4));
        if (theme == AppTheme::system)
            QCOMPARE(QGuiApplication::palette().color(QPalette::Window), m_platformWindow);
    }

    void forcedPalettesAreComplete_data()
    {
        QTest::addColumn<AppTheme>("theme");
        QTest::newRow("light") << AppTheme::light;
        QTest::newRow("dark") << AppTheme::dark;
    }
    void forcedPalettesAreComplete()
    {
        QFETCH(AppTheme, theme);
        const bool dark = theme == AppTheme::dark;
        const QPalette palette = dark ? AppThemes::darkPalette() : AppThemes::lightPalette();
        QCOMPARE(AppThemes::isDark(palette), dark);
        for (int group = 0; group < QPalette::NColorGroups; ++group) {
            if (group == QPalette::Current)
                continue;
            for (int role = 0; role < QPalette::NColorRoles; ++role) {
                if (role == QPalette::NoRole)
                    continue;
                const auto colourGroup = static_cast<QPalette::ColorGroup>(group);
                const auto colourRole = static_cast<QPalette::ColorRole>(role);
                QVERIFY2(palette.isBrushSet(colourGroup, colourRole),
                         qPrintable(QStringLiteral("group %1 role %2").arg(group).arg(role)));
            }
        }
        // Readable: text stands well apart from the surfaces it sits on.
        for (QPalette::ColorRole surface : {QPalette::Window, QPalette::Base, QPalette::Button}) {
            const qreal contrast =
                std::abs(palette.color(QPalette::Text).lightnessF() - palette.color(surface).lightnessF());
            QVERIFY2(contrast > 0.6, qPrintable(QString::number(contrast)));
        }
        QVERIFY(palette.color(QPalette::Disabled, QPalette::Text) !=
                palette.color(QPalette::Active, QPalette::Text));
    }

    void platformSchemeChanges_data()
    {
        QTest::addColumn<AppTheme>("theme");
        QTest::addColumn<bool>("platformDark");
        QTest::addColumn<bool>("expectedDark");
        QTest::newRow("system follows dark") << AppTheme::system << true << true;
        QTest::newRow("system follows light") << AppTheme::system << false << false;
        QTest::newRow("forced light ignores dark") << AppTheme::light << true << false;
        QTest::newRow("forced dark ignores light") << AppTheme::dark << false << true;
    }
    void platformSchemeChanges()
    {
        QFETCH(AppTheme, theme);
        QFETCH(bool, platformDark);
        QFETCH(bool, expectedDark);
        QWidget window;
        window.show();
        simulatePlatformScheme(!platformDark);
        AppThemes::apply(theme);

        simulatePlatformScheme(platformDark);
        QCoreApplication::processEvents();

        QCOMPARE(AppThemes::isDark(), expectedDark);
        QCOMPARE(AppThemes::isDark(window.palette()), expectedDark);
        QCOMPARE(HistoryAppearance::selected(&window), QColor(expectedDark ? 0x24466F : 0xC9DFFD));
    }

    void returningToSystemPicksUpAChangeMadeWhileForced()
    {
        AppThemes::apply(AppTheme::light);
        simulatePlatformScheme(true);
        QVERIFY(!AppThemes::isDark());
        AppThemes::apply(AppTheme::system);
        QVERIFY(AppThemes::isDark());
    }

    void namedColours_data()
    {
        QTest::addColumn<Colour>("colour");
        QTest::addColumn<QColor>("light");
        QTest::addColumn<QColor>("dark");
        const QPalette light = AppThemes::lightPalette();
        QTest::newRow("sidebar") << Colour::sidebar << QColor(0xF5F7FA) << QColor(0x202328);
        QTest::newRow("detailBackground")
            << Colour::detailBackground << light.color(QPalette::Base) << QColor(32, 35, 40);
        QTest::newRow("windowBackground")
            << Colour::windowBackground << light.color(QPalette::Window) << QColor(32, 35, 40);
        QTest::newRow("card") << Colour::card << QColor(0xEDF0F4) << QColor(0x2D3239);
        QTest::newRow("hover") << Colour::hover << QColor(0xE7ECF2) << QColor(0x353C46);
        QTest::newRow("selected") << Colour::selected << QColor(0xC9DFFD) << QColor(0x24466F);
        QTest::newRow("selectedSecondary")
            << Colour::selectedSecondary << QColor(0x536278) << QColor(0xB0B7C1);
        QTest::newRow("secondaryButtonHover")
            << Colour::secondaryButtonHover << QColor(0xDCE8FA) << QColor(0x344A68);
        QTest::newRow("secondaryButtonPressed")
            << Colour::secondaryButtonPressed << QColor(0xC9DAF5) << QColor(0x406086);
        QTest::newRow("secondary") << Colour::secondary << QColor(0x666C75) << QColor(0xB0B7C1);
        const QColor blue = QColor::fromRgbF(0.18f, 0.51f, 1.0f);
        QTest::newRow("blue") << Colour::blue << blue << blue;
    }
    void namedColours()
    {
        QFETCH(Colour, colour);
        QFETCH(QColor, light);
        QFETCH(QColor, dark);
        QCOMPARE(HistoryAppearance::resolve(colour, AppThemes::lightPalette()), light);
        QCOMPARE(HistoryAppearance::resolve(colour, AppThemes::darkPalette()), dark);
        QCOMPARE(HistoryAppearance::resolve(colour, AppThemes::lightPalette()).alpha(), 255);

        // The widget's own palette decides, not the application's.
        QWidget widget;
        widget.setPalette(AppThemes::darkPalette());
        QCOMPARE(HistoryAppearance::resolve(colour, &widget), dark);
    }

    // The fill is checked at the middle of the top edge, inside the shape and clear of the label.
    void buttonStates_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("state");
        QTest::addColumn<AppTheme>("theme");
        QTest::addColumn<Colour>("fill");
        QTest::addColumn<qreal>("fillOpacity");

        const auto row = [](const char* name, Kind kind, const char* state, AppTheme theme, Colour fill,
                            qreal opacity) {
            QTest::newRow(name) << kind << QString::fromLatin1(state) << theme << fill << opacity;
        };
        // Colour::detailBackground stands for the text background (palette Base) in the light theme;
        // icon rows with opacity 0 expect the window behind.
        for (AppTheme theme : {AppTheme::light, AppTheme::dark}) {
            const bool dark = theme == AppTheme::dark;
            const auto name = [dark](const char* text) {
                return QByteArray(text).append(dark ? " dark" : " light");
            };
            row(name("primary normal"), Kind::primary, "normal", theme, Colour::blue, 1.0);
            row(name("primary hovered"), Kind::primary, "hovered", theme, Colour::blue, 0.9);
            row(name("primary pressed"), Kind::primary, "pressed", theme, Colour::blue, 0.75);
            row(name("primary focused"), Kind::primary, "focused", theme, Colour::blue, 1.0);
            row(name("primary disabled"), Kind::primary, "disabled", theme, Colour::blue, 0.4);
            row(name("destructive pressed"), Kind::destructive, "pressed", theme, Colour::destructive, 0.75);
            row(name("destructive focused"), Kind::destructive, "focused", theme, Colour::destructive, 1.0);
            row(name("action normal"), Kind::action, "normal", theme, Colour::selected, 1.0);
            row(name("action hovered"), Kind::action, "hovered", theme, Colour::selected, 0.9);
            row(name("action pressed"), Kind::action, "pressed", theme, Colour::selected, 0.75);
            row(name("action disabled hovered"), Kind::action, "disabled hovered", theme, Colour::selected,
                0.4);
            row(name("secondary pressed"), Kind::secondary, "pressed", theme, Colour::secondaryButtonPressed,
                1.0);
            row(name("secondary hovered"), Kind::secondary, "hovered", theme, Colour::secondaryButtonHover,
                1.0);
            row(name("secondary focused"), Kind::secondary, "focused", theme, Colour::secondaryButtonHover,
                1.0);
            row(name("icon normal"), Kind::icon, "normal", theme, Colour::card, 0.0);
            row(name("icon hovered"), Kind::icon, "hovered", theme, Colour::card, 1.0);
            row(name("icon hovered outside the corner"), Kind::icon, "corner", theme, Colour::card, 0.0);
            row(name("icon focused"), Kind::icon, "focused", theme, Colour::selected, 1.0);
            row(name("icon pressed beats focus"), Kind::icon, "focused pressed", theme, Colour::hover, 1.0);
            row(name("icon disabled loses the focus fill"), Kind::icon, "disabled focused", theme,
                Colour::card, 0.0);
        }
        // The text background in light; dark uses the forced palette's Base, checked below.
        row("secondary normal light", Kind::secondary, "normal", AppTheme::light, Colour::detailBackground,
            0.85);
        row("secondary disabled keeps its fill", Kind::secondary, "disabled", AppTheme::light,
            Colour::detailBackground, 0.85 * 0.4);
        row("secondary disabled pressed", Kind::secondary, "disabled pressed", AppTheme::light,
            Colour::detailBackground, 0.85 * 0.4);
    }
    void buttonStates()
    {
        QFETCH(Kind, kind);
        QFETCH(QString, state);
        QFETCH(AppTheme, theme);
        QFETCH(Colour, fill);
        QFETCH(qreal, fillOpacity);
        AppThemes::apply(theme);

        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* other = new QWidget(&window);
        other->setFocusPolicy(Qt::StrongFocus);
        auto* button = new HistoryButton(kind, QStringLiteral("Grant"), &window);
        button->setSymbol(QStringLiteral("checkmark"));
        layout->addWidget(other);
        layout->addWidget(button);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        const QStringList parts = state.split(QLatin1Char(' '));
        if (parts.contains(QStringLiteral("focused"))) {
            QApplication::setActiveWindow(&window);
            if (!QTest::qWaitForWindowActive(&window))
                QSKIP("keyboard focus needs an active window, which this display does not grant");
            other->setFocus();
            button->setFocus(Qt::TabFocusReason);
            QVERIFY(button->hasFocus());
        }
        if (parts.contains(QStringLiteral("pressed")))
            button->setDown(true);
        if (parts.contains(QStringLiteral("hovered")) || parts.contains(QStringLiteral("corner"))) {
            const QPointF point =
                parts.contains(QStringLiteral("corner")) ? QPointF(1, 1) : QPointF(button->rect().center());
            QHoverEvent enter(QEvent::HoverEnter, point, button->mapToGlobal(point), QPointF(-1, -1));
            QApplication::sendEvent(button, &enter);
        }
        if (parts.contains(QStringLiteral("disabled")))
            button->setEnabled(false);

        const QImage image = button->grab().toImage();
        const QColor behind = button->palette().color(QPalette::Window);
        const QColor expected = over(HistoryAppearance::resolve(fill, button), fillOpacity, behind);
        const QColor actual = image.pixelColor(image.width() / 2, 2);
        QVERIFY2(
            channelsClose(actual, expected),
            qPrintable(QStringLiteral("actual %1 expected %2").arg(describe(actual), describe(expected))));
    }

    // Kinds whose fill ignores focus draw a ring inside their edge instead.
    void focusRings_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QColor>("ring");
        QTest::newRow("action") << Kind::action
                                << HistoryAppearance::resolve(Colour::blue, AppThemes::lightPalette());
        QTest::newRow("primary") << Kind::primary << QColor(Qt::white);
        QTest::newRow("destructive") << Kind::destructive << QColor(Qt::white);
    }

    void focusRings()
    {
        QFETCH(Kind, kind);
        QFETCH(QColor, ring);
        AppThemes::apply(AppTheme::light);
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* other = new QWidget(&window);
        other->setFocusPolicy(Qt::StrongFocus);
        auto* button = new HistoryButton(kind, QStringLiteral("Grant"), &window);
        layout->addWidget(other);
        layout->addWidget(button);
        window.show();
        QApplication::setActiveWindow(&window);
        if (!QTest::qWaitForWindowActive(&window))
            QSKIP("keyboard focus needs an active window, which this display does not grant");
        const QPoint probe(button->width() / 2,
                           int(HistoryButtonStyle::focusRingInset + HistoryButtonStyle::focusRingWidth / 2));
        other->setFocus();
        const QColor unfocused = button->grab().toImage().pixelColor(probe);
        button->setFocus(Qt::TabFocusReason);
        const QColor focused = button->grab().toImage().pixelColor(probe);
        QVERIFY2(channelsClose(focused, ring), qPrintable(describe(focused)));
        QVERIFY2(!channelsClose(unfocused, ring), qPrintable(describe(unfocused)));
    }

    void secondaryRestsOnTheTextBackground()
    {
        AppThemes::apply(AppTheme::dark);
        HistoryButton button(Kind::secondary, QStringLiteral("Open"));
        button.resize(button.sizeHint());
        const QImage image = button.grab().toImage();
        const QColor expected =
            over(button.palette().color(QPalette::Base), 0.85, button.palette().color(QPalette::Window));
        QVERIFY(channelsClose(image.pixelColor(image.width() / 2, 2), expected));
    }

    void disabledLabelIsFaded_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::newRow("primary") << Kind::primary;
        QTest::newRow("action") << Kind::action;
    }
    // The whole button, label included, is drawn at 40 %: the darkest label pixel moves towards the fill.
    void disabledLabelIsFaded()
    {
        QFETCH(Kind, kind);
        AppThemes::apply(AppTheme::light);
        HistoryButton button(kind, QStringLiteral("MMMM"));
        button.resize(button.sizeHint());
        const auto extreme = [&button] {
            const QImage image = button.grab().toImage();
            const QColor fill = image.pixelColor(image.width() / 2, 2);
            int largest = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x) {
                    const QColor pixel = image.pixelColor(x, y);
                    largest = std::max(largest, std::abs(pixel.lightness() - fill.lightness()));
                }
            return largest;
        };
        const int enabledContrast = extreme();
        button.setEnabled(false);
        const int disabledContrast = extreme();
        QVERIFY2(enabledContrast > 60, qPrintable(QString::number(enabledContrast)));
        QVERIFY2(std::abs(disabledContrast - qRound(enabledContrast * 0.4)) <= 12,
                 qPrintable(QStringLiteral("%1 vs %2").arg(disabledContrast).arg(enabledContrast)));
    }

    void sizeHints_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("symbolSize");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("padding");
        QTest::newRow("icon") << Kind::icon << QString() << 18 << 30 << 6;
        QTest::newRow("action") << Kind::action << QStringLiteral("Copy again") << 24 << 42 << 16;
        QTest::newRow("secondary") << Kind::secondary << QStringLiteral("Open settings") << 0 << 28 << 12;
        QTest::newRow("primary") << Kind::primary << QStringLiteral("Grant access") << 0 << 28 << 12;
    }
    void sizeHints()
    {
        QFETCH(Kind, kind);
        QFETCH(QString, text);
        QFETCH(int, symbolSize);
        QFETCH(int, height);
        QFETCH(int, padding);
        HistoryButton button(kind, text);
        if (symbolSize > 0) {
            button.setSymbol(QStringLiteral("StatusBarIcon"));
            button.setSymbolSize(symbolSize);
        }
        QCOMPARE(button.sizeHint().height(), height);
        const int content = (symbolSize > 0 ? symbolSize : 0) + (symbolSize > 0 && !text.isEmpty() ? 6 : 0) +
                            (text.isEmpty() ? 0 : button.fontMetrics().horizontalAdvance(text));
        QCOMPARE(button.sizeHint().width(), content + 2 * padding);
    }

    void keyboardActivates_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("clicks");
        QTest::newRow("space") << int(Qt::Key_Space) << 1;
        QTest::newRow("return") << int(Qt::Key_Return) << 1;
        QTest::newRow("enter") << int(Qt::Key_Enter) << 1;
        QTest::newRow("letter") << int(Qt::Key_A) << 0;
    }
    void keyboardActivates()
    {
        QFETCH(int, key);
        QFETCH(int, clicks);
        HistoryButton button(Kind::secondary, QStringLiteral("Open"));
        button.show();
        QVERIFY(QTest::qWaitForWindowExposed(&button));
        QSignalSpy clicked(&button, &QAbstractButton::clicked);
        QTest::keyClick(&button, static_cast<Qt::Key>(key));
        QTest::qWait(350);
        QCOMPARE(clicked.count(), clicks);
    }

    void focusComesFromTheKeyboardOnly()
    {
        HistoryButton button(Kind::icon);
        QCOMPARE(button.focusPolicy(), Qt::TabFocus);
        // A button that does nothing is no Tab stop.
        button.setEnabled(false);
        QCOMPARE(button.focusPolicy(), Qt::NoFocus);
        button.setEnabled(true);
        QCOMPARE(button.focusPolicy(), Qt::TabFocus);
    }

    void accessibleName_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("explicitName");
        QTest::addColumn<QString>("expected");
        QTest::newRow("text") << QStringLiteral("Copy again") << QString() << QStringLiteral("Copy again");
        QTest::newRow("explicit wins") << QStringLiteral("Copy") << QStringLiteral("Copy the entry again")
                                       << QStringLiteral("Copy the entry again");
        QTest::newRow("icon only") << QString() << QStringLiteral("Settings") << QStringLiteral("Settings");
    }
    void accessibleName()
    {
        QFETCH(QString, text);
        QFETCH(QString, explicitName);
        QFETCH(QString, expected);
        HistoryButton button(Kind::icon, text);
        button.setSymbol(QStringLiteral("gearshape"));
        if (!explicitName.isEmpty())
            button.setAccessibleName(explicitName);
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&button);
        QVERIFY(accessible);
        QCOMPARE(accessible->text(QAccessible::Name), expected);
        QCOMPARE(accessible->role(), QAccessible::Button);
    }

    void symbols_data()
    {
        QTest::addColumn<QString>("name");
        const QStringList required{
            QStringLiteral("textformat.alt"),
            QStringLiteral("link"),
            QStringLiteral("photo"),
            QStringLiteral("doc"),
            QStringLiteral("square.grid.2x2"),
            QStringLiteral("magnifyingglass"),
            QStringLiteral("xmark.circle.fill"),
            QStringLiteral("gearshape"),
            QStringLiteral("trash"),
            QStringLiteral("checkmark"),
            QStringLiteral("exclamationmark.triangle"),
            QStringLiteral("doc.on.doc"),
            QStringLiteral("StatusBarIcon"),
        };
        QStringList names = Symbols::names();
        for (const QString& name : required)
            if (!names.contains(name))
                names.append(name);
        for (const QString& name : names)
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
                QVERIFY2(opaquePixels(image) > image.width() * image.height() / 20,
                         qPrintable(QString::number(size)));
                for (int y = 0; y < image.height(); ++y) {
                    for (int x = 0; x < image.width(); ++x) {
                        const QRgb pixel = image.pixel(x, y);
                        const bool edge =
                            x == 0 || y == 0 || x == image.width() - 1 || y == image.height() - 1;
                        if (edge)
                            QVERIFY2(qAlpha(pixel) < 64,
                                     qPrintable(QStringLiteral("clipped at %1,%2").arg(x).arg(y)));
                        if (qAlpha(pixel) == 255)
                            QCOMPARE(QColor(pixel), tint);
                    }
                }
            }
        }
        const QPixmap cached = Symbols::pixmap(name, 24, 1.0, tint);
        QCOMPARE(Symbols::pixmap(name, 24, 1.0, tint).cacheKey(), cached.cacheKey());
        QVERIFY(Symbols::pixmap(name, 24, 1.0, Qt::red).cacheKey() != cached.cacheKey());
    }

    void unknownSymbolDrawsNothing()
    {
        QVERIFY(!Symbols::exists(QStringLiteral("no.such.symbol")));
        QVERIFY(Symbols::pixmap(QStringLiteral("no.such.symbol"), 16, 1.0, Qt::black).isNull());
        QVERIFY(Symbols::pixmap(QStringLiteral("doc"), 0, 1.0, Qt::black).isNull());
    }

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
    // The widget shows its kind's symbol, centred in a larger frame.
    void kindIcons()
    {
        QFETCH(std::optional<ClipboardKind>, kind);
        QFETCH(QString, symbol);
        ClipboardKindIcon icon(kind, 11);
        icon.setColour(QColor(Qt::black));
        icon.setFixedSize(14, 14);
        icon.setAutoFillBackground(true);
        icon.setPalette(QPalette(Qt::white));
        const QImage shown = icon.grab().toImage().convertToFormat(QImage::Format_RGB32);

        QImage expected(14, 14, QImage::Format_RGB32);
        expected.fill(Qt::white);
        {
            QPainter painter(&expected);
            painter.drawImage(1, 1, Symbols::image(symbol, 11, 1.0, Qt::black));
        }
        QCOMPARE(shown, expected);
    }

    void textIconIgnoresTheInterfaceLanguage()
    {
        const auto render = [] {
            ClipboardKindIcon icon(ClipboardKind::text, 32);
            icon.setColour(QColor(Qt::black));
            icon.resize(32, 32);
            return icon.grab().toImage();
        };
        AppLocalization::shared().select(AppLanguage::english);
        const QImage english = render();
        AppLocalization::shared().select(AppLanguage::simplifiedChinese);
        const QImage simplified = render();
        AppLocalization::shared().select(AppLanguage::traditionalChinese);
        const QImage traditional = render();
        AppLocalization::shared().select(AppLanguage::english);
        QVERIFY(opaquePixels(english) > 0);
        QCOMPARE(simplified, english);
        QCOMPARE(traditional, english);
    }

private:
    QColor m_platformWindow;
};

QTEST_MAIN(TestAppearance)
#include "tst_appearance.moc"
