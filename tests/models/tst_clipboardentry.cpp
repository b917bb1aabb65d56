#include "models/ClipboardEntry.h"
#include "models/PasteboardType.h"

#include <QTest>
#include <optional>

using namespace Qt::StringLiterals;

using Items = QList<PasteboardItemSnapshot>;
using OptionalString = std::optional<QString>;
using OptionalBytes = std::optional<QByteArray>;
using OptionalUrl = std::optional<QUrl>;

Q_DECLARE_METATYPE(ClipboardKind)
Q_DECLARE_METATYPE(Items)
Q_DECLARE_METATYPE(OptionalString)
Q_DECLARE_METATYPE(OptionalBytes)
Q_DECLARE_METATYPE(OptionalUrl)

// Readable kinds in failure messages; found by QCOMPARE through argument-dependent lookup.
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

PasteboardItemSnapshot fileItem(const QByteArray& url)
{
    return item({rep(PasteboardType::fileURL, url)});
}

const QString family = u"\U0001F468\u200D\U0001F469\u200D\U0001F467\u200D\U0001F466"_s;
const QString flag = u"\U0001F1EB\U0001F1F7"_s;

} // namespace

class TestClipboardEntry : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void textKind_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<ClipboardKind>("kind");

        QTest::newRow("https") << u"https://example.com"_s << ClipboardKind::link;
        QTest::newRow("http with path, query and fragment")
            << u"http://example.com/a?b=c#d"_s << ClipboardKind::link;
        QTest::newRow("mailto") << u"mailto:someone@example.com"_s << ClipboardKind::link;
        QTest::newRow("upper-case scheme") << u"HTTPS://EXAMPLE.COM/"_s << ClipboardKind::link;
        QTest::newRow("spaces and newlines around")
            << u"  \n\thttps://example.com/page \r\n"_s << ClipboardKind::link;
        QTest::newRow("no-break and ideographic spaces around")
            << u"\u00A0https://example.com\u3000"_s << ClipboardKind::link;
        QTest::newRow("trailing word") << u"https://example.com more"_s << ClipboardKind::text;
        QTest::newRow("second line") << u"https://example.com\nmore"_s << ClipboardKind::text;
        QTest::newRow("ftp") << u"ftp://example.com/file"_s << ClipboardKind::text;
        QTest::newRow("scheme merely starting with https")
            << u"https2://example.com"_s << ClipboardKind::text;
        QTest::newRow("host without scheme") << u"www.example.com"_s << ClipboardKind::text;
        QTest::newRow("plain words") << u"hello world"_s << ClipboardKind::text;
        QTest::newRow("empty") << QString() << ClipboardKind::text;
        QTest::newRow("address longer than 32 KiB")
            << u"https://example.com/"_s + u"a"_s.repeated(40000) << ClipboardKind::text;
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

        QTest::newRow("file beats image")
            << Items{item(
                   {rep(PasteboardType::png, png), rep(PasteboardType::fileURL, "file:///tmp/report.pdf")})}
            << OptionalString(u"report.pdf"_s) << ClipboardKind::file << u"report.pdf"_s;
        QTest::newRow("file URL on a later item")
            << Items{item({rep(PasteboardType::png, png)}), fileItem("file:///tmp/photo.jpg")}
            << OptionalString() << ClipboardKind::file << u"photo.jpg"_s;
        QTest::newRow("image beats text")
            << Items{item({rep(PasteboardType::plainText, "caption"), rep(PasteboardType::png, png)})}
            << OptionalString(u"caption"_s) << ClipboardKind::image << QString();
        QTest::newRow("tiff is an image") << Items{item({rep(PasteboardType::tiff, "II*")})}
                                          << OptionalString() << ClipboardKind::image << QString();
        QTest::newRow("rich text without plain text")
            << Items{item({rep(PasteboardType::rtf, "{\\rtf1 bold}")})} << OptionalString()
            << ClipboardKind::text << QString();
        QTest::newRow("two file URLs")
            << Items{fileItem("file:///tmp/first.txt"), fileItem("file:///tmp/second.txt")}
            << OptionalString() << ClipboardKind::file << u"first.txt"_s;
        QTest::newRow("folder") << Items{fileItem("file:///home/me/Projects/")} << OptionalString()
                                << ClipboardKind::file << u"Projects"_s;
        QTest::newRow("percent-encoded name") << Items{fileItem("file:///tmp/My%20Notes.txt")}
                                              << OptionalString() << ClipboardKind::file << u"My Notes.txt"_s;
        QTest::newRow("undecodable file URL passed over")
            << Items{fileItem("file:///tmp/\xff\xfe.txt"), fileItem("file:///tmp/second.txt")}
            << OptionalString() << ClipboardKind::file << u"second.txt"_s;
        QTest::newRow("no decodable file URL")
            << Items{fileItem("\xff\xfe")} << OptionalString() << ClipboardKind::file << QString();
        // The title does not check the scheme; only the file list does.
        QTest::newRow("web URL under the file-URL type")
            << Items{fileItem("https://example.com/page.html")} << OptionalString() << ClipboardKind::file
            << u"page.html"_s;

        const auto textRow = [](const char* name, const QString& text, const QString& title,
                                ClipboardKind kind = ClipboardKind::text) {
            QTest::newRow(name) << Items{textItem(text)} << OptionalString(text) << kind << title;
        };
        textRow("link", u"https://example.com"_s, u"https://example.com"_s, ClipboardKind::link);
        textRow("link followed by a line", u"https://example.com\nmore"_s, u"https://example.com"_s);
        textRow("first line", u"first\nsecond"_s, u"first"_s);
        textRow("two empty lines skipped", u"\n\nthird\nfourth"_s, u"third"_s);
        textRow("CR LF", u"\r\n\r\nline\r\nnext"_s, u"line"_s);
        textRow("VT and FF", u"\v\ftitle\vrest"_s, u"title"_s);
        textRow("NEL", u"\u0085title\u0085rest"_s, u"title"_s);
        textRow("line and paragraph separators", u"\u2028\u2029title\u2028rest"_s, u"title"_s);
        textRow("spaces are a line", u"   \nsecond"_s, u"   "_s);
        textRow("only newlines", u"\n\r\n\u2029"_s, QString());
        textRow("empty", QString(), QString());
        textRow("160 characters kept", u"a"_s.repeated(160), u"a"_s.repeated(160));
        textRow("161 characters cut", u"a"_s.repeated(161), u"a"_s.repeated(160));
        // Counted in user-perceived characters, so lines longer in code units are kept whole.
        textRow("100 emoji families kept", family.repeated(100), family.repeated(100));
        textRow("161 emoji families cut", family.repeated(161), family.repeated(160));
        textRow("flags after one letter", u"a"_s + flag.repeated(161), u"a"_s + flag.repeated(159));
        textRow("combining accents", u"e\u0301"_s.repeated(161), u"e\u0301"_s.repeated(160));
        textRow("long accented line ends at its newline", u"e\u0301"_s.repeated(100) + u"\nrest"_s,
                u"e\u0301"_s.repeated(100));
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

    void fingerprintIdentity_data()
    {
        QTest::addColumn<Items>("first");
        QTest::addColumn<Items>("second");
        QTest::addColumn<bool>("same");

        const PasteboardRepresentation text = rep(PasteboardType::plainText, "hello");
        const PasteboardRepresentation html = rep(PasteboardType::html, "<b>hello</b>");

        QTest::newRow("representation order inside an item")
            << Items{item({text, html})} << Items{item({html, text})} << true;
        QTest::newRow("item order") << Items{item({text}), item({html})} << Items{item({html}), item({text})}
                                    << false;
        QTest::newRow("same bytes under another type")
            << Items{item({rep(PasteboardType::plainText, "x")})}
            << Items{item({rep(PasteboardType::html, "x")})} << false;
        QTest::newRow("added empty representation")
            << Items{item({text})} << Items{item({text, rep(PasteboardType::rtf, {})})} << false;
        QTest::newRow("one item or two")
            << Items{item({text, html})} << Items{item({text}), item({html})} << false;
        QTest::newRow("bytes moved between representations")
            << Items{item({rep(PasteboardType::html, "ab"), rep(PasteboardType::plainText, "")})}
            << Items{item({rep(PasteboardType::html, "a"), rep(PasteboardType::plainText, "b")})} << false;
        QTest::newRow("equal types swapped")
            << Items{item({rep(PasteboardType::plainText, "1"), rep(PasteboardType::plainText, "2")})}
            << Items{item({rep(PasteboardType::plainText, "2"), rep(PasteboardType::plainText, "1")})}
            << false;
    }

    void fingerprintIdentity()
    {
        QFETCH(Items, first);
        QFETCH(Items, second);
        QFETCH(bool, same);
        QCOMPARE(ClipboardEntry::fingerprintOf(first) == ClipboardEntry::fingerprintOf(second), same);
    }

    void deduplicationKey_data()
    {
        QTest::addColumn<QString>("sourceName");
        QTest::addColumn<OptionalString>("bundleIdentifier");
        QTest::addColumn<QString>("key");

        // Over the "abc" fingerprint, e.g. SHA-256("11:name:Editor" + fingerprint).
        const QString editorKey = u"4f7ee4da4435bd4e535bfbfdf73c500e1946e005cf67caa99a421dba843822b9"_s;
        const QString bundleKey = u"30e22a32b70e62954028d9b1057c3f8c1d295c92fe2a64d294026c34d5009924"_s;

        QTest::newRow("name identity") << u"Editor"_s << OptionalString() << editorKey;
        QTest::newRow("empty bundle identifier") << u"Editor"_s << OptionalString(QString()) << editorKey;
        QTest::newRow("bundle identity")
            << u"Editor"_s << OptionalString(u"org.example.editor"_s) << bundleKey;
        QTest::newRow("bundle identity ignores the name")
            << u"Renamed"_s << OptionalString(u"org.example.editor"_s) << bundleKey;
        QTest::newRow("no source") << QString() << OptionalString()
                                   << u"8a807e60a82ee990e2d8163783837d69717fbb9fa2c6f06dbd6e5afd29ac50ff"_s;
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
        ClipboardEntry entry;
        entry.items = {item({rep(PasteboardType::plainText, "abc"), rep(PasteboardType::html, "<p>abc</p>")}),
                       item({rep(PasteboardType::rtf, {}), rep(PasteboardType::png, QByteArray(1000, 'x'))})};
        QCOMPARE(entry.byteCount(), qint64(3 + 10 + 1000));
    }

    void fileURLs_data()
    {
        QTest::addColumn<Items>("items");
        QTest::addColumn<QList<QUrl>>("urls");

        QTest::newRow("in item order")
            << Items{fileItem("file:///tmp/b.txt"), fileItem("file:///tmp/a.txt")}
            << QList<QUrl>{QUrl(u"file:///tmp/b.txt"_s), QUrl(u"file:///tmp/a.txt"_s)};
        QTest::newRow("other scheme skipped")
            << Items{fileItem("https://example.com/a.txt"), fileItem("file:///a")}
            << QList<QUrl>{QUrl(u"file:///a"_s)};
        QTest::newRow("invalid UTF-8 skipped") << Items{fileItem("file:///tmp/\xc3"), fileItem("file:///b")}
                                               << QList<QUrl>{QUrl(u"file:///b"_s)};
        QTest::newRow("item without file URL skipped")
            << Items{textItem(u"file:///a"_s), fileItem("file:///b")} << QList<QUrl>{QUrl(u"file:///b"_s)};
        QTest::newRow("only an item's first file URL counts")
            << Items{item({rep(PasteboardType::fileURL, "https://example.com/"),
                           rep(PasteboardType::fileURL, "file:///tmp/x")})}
            << QList<QUrl>{};
    }

    void fileURLs()
    {
        QFETCH(Items, items);
        QFETCH(QList<QUrl>, urls);
        ClipboardEntry entry;
        entry.kind = ClipboardKind::file;
        entry.items = items;
        QCOMPARE(entry.fileURLs(), urls);
    }

    void linkURL_data()
    {
        QTest::addColumn<ClipboardKind>("kind");
        QTest::addColumn<OptionalString>("plainText");
        QTest::addColumn<OptionalUrl>("url");

        QTest::newRow("link with whitespace around")
            << ClipboardKind::link << OptionalString(u" \nhttps://example.com/a?b=c \n"_s)
            << OptionalUrl(QUrl(u"https://example.com/a?b=c"_s));
        QTest::newRow("text kind holding a link")
            << ClipboardKind::text << OptionalString(u"https://example.com"_s) << OptionalUrl();
        QTest::newRow("link without plain text") << ClipboardKind::link << OptionalString() << OptionalUrl();
        QTest::newRow("link whose text is no longer a link")
            << ClipboardKind::link << OptionalString(u"ftp://example.com/file"_s) << OptionalUrl();
    }

    void linkURL()
    {
        QFETCH(ClipboardKind, kind);
        QFETCH(OptionalString, plainText);
        QFETCH(OptionalUrl, url);
        ClipboardEntry entry;
        entry.kind = kind;
        entry.plainText = plainText;
        const OptionalUrl actual = entry.linkURL();
        QCOMPARE(actual.has_value(), url.has_value());
        if (url)
            QCOMPARE(*actual, *url);
    }

    void snapshotData_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<OptionalBytes>("data");

        QTest::newRow("listed twice returns the first")
            << QString(PasteboardType::plainText) << OptionalBytes("first");
        QTest::newRow("present but empty") << QString(PasteboardType::rtf) << OptionalBytes(QByteArray());
        QTest::newRow("absent") << QString(PasteboardType::png) << OptionalBytes();
        QTest::newRow("case-sensitive") << u"PUBLIC.HTML"_s << OptionalBytes();
    }

    void snapshotData()
    {
        QFETCH(QString, type);
        QFETCH(OptionalBytes, data);
        const PasteboardItemSnapshot snapshot =
            item({rep(PasteboardType::plainText, "first"), rep(PasteboardType::html, "<p>"),
                  rep(PasteboardType::plainText, "second"), rep(PasteboardType::rtf, {})});
        const OptionalBytes actual = snapshot.data(type);
        QCOMPARE(actual.has_value(), data.has_value());
        if (data)
            QCOMPARE(*actual, *data);
    }

    void equalityIsMemberWise()
    {
        ClipboardEntry entry;
        entry.id = QUuid::createUuid();
        entry.plainText = u"abc"_s;
        entry.items = {textItem(u"abc"_s)};
        QVERIFY(ClipboardEntry(entry) == entry);

        ClipboardEntry otherId = entry;
        otherId.id = QUuid::createUuid();
        QVERIFY(otherId != entry);

        ClipboardEntry emptyText = entry;
        emptyText.plainText = QString();
        ClipboardEntry noText = entry;
        noText.plainText.reset();
        QVERIFY(emptyText != noText);
    }
};

QTEST_GUILESS_MAIN(TestClipboardEntry)
#include "tst_clipboardentry.moc"
