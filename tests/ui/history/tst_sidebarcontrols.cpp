#include "l10n/Localization.h"
#include "ui/common/AppTheme.h"
#include "ui/common/HistoryAppearance.h"
#include "ui/history/HistoryFilterMenu.h"
#include "ui/history/HistoryFilterOptionList.h"
#include "ui/history/HistorySearchField.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// -1 stands for "all kinds" in the tables.
std::optional<ClipboardKind> kindAt(int index)
{
    return index < 0 ? std::nullopt : std::optional(ClipboardKinds::allCases[size_t(index)]);
}

} // namespace

class TestSidebarControls : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { AppLocalization::shared().select(AppLanguage::english); }

    // The clear button shows while there is text, set or typed; Escape empties the field, or passes on
    // when it is empty.
    void clearButtonAndEscape_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("visible");
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("letter") << u"a"_s << true;
        QTest::newRow("only a space") << u" "_s << true;
    }
    void clearButtonAndEscape()
    {
        QFETCH(QString, text);
        QFETCH(bool, visible);
        HistorySearchField field;
        field.setText(u"before"_s);
        field.setText(text);
        QCOMPARE(field.clearButton()->isVisibleTo(&field), visible);
        field.setText({});
        QTest::keyClicks(field.lineEdit(), text);
        QCOMPARE(field.clearButton()->isVisibleTo(&field), visible);
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(field.lineEdit(), &escape);
        QCOMPARE(field.text(), QString());
        QCOMPARE(escape.isAccepted(), visible);
        QVERIFY(!field.clearButton()->isVisibleTo(&field));
    }

    void clearButtonEmptiesAndKeepsTypingFocus()
    {
        QWidget window;
        auto* elsewhere = new QLineEdit(&window);
        auto* field = new HistorySearchField(&window);
        field->move(0, 40);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        field->setText(u"query"_s);
        elsewhere->setFocus();
        QVERIFY(!field->isInputFocused());
        QSignalSpy changes(field, &HistorySearchField::textChanged);
        QTest::mouseClick(field->clearButton(), Qt::LeftButton);
        QCOMPARE(field->text(), QString());
        QCOMPARE(changes.count(), 1);
        QVERIFY(field->isInputFocused());
        QVERIFY(!field->clearButton()->isVisible());
    }

    void settingTheSameTextKeepsTheCursor()
    {
        HistorySearchField field;
        field.setText(u"hello"_s);
        field.lineEdit()->setCursorPosition(2);
        QSignalSpy changes(&field, &HistorySearchField::textChanged);
        field.setText(u"hello"_s);
        QCOMPARE(field.lineEdit()->cursorPosition(), 2);
        QCOMPARE(changes.count(), 0);
    }

    void placeholderFollowsTheTheme()
    {
        AppThemes::apply(AppTheme::light);
        HistorySearchField field;
        const QColor light = field.lineEdit()->palette().color(QPalette::PlaceholderText);
        AppThemes::apply(AppTheme::dark);
        const QColor dark = field.lineEdit()->palette().color(QPalette::PlaceholderText);
        AppThemes::apply(AppTheme::system);
        QCOMPARE(light,
                 HistoryAppearance::resolve(HistoryAppearance::Colour::secondary, AppThemes::lightPalette()));
        QCOMPARE(dark,
                 HistoryAppearance::resolve(HistoryAppearance::Colour::secondary, AppThemes::darkPalette()));
    }

    void openingHighlightsTheSelection_data()
    {
        QTest::addColumn<int>("selection");
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("highlighted");
        QTest::newRow("all, click") << -1 << u"click"_s << 0;
        QTest::newRow("text, space") << 0 << u"space"_s << 1;
        QTest::newRow("image, return") << 2 << u"return"_s << 3;
        QTest::newRow("file, click") << 3 << u"click"_s << 4;
    }
    void openingHighlightsTheSelection()
    {
        QFETCH(int, selection);
        QFETCH(QString, how);
        QFETCH(int, highlighted);
        HistoryFilterMenu menu;
        menu.show();
        menu.setSelection(kindAt(selection));
        menu.setHighlightedIndex(2);
        if (how == "click"_L1)
            QTest::mouseClick(&menu, Qt::LeftButton);
        else
            QTest::keyClick(&menu, how == "space"_L1 ? Qt::Key_Space : Qt::Key_Return);
        QVERIFY(menu.isPresented());
        QVERIFY(menu.optionList()->isVisible());
        QCOMPARE(menu.highlightedIndex(), highlighted);
        QCOMPARE(menu.optionList()->highlightedIndex(), highlighted);
    }

    // In the open list, link selected (row 2): keys, a click or hover on a row, or a row out of range.
    void optionList_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("highlighted");
        QTest::addColumn<int>("selection");
        QTest::addColumn<bool>("open");
        QTest::newRow("down") << 0 << u"Down"_s << 1 << 1 << true;
        QTest::newRow("down on the last") << 4 << u"Down"_s << 4 << 1 << true;
        QTest::newRow("up") << 3 << u"Up"_s << 2 << 1 << true;
        QTest::newRow("up on the first") << 0 << u"Up"_s << 0 << 1 << true;
        QTest::newRow("return selects") << 0 << u"Return"_s << 0 << -1 << false;
        QTest::newRow("space selects") << 4 << u"Space"_s << 4 << 3 << false;
        QTest::newRow("escape closes") << 3 << u"Escape"_s << 3 << 1 << false;
        QTest::newRow("click all") << 0 << u"click 0"_s << 0 << -1 << false;
        QTest::newRow("click the selected one") << 0 << u"click 2"_s << 2 << 1 << false;
        QTest::newRow("click file") << 0 << u"click 4"_s << 4 << 3 << false;
        QTest::newRow("hover") << 0 << u"hover 3"_s << 3 << 1 << true;
        QTest::newRow("select before the first") << 0 << u"select -1"_s << 0 << 1 << true;
        QTest::newRow("select after the last") << 0 << u"select 5"_s << 0 << 1 << true;
    }
    void optionList()
    {
        QFETCH(int, start);
        QFETCH(QString, action);
        QFETCH(int, highlighted);
        QFETCH(int, selection);
        QFETCH(bool, open);
        HistoryFilterMenu menu;
        menu.show();
        menu.setSelection(ClipboardKind::link);
        menu.present();
        menu.setHighlightedIndex(start);
        QSignalSpy changes(&menu, &HistoryFilterMenu::selectionChanged);
        const QStringList words = action.split(u' ');
        const int row = words.value(1).toInt();
        if (words[0] == u"click") {
            QTest::mouseClick(menu.optionList()->optionButton(row), Qt::LeftButton);
        } else if (words[0] == u"hover") {
            QTest::mouseMove(menu.optionList()->optionButton(row),
                             menu.optionList()->optionButton(row)->rect().center());
        } else if (words[0] == u"select") {
            menu.selectOption(row);
        } else {
            const QMap<QString, Qt::Key> keys{{u"Down"_s, Qt::Key_Down},
                                              {u"Up"_s, Qt::Key_Up},
                                              {u"Return"_s, Qt::Key_Return},
                                              {u"Space"_s, Qt::Key_Space},
                                              {u"Escape"_s, Qt::Key_Escape}};
            QTest::keyClick(menu.optionList(), keys.value(action));
        }
        if (words[0] != u"click")
            QCOMPARE(menu.highlightedIndex(), highlighted);
        QCOMPARE(menu.selection(), kindAt(selection));
        QCOMPARE(changes.count(), selection == 1 ? 0 : 1);
        QCOMPARE(menu.isPresented(), open);
        QCOMPARE(menu.optionList()->isVisible(), open);
    }

    void labelsFollowSelectionAndLanguage_data()
    {
        QTest::addColumn<int>("selection");
        QTest::addColumn<QString>("english");
        QTest::newRow("all") << -1 << u"All Types"_s;
        QTest::newRow("link") << 1 << u"Link"_s;
        QTest::newRow("file") << 3 << u"File"_s;
    }
    void labelsFollowSelectionAndLanguage()
    {
        QFETCH(int, selection);
        QFETCH(QString, english);
        HistoryFilterMenu menu;
        HistorySearchField field;
        menu.setSelection(kindAt(selection));
        const int row = selection + 1;
        QCOMPARE(menu.text(), english);
        QCOMPARE(menu.optionList()->optionButton(row)->text(), english);
        QVERIFY(menu.accessibleName().contains(english));
        const QString englishPlaceholder = field.lineEdit()->placeholderText();

        AppLocalization::shared().select(AppLanguage::simplifiedChinese);
        const QString chinese = menu.text();
        const QString chineseRow = menu.optionList()->optionButton(row)->text();
        const QString chinesePlaceholder = field.lineEdit()->placeholderText();
        // The control is announced with its current value.
        QVERIFY(menu.accessibleName().contains(chinese));
        AppLocalization::shared().select(AppLanguage::english);

        QVERIFY(chinese != english);
        QCOMPARE(chineseRow, chinese);
        QVERIFY(chinesePlaceholder != englishPlaceholder);
        QCOMPARE(menu.text(), english);
        QCOMPARE(menu.optionList()->optionButton(row)->text(), english);
        QCOMPARE(field.lineEdit()->placeholderText(), englishPlaceholder);
    }
};

QTEST_MAIN(TestSidebarControls)
#include "tst_sidebarcontrols.moc"
