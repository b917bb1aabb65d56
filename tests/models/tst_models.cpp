#include "l10n/Localization.h"
#include "models/ClipboardEntry.h"
#include "models/PasteboardType.h"
#include "models/QuickPasteSession.h"
#include "models/RtfText.h"
#include "support/TestColumns.h"

#include <QFile>
#include <QRandomGenerator>
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

// ---- Rich text

QByteArray rtf(const QByteArray& body)
{
    return "{\\rtf1\\ansi " + body + '}';
}

QString text(const char16_t* utf16)
{
    return QString::fromUtf16(utf16);
}

// A document whose font table holds Arial as f0 and the given fonts, as WordPad writes them.
QByteArray withFonts(const char* fonts, const char* body)
{
    return QByteArray("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Arial;}") + fonts + '}' +
           body + '}';
}

} // namespace

class TestModels : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        AppLocalization::shared().select(AppLanguage::english);
    }

    // Steps: "n"/"p" a press of V/Z, "n*"/"p*" a repeat, "-n"/"-p" a release; the selection after each.
    void quickPasteSession_data()
    {
        addColumns<int, QString, QString>("count", "steps", "selected");
        QTest::newRow("empty history") << 0 << u"n* n p p*"_s << u"0 0 0 0"_s;
        QTest::newRow("one entry") << 1 << u"n* p p*"_s << u"0 0 0"_s;
        QTest::newRow("V held from the start repeats forward, wrapping") << 3 << u"n* n* n*"_s << u"1 2 0"_s;
        QTest::newRow("a second V press counts only after a release") << 3 << u"n -n n n"_s << u"0 0 1 1"_s;
        QTest::newRow("Z wraps back to the last and repeats") << 4 << u"p p* p* -p p*"_s << u"3 2 1 1 1"_s;
        QTest::newRow("a repeat of a released key") << 3 << u"-n n* p*"_s << u"0 0 0"_s;
    }

    void quickPasteSession()
    {
        QFETCH(int, count);
        QFETCH(QString, steps);
        QFETCH(QString, selected);
        QList<ClipboardEntry> history;
        for (int i = 0; i < count; ++i)
            history.append(ClipboardEntry{});
        QuickPasteSession session = QuickPasteSession::over(history);
        QStringList after;
        for (const QString& step : steps.split(u' ')) {
            const auto direction = step.contains(u'n') ? QuickPasteSession::Direction::next
                                                       : QuickPasteSession::Direction::previous;
            if (step.startsWith(u'-'))
                session.heldDirections.remove(direction);
            else
                session.triggerDown(direction, step.endsWith(u'*'));
            after.append(QString::number(session.selectedIndex));
        }
        QCOMPARE(after.join(u' '), selected);
        QCOMPARE(session.candidates.size(), count);
        QCOMPARE(QuickPasteSession::direction(-1), QuickPasteSession::Direction::previous);
        QCOMPARE(QuickPasteSession::direction(0), std::nullopt);
    }

    void textKind_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<ClipboardKind>("kind");
        const auto row = [](const char* name, const QString& text, ClipboardKind kind) {
            QTest::newRow(name) << text << kind;
        };

        using K = ClipboardKind;
        row("https", u"https://example.com"_s, K::link);
        row("http with path, query and fragment", u"http://example.com/a?b=c#d"_s, K::link);
        row("mailto", u"mailto:someone@example.com"_s, K::link);
        row("upper-case scheme", u"HTTPS://EXAMPLE.COM/"_s, K::link);
        row("spaces and newlines around", u"  \n\thttps://example.com/page \r\n"_s, K::link);
        row("no-break and ideographic spaces around", u"\u00A0https://example.com\u3000"_s, K::link);
        row("trailing word", u"https://example.com more"_s, K::text);
        row("second line", u"https://example.com\nmore"_s, K::text);
        row("ftp", u"ftp://example.com/file"_s, K::text);
        row("scheme merely starting with https", u"https2://example.com"_s, K::text);
        row("host without scheme", u"www.example.com"_s, K::text);
    }

    void textKind()
    {
        QFETCH(QString, text);
        QFETCH(ClipboardKind, kind);
        QCOMPARE(ClipboardEntry::textKind(text), kind);
    }

    void classify_data()
    {
        addColumns<Items, OptionalString, ClipboardKind, QString>("items", "text", "kind", "title");
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
        fileRow("undecodable file URL passed over", files({"file:///tmp/\xff\xfe.txt", "file:///tmp/b.txt"}),
                u"b.txt"_s);
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
        addColumns<QString, OptionalString, QString>("sourceName", "bundleIdentifier", "key");
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
        const auto row = [](const char* name, const ClipboardEntry& entry, const QString& title) {
            QTest::newRow(name) << entry << title;
        };
        const auto many = [](const QString& first, int count) {
            return L10n::format(L10n::Key::multipleFiles, first, count);
        };
        row("first line of text", entry(Kind::text, u"\n  first\nsecond"_s), u"  first"_s);
        row("only newlines", entry(Kind::text, u"\n\n\n"_s), L10n::text(L10n::Key::kindText));
        row("no plain text", entry(Kind::text, std::nullopt), L10n::text(L10n::Key::richTextTitle));
        row("image", entry(Kind::image, u"caption"_s), L10n::text(L10n::Key::copiedImage));
        row("one file", entry(Kind::file, {}, files({"file:///home/u/notes%201.txt"})), u"notes 1.txt"_s);
        row("three files", entry(Kind::file, {}, files({"file:///a/first.txt", "file:///b", "file:///c/"})),
            many(u"first.txt"_s, 3));
        row("files with a bad escape or another scheme not counted",
            entry(Kind::file, {},
                  files({"file:///a/first.txt", "file:///b%zz", "https://c", "file:///d%41"})),
            many(u"first.txt"_s, 2));
        row("a file entry holding a web address", entry(Kind::file, {}, files({"https://example.com/x.txt"})),
            L10n::text(L10n::Key::kindFile));
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

    // Damaged and hostile input is here too: the text read so far comes back and nothing crashes.
    void plainText_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, const QByteArray& rtf, const QString& expected) {
            QTest::newRow(name) << rtf << expected;
        };

        row("empty document", "{\\rtf1}", QString());
        row("leading whitespace", "\r\n {\\rtf1 x}", text(u"x"));
        row("bytes after the document", QByteArray("{\\rtf1 x}\0\0tail", 15), text(u"x"));
        row("delimiters", rtf("\\b Bold\\b0  text\\b0,x\\fi-360 y"), text(u"Bold text,xy"));
        row("unknown word keeps text", rtf("a{\\madeupword b}c"), text(u"abc"));
        row("raw line breaks are ignored", rtf("one\r\ntwo"), text(u"onetwo"));
        row("escaped braces and backslash", rtf("a\\\\b\\{c\\}d"), text(u"a\\b{c}d"));
        row("control symbols", rtf("a\\~b\\-c\\_d\\|e\\:f"), text(u"a\u00A0bc\u2011def"));
        row("breaks and tabs", rtf("1\\par 2\\line 3\\sect 4\\\n5\\tab 6\t7"), text(u"1\n2\n3\n4\n5\t6\t7"));
        row("final paragraph mark dropped once", rtf("a\\par\\par"), text(u"a\n"));
        row("table",
            rtf("\\trowd\\cellx100\\cellx200 a\\cell b\\cell\\row\\trowd c\\cell d\\cell\\row after"),
            text(u"a\tb\nc\td\nafter"));
        row("typographic words",
            rtf("\\lquote a\\rquote  \\ldblquote b\\rdblquote  \\emdash\\endash\\bullet"),
            text(u"\u2018a\u2019 \u201Cb\u201D \u2014\u2013\u2022"));
        row("hidden text", rtf("a{\\v b}c\\v d\\v0 e\\v f\\plain g"), text(u"aceg"));

        row("unicode", rtf("caf\\u233?\\u-10916?\\u128512?"), text(u"caf\u00E9\uD55C\U0001F600"));
        row("two-byte fallback", rtf("\\uc2\\u20320\\'c4\\'e3x"), text(u"\u4F60x"));
        row("fallback count is scoped", rtf("{\\uc2\\u20320\\'c4\\'e3}\\u22909??"), text(u"\u4F60\u597D?"));
        row("group start stops the fallback", rtf("\\uc2\\u65{x}y"), text(u"Axy"));
        row("control word is one fallback character", rtf("\\u20320\\par x"), text(u"\u4F60x"));
        row("surrogate pair", rtf("\\u-10179?\\u-8704?"), text(u"\U0001F600"));
        row("lone surrogate, code point out of range", rtf("\\u-10179?x\\u99999999999?"),
            text(u"\uFFFDx\uFFFD"));
        row("negative and huge fallback counts", rtf("\\uc-5\\u65 B{\\uc99999999999\\u65 xyz}C"),
            text(u"ABAC"));

        row("windows-1252 by default", "{\\rtf1 \\'93q\\'94 \\'80}", text(u"\u201Cq\u201D \u20AC"));
        row("raw 8-bit text", rtf("caf\xe9"), text(u"caf\u00E9"));
        row("document code page", "{\\rtf1\\ansi\\ansicpg1251 \\'cf\\'f0\\'e8\\'e2\\'e5\\'f2}",
            text(u"Привет"));
        row("mac character set", "{\\rtf1\\mac \\'8a}", text(u"\u00E4"));
        row("unknown code page", "{\\rtf1\\ansicpg42 \\'80}", text(u"\u20AC"));
        row("utf-8 code page", "{\\rtf1\\ansicpg65001 \\'e4\\'bd\\'a0\xe5\xa5\xbd}", text(u"你好"));
        row("GB2312 font",
            withFonts("{\\f1\\fnil\\fcharset134 SimSun;}", "\\f1 \\'c4\\'e3\\'ba\\'c3\\f0  ok"),
            text(u"你好 ok"));
        row("Big5 font with literal trail bytes",
            withFonts("{\\f1\\fcharset136 MingLiU;}", "\\f1 \\'a7A\\'a6n"), text(u"你好"));
        row("Shift-JIS font with escaped brace trail",
            withFonts("{\\f1\\fcharset128 MS Mincho;}", "\\f1 \\'93\\'fa\\'96\\{"), text(u"日本"));
        row("font code page wins over charset",
            withFonts("{\\f1\\fcharset204\\cpg1253 Greek;}", "\\f1 \\'e1"), text(u"\u03B1"));
        row("font is scoped to its group", withFonts("{\\f1\\fcharset204 Arial Cyr;}", "{\\f1 \\'cc}\\'cc"),
            text(u"М\u00CC"));
        row("default font", "{\\rtf1\\deff1{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset204 Cyr;}}\\'cc\\'e8\\'f0}",
            text(u"Мир"));
        row("font table without entry groups",
            "{\\rtf1{\\fonttbl\\f0\\fswiss\\fcharset0 Helvetica;\\f1\\fnil\\fcharset134 STSong;}\\f1 "
            "\\'c4\\'e3}",
            text(u"你"));
        row("symbol font bullet", withFonts("{\\f1\\fcharset2 Symbol;}", "{\\f1\\'b7}\\tab item"),
            text(u"\u2022\titem"));
        row("lead byte without trail", withFonts("{\\f1\\fcharset134 SimSun;}", "{\\f1 \\'c4}x"),
            text(u"\uFFFDx"));

        row("ignorable destination", rtf("a{\\*\\madeupdest secret}b"), text(u"ab"));
        row("field keeps its result",
            rtf("See {\\field{\\*\\fldinst HYPERLINK \"https://x\"}{\\fldrslt {\\ul here}}}."),
            text(u"See here."));
        row("binary data", rtf("a{\\pict\\bin3 }{\\}b\\bin2 xyc"), text(u"abc"));
        for (const QByteArray& destination :
             QByteArray("colortbl stylesheet info header footnote pn pict").split(' '))
            QTest::addRow("skips %s", destination.constData())
                << rtf("a{\\" + destination + " x{\\b y}\\par\\u65 z}b") << text(u"ab");

        const QByteArray deep = QByteArray(100'000, '{') + "deep" + QByteArray(100'000, '}');
        row("truncated in text", "{\\rtf1 Hello \\b wor", text(u"Hello wor"));
        row("truncated escape", "{\\rtf1 A\\'4", text(u"A"));
        row("trailing backslash", "{\\rtf1 A\\", text(u"A"));
        row("truncated surrogate pair", "{\\rtf1 A\\u-10179", text(u"A\uFFFD"));
        row("bad hex digits", "{\\rtf1 A\\'zzB}", text(u"AzzB"));
        row("100000 nested groups", "{\\rtf1 a" + deep + "b}", text(u"ab"));
        row("400 nested groups keep their text",
            "{\\rtf1 a" + QByteArray(400, '{') + "kept" + QByteArray(400, '}') + "b}", text(u"akeptb"));
        row("100000 unclosed groups", "{\\rtf1 a" + QByteArray(100'000, '{') + "x", text(u"a"));
        row("destinations deeper than the limit",
            "{\\rtf1 a" + QByteArray(1000, '{') + "\\*" + QByteArray(1000, '}') + "b}", text(u"ab"));
        row("binary past the end", "{\\rtf1 A\\bin999999 xyz", text(u"A"));
        row("huge binary length", "{\\rtf1 A\\bin99999999999999999999 xyz}", text(u"A"));
        row("long control word", "{\\rtf1 \\" + QByteArray(100'000, 'x') + " A}", text(u"A"));
        QByteArray fonts("{\\rtf1{\\fonttbl");
        for (int i = 0; i < 20'000; ++i)
            fonts += "{\\f" + QByteArray::number(i) + "\\fcharset204 F;}";
        row("many fonts", fonts + "}\\f1\\'cc\\f19999\\'cc}", text(u"М\u00CC"));
        // An odd prefix puts every decoding chunk boundary inside a character.
        row("long two-byte text",
            "{\\rtf1{\\fonttbl{\\f1\\fcharset134 SimSun;}}\\f1 x" +
                QByteArray("\\'c4\\'e3").repeated(100'000) + '}',
            u'x' + QString(100'000, QChar(0x4F60)));
    }

    void plainText()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, expected);
        QCOMPARE(RtfText::plainText(rtf).value_or(u"<not RTF>"_s), expected);
    }

    void notRtf_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("html") << QByteArray("<html><body>{\\rtf1 x}</body></html>");
        QTest::newRow("cut before the header") << QByteArray("{\\rt");
    }

    void notRtf()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY(!RtfText::plainText(bytes));
    }

    // A document a word processor wrote: lists, a table, bold and italic.
    void document()
    {
        QFile file(QStringLiteral(RTF_TEST_DATA "/libreoffice_english.rtf"));
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.errorString()));
        QCOMPARE(RtfText::plainText(file.readAll()).value_or(u"<not RTF>"_s),
                 text(u"Shopping list\nBuy bold and italic items, with both.\n\u2022\tApples\n\u2022\tPears\n"
                      u" 1.\tFirst step\n 2.\tSecond step\nName\tPrice\nTea\t3.50\nTotal: 3.50"));
    }

    // Random bytes rich in RTF syntax: the sanitizers see every read out of bounds.
    void randomBytes()
    {
        QRandomGenerator random(20240611);
        static constexpr char alphabet[] = "{}\\\\\\*'u-0123456789abcfinprtvx ?\t\r\n\x80\xc4\xff";
        for (int round = 0; round < 20; ++round) {
            QByteArray doc("{\\rtf1\\ansicpg936 ");
            for (int i = 0; i < 100'000; ++i)
                doc += random.bounded(2) ? alphabet[random.bounded(int(sizeof alphabet) - 1)]
                                         : char(random.bounded(256));
            QVERIFY(RtfText::plainText(doc).has_value());
        }
    }
};

QTEST_GUILESS_MAIN(TestModels)
#include "tst_models.moc"
