#include "models/PasteboardType.h"
#include "platform/x11/X11TargetMap.h"

#include <QTest>

using MimeTypeMap::Item;
using Items = QList<Item>;
using Fetched = QHash<QByteArray, QByteArray>;
using Snapshots = QList<PasteboardItemSnapshot>;
using Targets = QList<std::pair<QByteArray, QByteArray>>;
Q_DECLARE_METATYPE(Snapshots)

using namespace Qt::StringLiterals;
using namespace PasteboardType;

namespace {

const auto split = [](const char* targets) { return QByteArray(targets).split(' '); };
const auto utf16 = [](const QString& text) {
    return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
};
// Text goes under every target it is read from.
const auto textAs = [](const QByteArray& text) {
    return Targets{{"text/plain;charset=utf-8", text}, {"UTF8_STRING", text}, {"text/plain", text}};
};
// And last, as older clients ask for it: in Latin-1.
const auto legacyTextAs = [](const QByteArray& latin1) {
    return Targets{{"STRING", latin1}, {"TEXT", latin1}};
};
const Items oneURL{{{url}, {{url, "https://example.com"}}}};

} // namespace

class TestMimeTypeMap : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // What the reader makes of an owner's targets and the data it delivers for them. A marked copy
    // gives its types only.
    void read_data()
    {
        QTest::addColumn<QList<QByteArray>>("targets");
        // Empty: each target delivers its own name.
        QTest::addColumn<Fetched>("fetched");
        QTest::addColumn<Items>("items");

        QTest::newRow("preferred text target wins, owner order kept")
            << split("TARGETS text/html UTF8_STRING text/plain;charset=utf-8 STRING") << Fetched()
            << Items{{{html, plainText}, {{html, "text/html"}, {plainText, "text/plain;charset=utf-8"}}}};
        QTest::newRow("plain text/plain is the last resort")
            << split("TIMESTAMP text/plain") << Fetched()
            << Items{{{plainText}, {{plainText, "text/plain"}}}};
        QTest::newRow("rtf") << split("application/rtf") << Fetched()
                             << Items{{{rtf}, {{rtf, "application/rtf"}}}};
        QTest::newRow("nothing mapped")
            << split("TARGETS MULTIPLE SAVE_TARGETS x-private/thing") << Fetched() << Items();
        QTest::newRow("password manager hint") << split("UTF8_STRING x-kde-passwordManagerHint") << Fetched()
                                               << Items{{{plainText, concealed}, {}}};
        QTest::newRow("concealed type by other names")
            << split("UTF8_STRING application/x-nspasteboard-concealed-type org.nspasteboard.ConcealedType")
            << Fetched() << Items{{{plainText, concealed}, {}}};
        QTest::newRow("own marker and transient")
            << split("app.clipwell.internal UTF8_STRING org.nspasteboard.TransientType") << Fetched()
            << Items{{{plainText, ownMarker, transient}, {}}};
        QTest::newRow("image and files") << split("image/png text/uri-list x-special/gnome-copied-files")
                                         << Fetched{{"image/png", "png"},
                                                    {"text/uri-list", "file:///a\r\n"},
                                                    {"x-special/gnome-copied-files", "x"}}
                                         << Items{{{png, fileURL}, {{png, "png"}, {fileURL, "file:///a"}}}};
        QTest::newRow("text and html in the owner's order")
            << split("text/html UTF8_STRING") << Fetched{{"text/html", "<b>hi</b>"}, {"UTF8_STRING", "hi"}}
            << Items{{{html, plainText}, {{html, "<b>hi</b>"}, {plainText, "hi"}}}};
        QTest::newRow("a target the owner did not deliver is left out")
            << split("text/html UTF8_STRING") << Fetched{{"UTF8_STRING", "hi"}}
            << Items{{{plainText}, {{plainText, "hi"}}}};
        QTest::newRow("two files: one item each, text stays on the first")
            << split("text/uri-list UTF8_STRING")
            << Fetched{{"text/uri-list",
                        "# copied\r\nfile:///home/a/one.txt\r\nfile:///home/a/two%20b.txt\r\n"},
                       {"UTF8_STRING", "/home/a/one.txt"}}
            << Items{{{fileURL, plainText},
                      {{fileURL, "file:///home/a/one.txt"}, {plainText, "/home/a/one.txt"}}},
                     {{fileURL}, {{fileURL, "file:///home/a/two%20b.txt"}}}};
        QTest::newRow("file and web addresses mixed: files only")
            << split("text/uri-list") << Fetched{{"text/uri-list", "https://example.com\nFILE:///tmp/x\n"}}
            << Items{{{fileURL}, {{fileURL, "FILE:///tmp/x"}}}};
        QTest::newRow("only valid file addresses are kept")
            << split("text/uri-list")
            << Fetched{{"text/uri-list",
                        "file:///tmp/\0nul\r\nfile:///%ZZ%%\r\nfile:///tmp/%00x\r\nfile:relative\r\n"
                        "file:///tmp/a\x01"
                        "b\r\nfile:///tmp/ok%20b\r\nfile:///tmp/%2\r\n"_ba}}
            << Items{{{fileURL}, {{fileURL, "file:///tmp/ok%20b"}}}};
        QTest::newRow("garbage is no address")
            << split("text/uri-list") << Fetched{{"text/uri-list", "not an address\r\nfile://\r\n"}}
            << Items();
        QTest::newRow("a single web address is a URL")
            << split("text/uri-list UTF8_STRING")
            << Fetched{{"text/uri-list", "https://example.com/a\r\n"},
                       {"UTF8_STRING", "https://example.com/a"}}
            << Items{{{url, plainText},
                      {{url, "https://example.com/a"}, {plainText, "https://example.com/a"}}}};
        QTest::newRow("several web addresses are not one URL")
            << split("text/uri-list")
            << Fetched{{"text/uri-list", "https://a.example\r\nhttps://b.example\r\n"}} << Items();
        QTest::newRow("x-moz-url wins over the uri-list address")
            << split("text/x-moz-url text/uri-list")
            << Fetched{{"text/x-moz-url", utf16(QStringLiteral("https://moz.example/é\nTitle"))},
                       {"text/uri-list", "https://list.example\r\n"}}
            << Items{{{url}, {{url, QStringLiteral("https://moz.example/é").toUtf8()}}}};
        QTest::newRow("x-moz-url with a byte order mark")
            << split("text/x-moz-url")
            << Fetched{{"text/x-moz-url",
                        QByteArray("\xff\xfe", 2) + utf16(QStringLiteral("https://example.com\r\n"))}}
            << oneURL;
        QTest::newRow("x-moz-url in UTF-8 from a lax owner")
            << split("text/x-moz-url") << Fetched{{"text/x-moz-url", "https://example.com\ntitle"}} << oneURL;
        QTest::newRow("empty x-moz-url")
            << split("text/x-moz-url") << Fetched{{"text/x-moz-url", ""}} << Items();
    }

    void read()
    {
        QFETCH(QList<QByteArray>, targets);
        QFETCH(Fetched, fetched);
        QFETCH(Items, items);
        if (fetched.isEmpty()) {
            for (const QByteArray& target : targets)
                fetched.insert(target, target);
        }
        const MimeTypeMap::ReadPlan plan = MimeTypeMap::plan(targets);
        QCOMPARE(plan.excludedTypes.isEmpty() ? MimeTypeMap::assemble(plan, fetched)
                                              : MimeTypeMap::typesOnly(plan),
                 items);
    }

    void writeTargets_data()
    {
        QTest::addColumn<Snapshots>("items");
        QTest::addColumn<Targets>("targets");

        QTest::newRow("text under every text target, then html")
            << Snapshots{{{{plainText, "hi"}, {html, "<b>hi</b>"}}}}
            << textAs("hi") + Targets{{"text/html", "<b>hi</b>"}} + legacyTextAs("hi");
        // As Qt serves it: what Latin-1 cannot hold becomes '?'.
        QTest::newRow("text beyond Latin-1")
            << Snapshots{{{{plainText, "caf\xc3\xa9 \xe6\x96\x87"}}}}
            << textAs("caf\xc3\xa9 \xe6\x96\x87") + legacyTextAs("caf\xe9 ?");
        QTest::newRow("files of all items: uri-list, copied-files, paths as text")
            << Snapshots{{{{fileURL, "file:///a"}, {ownMarker, "1"}}},
                         {{{fileURL, "file:///b%20c"}, {ownMarker, "1"}}}}
            << Targets{{"app.clipwell.internal", "1"},
                       {"text/uri-list", "file:///a\r\nfile:///b%20c\r\n"},
                       {"x-special/gnome-copied-files", "copy\nfile:///a\nfile:///b%20c"}} +
                   textAs("/a\n/b c") + legacyTextAs("/a\n/b c");
        QTest::newRow("a file's captured text is kept")
            << Snapshots{{{{fileURL, "file:///a%20b"}, {plainText, "a b"}}}}
            << textAs("a b") +
                   Targets{{"text/uri-list", "file:///a%20b\r\n"},
                           {"x-special/gnome-copied-files", "copy\nfile:///a%20b"}} +
                   legacyTextAs("a b");
        QTest::newRow("a web address as x-moz-url and uri-list")
            << Snapshots{{{{url, "https://e.example/é"}}}}
            << Targets{{"text/x-moz-url", utf16(QStringLiteral("https://e.example/é"))},
                       {"text/uri-list", QStringLiteral("https://e.example/é\r\n").toUtf8()}};
        QTest::newRow("types without an X11 name keep their own; the first item's value wins")
            << Snapshots{{{{rtfd, "rtfd"}, {png, "one"}}}, {{{png, "two"}}}}
            << Targets{{"com.apple.flat-rtfd", "rtfd"}, {"image/png", "one"}};
    }

    void writeTargets()
    {
        QFETCH(Snapshots, items);
        QFETCH(Targets, targets);
        QCOMPARE(X11TargetMap::writeTargets(items), targets);
    }
};

QTEST_GUILESS_MAIN(TestMimeTypeMap)
#include "tst_mimetypemap.moc"
