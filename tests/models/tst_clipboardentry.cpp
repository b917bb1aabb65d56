#include "l10n/Localization.h"
#include "models/ClipboardEntry.h"
#include "models/PasteboardType.h"

#include <QStandardPaths>
#include <QTest>
#include <optional>

using namespace Qt::StringLiterals;

using Items = QList<PasteboardItemSnapshot>;
using OptionalString = std::optional<QString>;

Q_DECLARE_METATYPE(ClipboardKind)
Q_DECLARE_METATYPE(Items)
Q_DECLARE_METATYPE(OptionalString)

// Readable kinds in failure messages, found by QCOMPARE through argument-dependent lookup.
char* toString(const ClipboardKind& kind)
{
    return QTest::toString(ClipboardKinds::rawValue(kind));
}

namespace {

// The digest of the one-item "abc" plain-text capture, taken from an independent SHA-256.
constexpr QLatin1StringView abcFingerprint{
    "34796529110749c26d97d3775668c1f745be7d57f0f0808878091158df558b30"};

PasteboardRepresentation rep(const QString& type, const QByteArray& data)
{
    return PasteboardRepresentation{type, data};
}

PasteboardItemSnapshot item(QList<PasteboardRepresentation> representations)
{
    return PasteboardItemSnapshot{std::move(representations)};
}

PasteboardItemSnapshot textItem(const QString& text)
{
    return item({rep(PasteboardType::plainText, text.toUtf8())});
}

Items files(const QList<QByteArray>& urls)
{
    Items items;
    for (const QByteArray& url : urls)
        items.append(item({rep(PasteboardType::fileURL, url)}));
    return items;
}

ClipboardEntry entry(ClipboardKind kind, OptionalString plainText, Items items = {})
{
    ClipboardEntry result;
    result.kind = kind;
    result.title = u"stored title, never shown"_s;
    result.plainText = std::move(plainText);
    result.items = std::move(items);
    return result;
}

} // namespace

