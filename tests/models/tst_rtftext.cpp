#include "models/RtfText.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTest>

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
    void plainText_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("expected");

        QTest::newRow("plain words") << rtf("Hello world") << text(u"Hello world");
        QTest::newRow("empty document") << QByteArray("{\\rtf1}") << QString();
        QTest::newRow("leading whitespace") << QByteArray("\r\n {\\rtf1 x}") << text(u"x");
        QTest::newRow("bytes after the document") << QByteArray("{\\rtf1 x}\0\0tail", 15) << text(u"x");
        QTest::newRow("one delimiting space is eaten") << rtf("\\b Bold\\b0  text") << text(u"Bold text");
        QTest::newRow("word ends at punctuation") << rtf("\\b0,x") << text(u",x");
        QTest::newRow("negative parameter") << rtf("\\fi-360 Indented") << text(u"Indented");
        QTest::newRow("minus without digits is text") << rtf("\\b-x") << text(u"-x");
        QTest::newRow("unknown word keeps text") << rtf("a{\\madeupword b}c") << text(u"abc");
        QTest::newRow("raw line breaks are ignored") << rtf("one\r\ntwo") << text(u"onetwo");
        QTest::newRow("escaped braces and backslash") << rtf("a\\\\b\\{c\\}d") << text(u"a\\b{c}d");
        QTest::newRow("no-break space") << rtf("a\\~b") << text(u"a\u00A0b");
        QTest::newRow("optional hyphen dropped") << rtf("hy\\-phen") << text(u"hyphen");
        QTest::newRow("non-breaking hyphen") << rtf("e\\_mail") << text(u"e\u2011mail");
        QTest::newRow("other symbols show nothing") << rtf("a\\|b\\:c") << text(u"abc");
        QTest::newRow("par and line") << rtf("one\\par two\\line three") << text(u"one\ntwo\nthree");
        QTest::newRow("escaped line feed is a paragraph") << rtf("one\\\ntwo") << text(u"one\ntwo");
        QTest::newRow("section break") << rtf("one\\sect two") << text(u"one\ntwo");
        QTest::newRow("tab word and tab byte") << rtf("a\\tab b\tc") << text(u"a\tb\tc");
        QTest::newRow("final paragraph mark dropped once") << rtf("a\\par\\par") << text(u"a\n");
        QTest::newRow("final line break kept") << rtf("a\\line") << text(u"a\n");
        QTest::newRow("table")
            << rtf("\\trowd\\cellx100\\cellx200 a\\cell b\\cell\\row\\trowd c\\cell d\\cell\\row after")
            << text(u"a\tb\nc\td\nafter");
        QTest::newRow("table at the end") << rtf("\\trowd a\\cell b\\cell\\row") << text(u"a\tb");
        QTest::newRow("nested table") << rtf("x\\nestcell y\\nestcell\\nestrow z") << text(u"x\ty\nz");
        QTest::newRow("typographic words")
            << rtf("\\lquote a\\rquote  \\ldblquote b\\rdblquote  \\emdash\\endash\\bullet")
            << text(u"\u2018a\u2019 \u201Cb\u201D \u2014\u2013\u2022");
        QTest::newRow("hidden text") << rtf("a{\\v b}c\\v d\\v0 e") << text(u"ace");
        QTest::newRow("plain ends hidden text") << rtf("\\v x\\plain y") << text(u"y");
        QTest::newRow("list numbering kept") << rtf("{\\listtext 1.\\tab}First") << text(u"1.\tFirst");

        QTest::newRow("unicode with fallback") << rtf("caf\\u233?") << text(u"caf\u00E9");
        QTest::newRow("negative unicode wraps") << rtf("\\u-10916?") << text(u"\uD55C");
        QTest::newRow("two-byte fallback") << rtf("\\uc2\\u20320\\'c4\\'e3x") << text(u"\u4F60x");
        QTest::newRow("no fallback") << rtf("\\uc0\\u20320 x") << text(u"\u4F60x");
        QTest::newRow("fallback count is scoped")
            << rtf("{\\uc2\\u20320\\'c4\\'e3}\\u22909??") << text(u"\u4F60\u597D?");
        QTest::newRow("group end stops the fallback") << rtf("{\\uc3\\u65 x}y") << text(u"Ay");
        QTest::newRow("control word is one fallback character") << rtf("\\u20320\\par x") << text(u"\u4F60x");
        QTest::newRow("surrogate pair") << rtf("\\u-10179?\\u-8704?") << text(u"\U0001F600");
        QTest::newRow("surrogates with changing fallback")
            << rtf("\\uc0 \\u55357\\uc1 \\u56832\\'3f!") << text(u"\U0001F600!");
        QTest::newRow("lone surrogate") << rtf("\\u-10179?x") << text(u"\uFFFDx");
        QTest::newRow("whole code point") << rtf("\\u128512?") << text(u"\U0001F600");
        QTest::newRow("code point out of range") << rtf("\\u99999999999?x") << text(u"\uFFFDx");
        QTest::newRow("negative fallback count") << rtf("\\uc-5\\u65 B") << text(u"AB");
        QTest::newRow("huge fallback count") << rtf("{\\uc99999999999\\u65 xyz}B") << text(u"AB");

        QTest::newRow("windows-1252 by default")
            << QByteArray("{\\rtf1 \\'93q\\'94 \\'80}") << text(u"\u201Cq\u201D \u20AC");
        QTest::newRow("raw 8-bit text") << rtf("caf\xe9") << text(u"caf\u00E9");
        QTest::newRow("document code page")
            << QByteArray("{\\rtf1\\ansi\\ansicpg1251 \\'cf\\'f0\\'e8\\'e2\\'e5\\'f2}") << text(u"Привет");
        QTest::newRow("mac character set") << QByteArray("{\\rtf1\\mac \\'8a}") << text(u"\u00E4");
        QTest::newRow("unknown code page") << QByteArray("{\\rtf1\\ansicpg99999 \\'e9}") << text(u"\u00E9");
        QTest::newRow("utf-8 code page")
            << QByteArray("{\\rtf1\\ansicpg65001 \\'e4\\'bd\\'a0\xe5\xa5\xbd}") << text(u"你好");
        QTest::newRow("GB2312 font") << withFonts("{\\f1\\fnil\\fcharset134 SimSun;}",
                                                  "\\f1 \\'c4\\'e3\\'ba\\'c3\\f0  ok")
                                     << text(u"你好 ok");
        QTest::newRow("Big5 font with literal trail bytes")
            << withFonts("{\\f1\\fcharset136 MingLiU;}", "\\f1 \\'a7A\\'a6n") << text(u"你好");
        QTest::newRow("Shift-JIS font with escaped brace trail")
            << withFonts("{\\f1\\fcharset128 MS Mincho;}", "\\f1 \\'93\\'fa\\'96\\{") << text(u"日本");
        QTest::newRow("Korean font") << withFonts("{\\f1\\fcharset129 Gulim;}", "\\f1 \\'c7\\'d1\\'b1\\'b9")
                                     << text(u"한국");
        QTest::newRow("Cyrillic font")
            << withFonts("{\\f1\\fcharset204 Arial Cyr;}", "\\f1 \\'cc\\'e8\\'f0") << text(u"Мир");
        QTest::newRow("font is scoped to its group")
            << withFonts("{\\f1\\fcharset204 Arial Cyr;}", "{\\f1 \\'cc}\\'cc") << text(u"М\u00CC");
        QTest::newRow("default font")
            << QByteArray("{\\rtf1\\deff1{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset204 Cyr;}}\\'cc\\'e8\\'f0}")
            << text(u"Мир");
        QTest::newRow("font code page wins over charset")
            << withFonts("{\\f1\\fcharset204\\cpg1253 Greek;}", "\\f1 \\'e1") << text(u"\u03B1");
        QTest::newRow("font table without entry groups")
            << QByteArray(
                   "{\\rtf1{\\fonttbl\\f0\\fswiss\\fcharset0 Helvetica;\\f1\\fnil\\fcharset134 STSong;}"
                   "\\f1 \\'c4\\'e3}")
            << text(u"你");
        QTest::newRow("symbol font bullet")
            << withFonts("{\\f1\\fcharset2 Symbol;}", "{\\f1\\'b7}\\tab item") << text(u"\u2022\titem");
        QTest::newRow("lead byte without trail")
            << withFonts("{\\f1\\fcharset134 SimSun;}", "{\\f1 \\'c4}x") << text(u"\uFFFDx");

        QTest::newRow("ignorable destination") << rtf("a{\\*\\madeupdest secret}b") << text(u"ab");
        QTest::newRow("field keeps its result")
            << rtf("See {\\field{\\*\\fldinst HYPERLINK \"https://x\"}{\\fldrslt {\\ul here}}}.")
            << text(u"See here.");
        QTest::newRow("field code without star")
            << rtf("{\\field{\\fldinst PAGE}{\\fldrslt 3}}") << text(u"3");
        QTest::newRow("binary data") << rtf("a{\\pict\\bin3 }{\\}b") << text(u"ab");
        QTest::newRow("binary data in text") << rtf("a\\bin2 xyb") << text(u"ab");
        QTest::newRow("font table text")
            << QByteArray("{\\rtf1{\\fonttbl{\\f0\\fnil Arial;}{\\f1 {\\*\\panose 0}Times;}}x}")
            << text(u"x");

        // Every destination that is not visible text, written the way a document would hold it.
        const char* skipped[] = {"colortbl",
                                 "stylesheet",
                                 "info",
                                 "pict",
                                 "object",
                                 "header",
                                 "headerl",
                                 "headerr",
                                 "headerf",
                                 "footer",
                                 "footerl",
                                 "footerr",
                                 "footerf",
                                 "footnote",
                                 "fldinst",
                                 "listtable",
                                 "listoverridetable",
                                 "rsidtbl",
                                 "generator",
                                 "themedata",
                                 "colorschememapping",
                                 "datastore",
                                 "latentstyles",
                                 "xmlnstbl",
                                 "mmathPr",
                                 "pn",
                                 "shp",
                                 "nonshppict",
                                 "annotation",
                                 "bkmkstart",
                                 "xe",
                                 "tc",
                                 "revtbl",
                                 "filetbl",
                                 "pgdsctbl",
                                 "userprops"};
        for (const char* destination : skipped) {
            QTest::addRow("skips %s", destination)
                << rtf(QByteArray("a{\\") + destination + " x{\\b y}\\par\\u65 z}b") << text(u"ab");
        }
    }

    void plainText()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, expected);
        const std::optional<QString> actual = RtfText::plainText(rtf);
        QVERIFY(actual.has_value());
        QCOMPARE(*actual, expected);
    }

    void notRtf_data()
    {
        QTest::addColumn<QByteArray>("bytes");

        QTest::newRow("empty") << QByteArray();
        QTest::newRow("plain text") << QByteArray("Hello");
        QTest::newRow("html") << QByteArray("<html><body>{\\rtf1 x}</body></html>");
        QTest::newRow("cut before the header") << QByteArray("{\\rt");
        QTest::newRow("no opening brace") << QByteArray("\\rtf1 x}");
        QTest::newRow("space inside the header") << QByteArray("{ \\rtf1 x}");
        QTest::newRow("nul bytes") << QByteArray(16, '\0');
    }

    void notRtf()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY(!RtfText::plainText(bytes).has_value());
    }

    // Documents written by a word processor, converted from HTML and kept unchanged.
    void documents_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("expected");

        QTest::newRow("english") << QStringLiteral("libreoffice_english.rtf")
                                 << text(u"Shopping list\n"
                                         u"Buy bold and italic items, with both.\n"
                                         u"\u2022\tApples\n"
                                         u"\u2022\tPears\n"
                                         u" 1.\tFirst step\n"
                                         u" 2.\tSecond step\n"
                                         u"Name\tPrice\n"
                                         u"Tea\t3.50\n"
                                         u"Total: 3.50");
        QTest::newRow("german") << QStringLiteral("libreoffice_german.rtf")
                                << text(u"Grüße aus München!\nÄpfel, Öl und Übermaß – ganz schön süß.");
        QTest::newRow("simplified chinese") << QStringLiteral("libreoffice_chinese_simplified.rtf")
                                            << text(u"简体中文：你好，世界。\n剪贴板历史记录");
        QTest::newRow("traditional chinese") << QStringLiteral("libreoffice_chinese_traditional.rtf")
                                             << text(u"繁體中文：你好，世界。\n剪貼簿歷史記錄");
        QTest::newRow("emoji") << QStringLiteral("libreoffice_emoji.rtf")
                               << text(u"Party \U0001F389 time \U0001F600 and a flag \U0001F1E9\U0001F1EA.");
        QTest::newRow("hyperlink") << QStringLiteral("libreoffice_hyperlink.rtf")
                                   << text(u"Read the docs first.");
        QTest::newRow("image") << QStringLiteral("libreoffice_image.rtf")
                               << text(u"Before the picture  after the picture.");
    }

    void documents()
    {
        QFETCH(QString, file);
        QFETCH(QString, expected);
        QFile document(QStringLiteral(RTF_TEST_DATA "/") + file);
        QVERIFY2(document.open(QIODevice::ReadOnly), qPrintable(document.errorString()));
        const std::optional<QString> actual = RtfText::plainText(document.readAll());
        QVERIFY(actual.has_value());
        QCOMPARE(*actual, expected);
    }

    // Damaged and hostile input: text read so far comes back, nothing crashes or stalls.
    void malformed_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("expected");

        const QByteArray deep = QByteArray(100'000, '{') + "deep" + QByteArray(100'000, '}');
        const QByteArray shallow = QByteArray(400, '{') + "kept" + QByteArray(400, '}');

        QTest::newRow("truncated in text") << QByteArray("{\\rtf1 Hello \\b wor") << text(u"Hello wor");
        QTest::newRow("truncated after a paragraph") << QByteArray("{\\rtf1 Hi\\par") << text(u"Hi");
        QTest::newRow("truncated escape") << QByteArray("{\\rtf1 A\\'4") << text(u"A");
        QTest::newRow("trailing backslash") << QByteArray("{\\rtf1 A\\") << text(u"A");
        QTest::newRow("truncated surrogate pair") << QByteArray("{\\rtf1 A\\u-10179") << text(u"A\uFFFD");
        QTest::newRow("bad hex digits") << QByteArray("{\\rtf1 A\\'zzB}") << text(u"AzzB");
        QTest::newRow("extra closing braces") << QByteArray("{\\rtf1 A}}}B") << text(u"A");
        QTest::newRow("unclosed groups") << QByteArray("{\\rtf1 {{{A") << text(u"A");
        QTest::newRow("100000 nested groups") << QByteArray("{\\rtf1 a" + deep + "b}") << text(u"ab");
        QTest::newRow("400 nested groups keep their text")
            << QByteArray("{\\rtf1 a" + shallow + "b}") << text(u"akeptb");
        QTest::newRow("100000 unclosed groups")
            << QByteArray("{\\rtf1 a" + QByteArray(100'000, '{') + "x") << text(u"a");
        QTest::newRow("destinations deeper than the limit")
            << QByteArray("{\\rtf1 a" + QByteArray(1000, '{') + "\\*" + QByteArray(1000, '}') + "b}")
            << text(u"ab");
        QTest::newRow("binary past the end") << QByteArray("{\\rtf1 A\\bin999999 xyz") << text(u"A");
        QTest::newRow("huge binary length")
            << QByteArray("{\\rtf1 A\\bin99999999999999999999 xyz}") << text(u"A");
        QTest::newRow("negative binary length") << QByteArray("{\\rtf1 A\\bin-5 B}") << text(u"AB");
        QTest::newRow("huge font number")
            << QByteArray("{\\rtf1 \\f99999999999999 A\\f-99999999999 B}") << text(u"AB");
        QTest::newRow("long control word")
            << QByteArray("{\\rtf1 \\" + QByteArray(100'000, 'x') + " A}") << text(u"A");
        QTest::newRow("long parameter")
            << QByteArray("{\\rtf1 \\b" + QByteArray(100'000, '9') + " A}") << text(u"A");
        QTest::newRow("many fonts") << [] {
            QByteArray doc("{\\rtf1{\\fonttbl");
            for (int i = 0; i < 20'000; ++i)
                doc += "{\\f" + QByteArray::number(i) + "\\fcharset204 F;}";
            return doc + "}\\f1\\'cc\\f19999\\'cc}";
        }() << text(u"М\u00CC");
        QTest::newRow("long two-byte text") << [] {
            // An odd prefix puts every chunk boundary inside a character.
            QByteArray doc("{\\rtf1{\\fonttbl{\\f1\\fcharset134 SimSun;}}\\f1 x");
            for (int i = 0; i < 100'000; ++i)
                doc += "\\'c4\\'e3";
            return doc + '}';
        }() << QStringLiteral("x") + QString(100'000, QChar(0x4F60));
    }

    void malformed()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, expected);
        QElapsedTimer timer;
        timer.start();
        const std::optional<QString> actual = RtfText::plainText(rtf);
        QVERIFY(actual.has_value());
        QCOMPARE(*actual, expected);
        QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
    }

    // Random bytes rich in RTF syntax; only survival and speed are checked.
    void randomBytes()
    {
        QRandomGenerator random(20240611);
        static constexpr char alphabet[] = "{}\\\\\\*'u-0123456789abcfinprtvx ?\t\r\n\x80\xc4\xff";
        QElapsedTimer timer;
        timer.start();
        for (int round = 0; round < 20; ++round) {
            QByteArray doc("{\\rtf1\\ansicpg936 ");
            for (int i = 0; i < 100'000; ++i) {
                const bool syntax = random.bounded(2) == 0;
                doc += syntax ? alphabet[random.bounded(static_cast<int>(sizeof alphabet) - 1)]
                              : static_cast<char>(random.bounded(256));
            }
            QVERIFY(RtfText::plainText(doc).has_value());
        }
        QVERIFY2(timer.elapsed() < 20000, qPrintable(QString::number(timer.elapsed())));
    }
};

QTEST_GUILESS_MAIN(TestRtfText)
#include "tst_rtftext.moc"
