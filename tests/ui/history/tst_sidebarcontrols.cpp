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

    void clearButtonFollowsText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("visible");
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("letter") << u"a"_s << true;
        QTest::newRow("only a space") << u" "_s << true;
    }

    void clearButtonFollowsText()
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

    void escapeInTheInput_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("handled");
        QTest::newRow("with text empties it") << u"query"_s << true;
        QTest::newRow("empty passes it on") << QString() << false;
    }

    void escapeInTheInput()
    {
        QFETCH(QString, text);
        QFETCH(bool, handled);
        HistorySearchField field;
        field.setText(text);
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(field.lineEdit(), &escape);
        QCOMPARE(field.text(), QString());
        QCOMPARE(escape.isAccepted(), handled);
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

    void keysInTheOptionList_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("highlighted");
        QTest::addColumn<int>("selection");
        QTest::addColumn<bool>("open");
        QTest::newRow("down") << 0 << int(Qt::Key_Down) << 1 << 1 << true;
        QTest::newRow("down on the last") << 4 << int(Qt::Key_Down) << 4 << 1 << true;
        QTest::newRow("up") << 3 << int(Qt::Key_Up) << 2 << 1 << true;
        QTest::newRow("up on the first") << 0 << int(Qt::Key_Up) << 0 << 1 << true;
        QTest::newRow("return selects") << 0 << int(Qt::Key_Return) << 0 << -1 << false;
        QTest::newRow("space selects") << 4 << int(Qt::Key_Space) << 4 << 3 << false;
        QTest::newRow("escape closes") << 3 << int(Qt::Key_Escape) << 3 << 1 << false;
    }

    void keysInTheOptionList()
    {
        QFETCH(int, start);
        QFETCH(int, key);
        QFETCH(int, highlighted);
        QFETCH(int, selection);
        QFETCH(bool, open);
        HistoryFilterMenu menu;
        menu.show();
        menu.setSelection(ClipboardKind::link);
        menu.present();
        menu.setHighlightedIndex(start);
        QTest::keyClick(menu.optionList(), Qt::Key(key));
        QCOMPARE(menu.highlightedIndex(), highlighted);
        QCOMPARE(menu.selection(), kindAt(selection));
        QCOMPARE(menu.isPresented(), open);
        QCOMPARE(menu.optionList()->isVisible(), open);
    }

    void clickingAnOptionSelectsAndCloses_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("changes");
        QTest::newRow("all") << 0 << 1;
        QTest::newRow("the selected one") << 2 << 0;
        QTest::newRow("file") << 4 << 1;
    }

    void clickingAnOptionSelectsAndCloses()
    {
        QFETCH(int, index);
        QFETCH(int, changes);
        HistoryFilterMenu menu;
        menu.show();
        menu.setSelection(ClipboardKind::link);
        QSignalSpy spy(&menu, &HistoryFilterMenu::selectionChanged);
        menu.present();
        QTest::mouseClick(menu.optionList()->optionButton(index), Qt::LeftButton);
        QCOMPARE(menu.selection(), menu.options().at(index));
        QCOMPARE(spy.count(), changes);
        QVERIFY(!menu.isPresented());
        QVERIFY(!menu.optionList()->isVisible());
    }

    void hoverMovesTheHighlight()
    {
        HistoryFilterMenu menu;
        menu.show();
        menu.present();
        QAbstractButton* row = menu.optionList()->optionButton(3);
        QTest::mouseMove(row, row->rect().center());
        QCOMPARE(menu.highlightedIndex(), 3);
        QVERIFY(menu.isPresented());
    }

    void selectOptionOutsideTheOptionsDoesNothing_data()
    {
        QTest::addColumn<int>("index");
        QTest::newRow("before") << -1;
        QTest::newRow("after") << 5;
    }

    void selectOptionOutsideTheOptionsDoesNothing()
    {
        QFETCH(int, index);
        HistoryFilterMenu menu;
        menu.show();
        menu.setSelection(ClipboardKind::image);
        menu.present();
        QSignalSpy spy(&menu, &HistoryFilterMenu::selectionChanged);
        menu.selectOption(index);
        QCOMPARE(menu.selection(), ClipboardKind::image);
        QCOMPARE(spy.count(), 0);
        QVERIFY(menu.isPresented());
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
