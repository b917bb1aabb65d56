#include "l10n/Localization.h"
#include "support/EncodedImage.h"
#include "support/TestColumns.h"
#include "support/UiHarness.h"
#include "ui/common/ClipboardEmptyState.h"
#include "ui/common/HistoryButton.h"
#include "ui/detail/CenteredTextView.h"
#include "ui/detail/DetailView.h"
#include "ui/detail/EntryPreview.h"
#include "ui/detail/ErrorBanner.h"
#include "ui/detail/FileListPreview.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QTextBrowser>

using namespace Qt::StringLiterals;

namespace {

ClipboardEntry linkEntry(const QString& address)
{
    return withKind(makeEntry(address, 10), ClipboardKind::link);
}

struct Harness : ModelHome {
    std::unique_ptr<DetailView> view;

    explicit Harness(const QList<ClipboardEntry>& entries) : ModelHome(entries)
    {
        view = std::make_unique<DetailView>(*model);
        view->resize(640, 480);
        view->show();
    }
};

} // namespace

class TestDetailView : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        AppLocalization::shared().select(AppLanguage::english);
    }

    void bodyFollowsTheModel()
    {
        Harness h({makeEntry(u"hello"_s, 2), makeEntry(u"world"_s, 1)});
        QVERIFY(!h.view->emptyState()->isVisible());
        QVERIFY(!h.view->preview());
        QVERIFY(!h.view->copyAgainButton()->isEnabled());

        QVERIFY(h.load());
        QVERIFY(h.view->preview());
        EntryPreview* first = h.view->preview();
        QCOMPARE(first->entry().title, u"hello"_s);
        h.view->copyAgainButton()->click();
        QCOMPARE(h.pasteboard.writes.size(), 1);

        // Unrelated changes keep the preview; another selection replaces it.
        h.model->setActivityMessage(AppMessage{L10n::Key::copyTooLarge, std::nullopt});
        QCOMPARE(h.view->preview(), first);
        QCOMPARE(h.view->activityLabel()->text(), L10n::text(L10n::Key::copyTooLarge));
        QVERIFY(!h.view->errorBanner()->isVisible());
        h.model->setErrorMessage(AppMessage{std::nullopt, AppError::fixed(u"The disk is full"_s)});
        QVERIFY(h.view->errorBanner()->isVisible());
        QCOMPARE(h.view->errorBanner()->text(), u"The disk is full"_s);
        h.view->errorBanner()->dismissButton()->click();
        QVERIFY(!h.model->errorMessage());
        QVERIFY(!h.view->errorBanner()->isVisible());
        h.model->setSelection(h.model->entries().last().id);
        QVERIFY(h.view->preview() != first);

        h.model->setQuery(u"nothing matches this"_s);
        QVERIFY(!h.view->preview());
        QVERIFY(h.view->emptyState()->isVisible());
        QCOMPARE(h.view->emptyState()->message(), L10n::text(L10n::Key::detailEmpty));
        QVERIFY(!h.view->copyAgainButton()->isEnabled());
    }

    // What a preview shows, and whether it says that only a leading part of a huge entry is shown.
    void previews_data()
    {
        addColumns<ClipboardEntry, QString, bool>("entry", "text", "notice");
        ClipboardEntry rich = makeEntry(u"x"_s, 1);
        rich.plainText.reset();
        rich.items = {{{{PasteboardType::rtf, "{\\rtf1\\ansi Hello {\\b bold} world\\par}"}}}};
        ClipboardEntry unreadable = rich;
        unreadable.items = {{{{PasteboardType::rtf, "not rtf"}}}};
        QStringList paths;
        for (int index = 0; index < 150; ++index)
            paths.append(u"/nowhere/%1.txt"_s.arg(index));
        QTest::newRow("plain text") << makeEntry(u"plain"_s, 1) << u"plain"_s << false;
        QTest::newRow("rich text only") << rich << u"Hello bold world"_s << false;
        QTest::newRow("unreadable rich text")
            << unreadable << L10n::text(L10n::Key::richTextPreview) << false;
        QTest::newRow("huge text") << makeEntry(u"word "_s.repeated(200000), 1) << QString() << true;
        QTest::newRow("huge link") << linkEntry(u"https://example.com/?q="_s + QString(200000, u'a'))
                                   << QString() << true;
        QTest::newRow("few files") << fileEntry(paths.first(3)) << QString() << false;
        QTest::newRow("many files") << fileEntry(paths) << QString() << true;
    }
    void previews()
    {
        QFETCH(ClipboardEntry, entry);
        QFETCH(QString, text);
        QFETCH(bool, notice);
        EntryPreview preview(entry);
        if (auto* view = qobject_cast<CenteredTextView*>(preview.content()); view && !text.isEmpty())
            QTRY_COMPARE(view->text(), text);
        QCOMPARE(preview.truncationNotice()->isVisibleTo(&preview), notice);
        QCOMPARE(preview.truncationNotice()->text().isEmpty(), !notice);
        if (auto* files = qobject_cast<FileListPreview*>(preview.content())) {
            const QList<QLabel*> labels = files->findChildren<QLabel*>();
            const auto shown = std::count_if(labels.begin(), labels.end(), [](QLabel* label) {
                return label->text().startsWith(u"/nowhere/"_s);
            });
            QVERIFY(shown > 0 && shown < 150);
        }
    }

    void longTextScrollsFromTheTopAndRewraps()
    {
        CenteredTextView view;
        view.resize(600, 400);
        view.QWidget::show();
        view.show(QString(4000, u'w').replace(u'w', u"word "_s), view.font(), std::nullopt, u"preview"_s);
        QTRY_COMPARE(view.textGeometry().width(), view.viewport()->width() - 40);
        const QRect longText = view.textGeometry();
        QCOMPARE(longText.top(), 12);
        QVERIFY(longText.height() > view.viewport()->height());

        // Filled while hidden in a narrow frame, then shown wide: the line must not keep the narrow wrap.
        CenteredTextView hidden;
        hidden.resize(100, 40);
        const QString line = u"Meeting notes for Thursday: ship on Monday"_s;
        hidden.show(line, hidden.font(), std::nullopt, u"preview"_s);
        hidden.resize(700, 400);
        hidden.QWidget::show();
        QVERIFY(hidden.textGeometry().width() >= hidden.fontMetrics().horizontalAdvance(line));
    }

    void longTextIsShownInBoundedParagraphs_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("truncated");
        QTest::newRow("short lines") << u"hello\nworld"_s << false;
        QTest::newRow("words on one line") << u"lorem ipsum dolor sit amet "_s.repeated(8000) << true;
        QTest::newRow("one word") << QString(15000, u'x') << false;
        QTest::newRow("family emoji")
            << u"\U0001F468\u200D\U0001F469\u200D\U0001F467\u0301"_s.repeated(5000) << true;
        QTest::newRow("log") << u"15:07:01 INFO request handled in 12 ms, status 200\n"_s.repeated(2000)
                             << true;
    }
    void longTextIsShownInBoundedParagraphs()
    {
        QFETCH(QString, text);
        QFETCH(bool, truncated);
        CenteredTextView view;
        view.resize(600, 400);
        view.QWidget::show();
        view.show(text, view.font(), std::nullopt, u"preview"_s);
        QCOMPARE(view.isTruncated(), truncated);

        // Every paragraph is short, and every cut falls between user-perceived characters.
        QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
        graphemes.setPosition(view.shownLength());
        QVERIFY(graphemes.isAtBoundary());
        QTextDocument* document = view.textBrowser()->document();
        qsizetype source = 0;
        for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
            QVERIFY(block.length() - 1 <= CenteredTextView::maxParagraphLength);
            graphemes.setPosition(source);
            QVERIFY(graphemes.isAtBoundary());
            source += block.length() - 1 + (text.mid(source + block.length() - 1, 1) == u"\n"_s);
        }

        // Copying the whole preview gives the text as it was, lines joined again.
        view.textBrowser()->selectAll();
        view.textBrowser()->copy();
        QCOMPARE(QGuiApplication::clipboard()->text(), text.first(view.shownLength()));
    }

    void aLinkThatCannotBeOpenedShowsAnError_data()
    {
        QTest::addColumn<bool>("opens");
        QTest::newRow("opened") << true;
        QTest::newRow("no browser") << false;
    }
    void aLinkThatCannotBeOpenedShowsAnError()
    {
        QFETCH(bool, opens);
        const QUrl address(u"https://example.com/a"_s);
        Harness h({linkEntry(address.toString())});
        QList<QUrl> opened;
        h.model->openURL = [&](const QUrl& url) {
            opened.append(url);
            return opens;
        };
        QVERIFY(h.load());
        auto* text = qobject_cast<CenteredTextView*>(h.view->preview()->content());
        QVERIFY(text);
        QTRY_VERIFY(text->isVisible());
        QTextBrowser* browser = text->textBrowser();
        QTextCursor cursor(browser->document());
        cursor.setPosition(3);
        const QPoint link = browser->cursorRect(cursor).center();
        QTest::mouseClick(browser->viewport(), Qt::LeftButton, {}, link);
        QCOMPARE(opened, QList<QUrl>{address});
        QCOMPARE(h.view->errorBanner()->isVisible(), !opens);
        if (!opens)
            QCOMPARE(h.view->errorBanner()->text(), L10n::text(L10n::Key::linkOpenFailed));
    }

    void imageAndFilePreviews()
    {
        QImage image(300, 200, QImage::Format_RGB32);
        image.fill(Qt::red);
        Harness h({imageEntry(encodedImage(image, "png")), imageEntry("not an image"),
                   fileEntry({QDir::tempPath(), u"/nowhere/gone.txt"_s})});
        QVERIFY(h.load());
        QSignalSpy loaded(h.view->preview(), &EntryPreview::imageLoaded);
        QVERIFY(loaded.wait(10000));
        QCOMPARE(h.view->preview()->imageDimensions(), std::optional(QSize(300, 200)));

        h.model->setSelection(h.model->entries()[1].id);
        auto* unavailable = qobject_cast<ClipboardEmptyState*>(h.view->preview()->content());
        QVERIFY(unavailable);
        QCOMPARE(unavailable->message(), L10n::text(L10n::Key::imagePreviewUnavailable));

        h.model->setSelection(h.model->entries()[2].id);
        auto* files = qobject_cast<FileListPreview*>(h.view->preview()->content());
        QVERIFY(files);
        int warnings = 0;
        for (QLabel* label : files->findChildren<QLabel*>())
            warnings += label->text() == L10n::text(L10n::Key::fileUnavailable);
        QCOMPARE(warnings, 1);
    }

    void datesFollowTheInterfaceLanguage()
    {
        const Timestamp time =
            Timestamp::fromDateTime(QDateTime(QDate(2026, 3, 4), QTime(15, 7), Qt::LocalTime));
        const QString english = EntryPreview::dateText(time, u"en"_s);
        QVERIFY2(english.contains(u"Mar"_s) && english.contains(u"3:07"_s) && english.contains(u"PM"_s),
                 qPrintable(english));
        const QString chinese = EntryPreview::dateText(time, u"zh-Hans"_s);
        QVERIFY2(chinese.contains(u"3月4日"_s), qPrintable(chinese));
    }
};

QTEST_MAIN(TestDetailView)
#include "tst_detailview.moc"
