#include "models/RtfText.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

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

class TestRtfText : public QObject {
    Q_OBJECT

private Q_SLOTS:
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
        row("minus without digits is text", rtf("\\b-x"), text(u"-x"));
        row("unknown word keeps text", rtf("a{\\madeupword b}c"), text(u"abc"));
        row("raw line breaks are ignored", rtf("one\r\ntwo"), text(u"onetwo"));
        row("escaped braces and backslash", rtf("a\\\\b\\{c\\}d"), text(u"a\\b{c}d"));
        row("control symbols", rtf("a\\~b\\-c\\_d\\|e\\:f"), text(u"a\u00A0bc\u2011def"));
        row("breaks and tabs", rtf("1\\par 2\\line 3\\sect 4\\\n5\\tab 6\t7"), text(u"1\n2\n3\n4\n5\t6\t7"));
        row("final paragraph mark dropped once", rtf("a\\par\\par"), text(u"a\n"));
        row("final line break kept", rtf("a\\line"), text(u"a\n"));
        row("table",
            rtf("\\trowd\\cellx100\\cellx200 a\\cell b\\cell\\row\\trowd c\\cell d\\cell\\row after"),
            text(u"a\tb\nc\td\nafter"));
        row("table at the end", rtf("\\trowd a\\cell b\\cell\\row"), text(u"a\tb"));
        row("nested table", rtf("x\\nestcell y\\nestcell\\nestrow z"), text(u"x\ty\nz"));
        row("typographic words",
            rtf("\\lquote a\\rquote  \\ldblquote b\\rdblquote  \\emdash\\endash\\bullet"),
            text(u"\u2018a\u2019 \u201Cb\u201D \u2014\u2013\u2022"));
        row("hidden text", rtf("a{\\v b}c\\v d\\v0 e\\v f\\plain g"), text(u"aceg"));
        row("list numbering kept", rtf("{\\listtext 1.\\tab}First"), text(u"1.\tFirst"));

        row("unicode", rtf("caf\\u233?\\u-10916?\\u128512?"), text(u"caf\u00E9\uD55C\U0001F600"));
        row("two-byte fallback", rtf("\\uc2\\u20320\\'c4\\'e3x"), text(u"\u4F60x"));
        row("no fallback", rtf("\\uc0\\u20320 x"), text(u"\u4F60x"));
        row("fallback count is scoped", rtf("{\\uc2\\u20320\\'c4\\'e3}\\u22909??"), text(u"\u4F60\u597D?"));
        row("group end stops the fallback", rtf("{\\uc3\\u65 x}y"), text(u"Ay"));
        row("control word is one fallback character", rtf("\\u20320\\par x"), text(u"\u4F60x"));
        row("surrogate pair", rtf("\\u-10179?\\u-8704?"), text(u"\U0001F600"));
        row("surrogates with changing fallback", rtf("\\uc0 \\u55357\\uc1 \\u56832\\'3f!"),
            text(u"\U0001F600!"));
        row("lone surrogate, code point out of range", rtf("\\u-10179?x\\u99999999999?"),
            text(u"\uFFFDx\uFFFD"));
        row("negative and huge fallback counts", rtf("\\uc-5\\u65 B{\\uc99999999999\\u65 xyz}C"),
            text(u"ABAC"));

        row("windows-1252 by default", "{\\rtf1 \\'93q\\'94 \\'80}", text(u"\u201Cq\u201D \u20AC"));
        row("raw 8-bit text", rtf("caf\xe9"), text(u"caf\u00E9"));
        row("document code page", "{\\rtf1\\ansi\\ansicpg1251 \\'cf\\'f0\\'e8\\'e2\\'e5\\'f2}",
            text(u"Привет"));
        row("mac character set", "{\\rtf1\\mac \\'8a}", text(u"\u00E4"));
        row("unknown code page", "{\\rtf1\\ansicpg99999 \\'e9}", text(u"\u00E9"));
        row("utf-8 code page", "{\\rtf1\\ansicpg65001 \\'e4\\'bd\\'a0\xe5\xa5\xbd}", text(u"你好"));
        row("GB2312 font",
            withFonts("{\\f1\\fnil\\fcharset134 SimSun;}", "\\f1 \\'c4\\'e3\\'ba\\'c3\\f0  ok"),
            text(u"你好 ok"));
        row("Big5 font with literal trail bytes",
            withFonts("{\\f1\\fcharset136 MingLiU;}", "\\f1 \\'a7A\\'a6n"), text(u"你好"));
        row("Shift-JIS font with escaped brace trail",
            withFonts("{\\f1\\fcharset128 MS Mincho;}", "\\f1 \\'93\\'fa\\'96\\{"), text(u"日本"));
        row("font is scoped to its group", withFonts("{\\f1\\fcharset204 Arial Cyr;}", "{\\f1 \\'cc}\\'cc"),
            text(u"М\u00CC"));
        row("default font", "{\\rtf1\\deff1{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset204 Cyr;}}\\'cc\\'e8\\'f0}",
            text(u"Мир"));
        row("font code page wins over charset",
            withFonts("{\\f1\\fcharset204\\cpg1253 Greek;}", "\\f1 \\'e1"), text(u"\u03B1"));
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
        row("field code without star", rtf("{\\field{\\fldinst PAGE}{\\fldrslt 3}}"), text(u"3"));
        row("binary data", rtf("a{\\pict\\bin3 }{\\}b\\bin2 xyc"), text(u"abc"));
        row("font table text", "{\\rtf1{\\fonttbl{\\f0\\fnil Arial;}{\\f1 {\\*\\panose 0}Times;}}x}",
            text(u"x"));
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
        QTest::newRow("no opening brace") << QByteArray("\\rtf1 x}");
        QTest::newRow("space inside the header") << QByteArray("{ \\rtf1 x}");
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

QTEST_GUILESS_MAIN(TestRtfText)
#include "tst_rtftext.moc"