class TestClipboardEntry : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        AppLocalization::shared().select(AppLanguage::english);
    }

    void textKind_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<ClipboardKind>("kind");
        const auto row = [](const char* name, const QString& text, ClipboardKind kind) {
            QTest::newRow(name) << text << kind;
        };

        row("https", u"https://example.com"_s, ClipboardKind::link);
        row("http with path, query and fragment", u"http://example.com/a?b=c#d"_s, ClipboardKind::link);
        row("mailto", u"mailto:someone@example.com"_s, ClipboardKind::link);
        row("upper-case scheme", u"HTTPS://EXAMPLE.COM/"_s, ClipboardKind::link);
        row("spaces and newlines around", u"  \n\thttps://example.com/page \r\n"_s, ClipboardKind::link);
        row("no-break and ideographic spaces around", u"\u00A0https://example.com\u3000"_s,
            ClipboardKind::link);
        row("trailing word", u"https://example.com more"_s, ClipboardKind::text);
        row("second line", u"https://example.com\nmore"_s, ClipboardKind::text);
        row("ftp", u"ftp://example.com/file"_s, ClipboardKind::text);
        row("scheme merely starting with https", u"https2://example.com"_s, ClipboardKind::text);
        row("host without scheme", u"www.example.com"_s, ClipboardKind::text);
        row("empty", QString(), ClipboardKind::text);
        row("address longer than 32 KiB", u"https://example.com/"_s + u"a"_s.repeated(40000),
            ClipboardKind::text);
    }

    void textKind()
    {
        QFETCH(QString, text);
        QFETCH(ClipboardKind, kind);
        QCOMPARE(ClipboardEntry::textKind(text), kind);
    }

    void classify_data()
    {
        QTest::addColumn<Items>("items");
        QTest::addColumn<OptionalString>("text");
        QTest::addColumn<ClipboardKind>("kind");
        QTest::addColumn<QString>("title");

        const QByteArray png("\x89PNG\r\n\x1a\n");
        const auto fileRow = [](const char* name, const Items& items, const QString& title) {
            QTest::newRow(name) << items << OptionalString() << ClipboardKind::file << title;
        };
        QTest::newRow("file beats image")
            << Items{item(
                   {rep(PasteboardType::png, png), rep(PasteboardType::fileURL, "file:///tmp/report.pdf")})}
            << OptionalString(u"report.pdf"_s) << ClipboardKind::file << u"report.pdf"_s;
        fileRow("file URL on a later item",
                Items{item({rep(PasteboardType::png, png)})} + files({"file:///p.jpg"}), u"p.jpg"_s);
        fileRow("two file URLs", files({"file:///tmp/first.txt", "file:///tmp/second.txt"}), u"first.txt"_s);
        fileRow("folder", files({"file:///home/me/Projects/"}), u"Projects"_s);
        fileRow("percent-encoded name", files({"file:///tmp/My%20Notes.txt"}), u"My Notes.txt"_s);
        fileRow("undecodable file URL passed over", files({"file:///tmp/\xff\xfe.txt", "file:///tmp/b.txt"}),
                u"b.txt"_s);
        fileRow("no decodable file URL", files({"\xff\xfe"}), QString());
        // The title does not check the scheme; only the file list does.
        fileRow("web URL under the file-URL type", files({"https://example.com/page.html"}), u"page.html"_s);
        QTest::newRow("image beats text")
            << Items{item({rep(PasteboardType::plainText, "caption"), rep(PasteboardType::png, png)})}
            << OptionalString(u"caption"_s) << ClipboardKind::image << QString();
        QTest::newRow("tiff is an image") << Items{item({rep(PasteboardType::tiff, "II*")})}
                                          << OptionalString() << ClipboardKind::image << QString();
        QTest::newRow("rich text without plain text") << Items{item({rep(PasteboardType::rtf, "{\\rtf1 b}")})}
                                                      << OptionalString() << ClipboardKind::text << QString();

        const auto textRow = [](const char* name, const QString& text, const QString& title,
                                ClipboardKind kind = ClipboardKind::text) {
            QTest::newRow(name) << Items{textItem(text)} << OptionalString(text) << kind << title;
        };
        textRow("link", u"https://example.com"_s, u"https://example.com"_s, ClipboardKind::link);
        textRow("first line", u"first\nsecond"_s, u"first"_s);
        textRow("two empty lines skipped", u"\n\nthird\nfourth"_s, u"third"_s);
        textRow("CR LF", u"\r\n\r\nline\r\nnext"_s, u"line"_s);
        textRow("VT, FF, NEL and separators", u"\v\f\u0085\u2028\u2029title\u0085rest"_s, u"title"_s);
        textRow("spaces are a line", u"   \nsecond"_s, u"   "_s);
        textRow("only newlines", u"\n\r\n\u2029"_s, QString());
        textRow("161 characters cut", u"a"_s.repeated(161), u"a"_s.repeated(160));
        // Counted in user-perceived characters, not code units.
        const QString family = u"\U0001F468\u200D\U0001F469\u200D\U0001F467\u200D\U0001F466"_s;
        textRow("161 emoji families cut", family.repeated(161), family.repeated(160));
    }

    void classify()
    {
        QFETCH(Items, items);
        QFETCH(OptionalString, text);
        QFETCH(ClipboardKind, kind);
        QFETCH(QString, title);

        const ClipboardEntry::Classification result = ClipboardEntry::classify(items, text);
        QCOMPARE(result.kind, kind);
        QCOMPARE(result.title, title);
    }

    // Known digests fix the hash exactly: its framing, the order of items and of representations.
    void knownFingerprints_data()
    {
        QTest::addColumn<Items>("items");
        QTest::addColumn<QString>("digest");

        QTest::newRow("one plain-text item") << Items{textItem(u"abc"_s)} << QString(abcFingerprint);
        QTest::newRow("no items") << Items{}
                                  << u"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"_s;
        // U+FF21 sorts before U+1F600 by scalar value but after it by UTF-16 code unit.
        QTest::newRow("types sorted by scalar value")
            << Items{item({rep(u"\U0001F600"_s, "x"), rep(u"\uFF21"_s, "y")})}
            << u"90f1baea64671adf4f69f426931253ac22c4b7e5f1bb253fe0496e08c46f2d5b"_s;
        // e + U+0301 composes to U+00E9 and so sorts after f; its bytes are fed as given.
        QTest::newRow("types compared composed")
            << Items{item({rep(u"e\u0301"_s, "x"), rep(u"f"_s, "y")})}
            << u"1f1d02e3f454cc4dcb1128da4f774f3937e4db09bf018acdd20a679a2a17af94"_s;
        QTest::newRow("equal types keep their order")
            << Items{item({rep(PasteboardType::plainText, "2"), rep(PasteboardType::plainText, "1")})}
            << u"87067d6680e8f19e6372b12d543e504505cd323ce20d7d528a755d36c7d0b9ab"_s;
    }

    void knownFingerprints()
    {
        QFETCH(Items, items);
        QFETCH(QString, digest);
        QCOMPARE(ClipboardEntry::fingerprintOf(items), digest);
    }

    void deduplicationKey_data()
    {
        QTest::addColumn<QString>("sourceName");
        QTest::addColumn<OptionalString>("bundleIdentifier");
        QTest::addColumn<QString>("key");

        // Over the "abc" fingerprint, e.g. SHA-256("11:name:Editor" + fingerprint).
        const QString editorKey = u"4f7ee4da4435bd4e535bfbfdf73c500e1946e005cf67caa99a421dba843822b9"_s;
        const QString bundleKey = u"30e22a32b70e62954028d9b1057c3f8c1d295c92fe2a64d294026c34d5009924"_s;
        const OptionalString bundle(u"org.example.editor"_s);

        QTest::newRow("name identity") << u"Editor"_s << OptionalString() << editorKey;
        QTest::newRow("empty bundle identifier") << u"Editor"_s << OptionalString(QString()) << editorKey;
        QTest::newRow("bundle identity") << u"Editor"_s << bundle << bundleKey;
        QTest::newRow("bundle identity ignores the name") << u"Renamed"_s << bundle << bundleKey;
        // "name:Éditeur" is 12 characters but 13 UTF-8 bytes.
        QTest::newRow("length counted in UTF-8 bytes")
            << u"\u00C9diteur"_s << OptionalString()
            << u"d69ccf78413410469bb7c5c7b9a3c19e4f4cf99e6f5cbfefbcfebb4aad65f67b"_s;
    }

    void deduplicationKey()
    {
        QFETCH(QString, sourceName);
        QFETCH(OptionalString, bundleIdentifier);
        QFETCH(QString, key);
        QCOMPARE(ClipboardEntry::makeDeduplicationKey(sourceName, bundleIdentifier, QString(abcFingerprint)),
                 key);
    }

    void byteCount()
    {
        const Items items{
            item({rep(PasteboardType::plainText, "abc"), rep(PasteboardType::html, "<p>abc</p>")}),
            item({rep(PasteboardType::rtf, {}), rep(PasteboardType::png, QByteArray(1000, 'x'))})};
        QCOMPARE(entry(ClipboardKind::image, {}, items).byteCount(), 3 + 10 + 1000);
    }

    // The first file URL of each item, when it decodes and has the file scheme.
    void fileURLs()
    {
        const auto urls = [](const Items& items) { return entry(ClipboardKind::file, {}, items).fileURLs(); };
        QCOMPARE(urls(files({"file:///tmp/b.txt", "https://example.com/a.txt", "file:///tmp/\xc3"}) +
                      Items{textItem(u"file:///c"_s)} + files({"file:///a"})),
                 (QList<QUrl>{QUrl(u"file:///tmp/b.txt"_s), QUrl(u"file:///a"_s)}));
        QCOMPARE(urls({item({rep(PasteboardType::fileURL, "https://example.com/"),
                             rep(PasteboardType::fileURL, "file:///tmp/x")})}),
                 QList<QUrl>());
    }

    void linkURL()
    {
        const auto url = [](ClipboardKind kind, const OptionalString& text) {
            return entry(kind, text).linkURL().value_or(QUrl());
        };
        QCOMPARE(url(ClipboardKind::link, u" \nhttps://example.com/a?b=c \n"_s),
                 QUrl(u"https://example.com/a?b=c"_s));
        QCOMPARE(url(ClipboardKind::text, u"https://example.com"_s), QUrl());
        QCOMPARE(url(ClipboardKind::link, std::nullopt), QUrl());
        QCOMPARE(url(ClipboardKind::link, u"ftp://example.com/file"_s), QUrl());
    }

    void displayTitle_data()
    {
        QTest::addColumn<ClipboardEntry>("entry");
        QTest::addColumn<QString>("title");
        using Kind = ClipboardKind;
        const auto many = [](const QString& first, int count) {
            return L10n::format(L10n::Key::multipleFiles, first, count);
        };

        QTest::newRow("first line of text") << entry(Kind::text, u"\n  first\nsecond"_s) << u"  first"_s;
        QTest::newRow("link") << entry(Kind::link, u"https://example.com/a"_s) << u"https://example.com/a"_s;
        QTest::newRow("only newlines") << entry(Kind::text, u"\n\n\n"_s) << L10n::text(L10n::Key::kindText);
        QTest::newRow("no plain text")
            << entry(Kind::text, std::nullopt) << L10n::text(L10n::Key::richTextTitle);
        QTest::newRow("image") << entry(Kind::image, u"caption"_s) << L10n::text(L10n::Key::copiedImage);
        QTest::newRow("one file") << entry(Kind::file, std::nullopt, files({"file:///home/u/notes%201.txt"}))
                                  << u"notes 1.txt"_s;
        QTest::newRow("three files") << entry(Kind::file, {},
                                              files({"file:///a/first.txt", "file:///b", "file:///c/"}))
                                     << many(u"first.txt"_s, 3);
        QTest::newRow("files with a bad escape or another scheme not counted")
            << entry(Kind::file, {},
                     files({"file:///a/first.txt", "file:///b%zz", "https://c", "file:///d%41"}))
            << many(u"first.txt"_s, 2);
        QTest::newRow("a file entry holding a web address")
            << entry(Kind::file, {}, files({"https://example.com/x.txt"})) << L10n::text(L10n::Key::kindFile);
    }

    void displayTitle()
    {
        QFETCH(ClipboardEntry, entry);
        QFETCH(QString, title);
        QCOMPARE(entry.displayTitle(), title);
    }

    void displaySourceName()
    {
        const auto shown = [](const QString& name) {
            ClipboardEntry e;
            e.sourceName = name;
            return e.displaySourceName();
        };
        QCOMPARE(shown(QString()), L10n::text(L10n::Key::otherApp));
        QCOMPARE(shown(u"其他应用"_s),
                 L10n::text(L10n::Key::otherApp)); // what older histories stored
        QCOMPARE(shown(u" "_s), u" "_s);
    }
};

QTEST_GUILESS_MAIN(TestClipboardEntry)
#include "tst_clipboardentry.moc"
