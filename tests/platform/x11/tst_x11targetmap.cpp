#include "models/PasteboardType.h"
#include "platform/x11/X11TargetMap.h"

#include <QTest>

using X11TargetMap::Item;
using Fetch = X11TargetMap::ReadPlan::Fetch;
using Fetched = QHash<QByteArray, QByteArray>;
Q_DECLARE_METATYPE(QList<PasteboardItemSnapshot>)

namespace {

QList<QByteArray> split(const char* targets)
{
    return QByteArray(targets).split(' ');
}

QByteArray utf16(const QString& text)
{
    return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

const QString plainText = PasteboardType::plainText;
const QString html = PasteboardType::html;
const QString fileURL = PasteboardType::fileURL;
const QString url = PasteboardType::url;
const QString png = PasteboardType::png;

} // namespace

class TestX11TargetMap : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void plan_data()
    {
        QTest::addColumn<QList<QByteArray>>("targets");
        QTest::addColumn<QList<Fetch>>("fetches");
        QTest::addColumn<QStringList>("excluded");

        QTest::newRow("preferred text target wins, owner order kept")
            << split("TARGETS text/html UTF8_STRING text/plain;charset=utf-8 STRING")
            << QList<Fetch>{{html, "text/html"}, {plainText, "text/plain;charset=utf-8"}} << QStringList();
        QTest::newRow("plain text/plain is the last resort")
            << split("TIMESTAMP text/plain") << QList<Fetch>{{plainText, "text/plain"}} << QStringList();
        QTest::newRow("uri-list and image")
            << split("image/png text/uri-list x-special/gnome-copied-files")
            << QList<Fetch>{{png, "image/png"}, {QStringLiteral("text/uri-list"), "text/uri-list"}}
            << QStringList();
        QTest::newRow("rtf under either name")
            << split("application/rtf") << QList<Fetch>{{PasteboardType::rtf, "application/rtf"}}
            << QStringList();
        QTest::newRow("nothing mapped")
            << split("TARGETS MULTIPLE SAVE_TARGETS x-private/thing") << QList<Fetch>() << QStringList();
        QTest::newRow("password manager hint")
            << split("UTF8_STRING x-kde-passwordManagerHint") << QList<Fetch>{{plainText, "UTF8_STRING"}}
            << QStringList{PasteboardType::concealed};
        QTest::newRow("concealed type by other names")
            << split("UTF8_STRING application/x-nspasteboard-concealed-type org.nspasteboard.ConcealedType")
            << QList<Fetch>{{plainText, "UTF8_STRING"}} << QStringList{PasteboardType::concealed};
        QTest::newRow("own marker and transient")
            << split("app.clipwell.internal UTF8_STRING org.nspasteboard.TransientType")
            << QList<Fetch>{{plainText, "UTF8_STRING"}}
            << QStringList{PasteboardType::ownMarker, PasteboardType::transient};
    }

    void plan()
    {
        QFETCH(QList<QByteArray>, targets);
        QFETCH(QList<Fetch>, fetches);
        QFETCH(QStringList, excluded);
        const X11TargetMap::ReadPlan result = X11TargetMap::plan(targets);
        QCOMPARE(result.fetches, fetches);
        excluded.sort();
        QCOMPARE(result.excludedTypes, excluded);
    }

    void typesOnlyNeverCarriesData()
    {
        const auto plan = X11TargetMap::plan(split("UTF8_STRING text/uri-list x-kde-passwordManagerHint"));
        const QList<Item> items = X11TargetMap::typesOnly(plan);
        QCOMPARE(items.size(), 1);
        QCOMPARE(items.first().types, (QStringList{plainText, PasteboardType::concealed}));
        QVERIFY(items.first().data.isEmpty());
    }

    void assemble_data()
    {
        QTest::addColumn<QList<QByteArray>>("targets");
        QTest::addColumn<Fetched>("fetched");
        QTest::addColumn<QList<Item>>("items");

        QTest::newRow("text and html in the owner's order")
            << split("text/html UTF8_STRING") << Fetched{{"text/html", "<b>hi</b>"}, {"UTF8_STRING", "hi"}}
            << QList<Item>{{{html, plainText}, {{html, "<b>hi</b>"}, {plainText, "hi"}}}};
        QTest::newRow("a target the owner did not deliver is left out")
            << split("text/html UTF8_STRING") << Fetched{{"UTF8_STRING", "hi"}}
            << QList<Item>{{{plainText}, {{plainText, "hi"}}}};
        QTest::newRow("nothing delivered") << split("UTF8_STRING") << Fetched() << QList<Item>();
        QTest::newRow("two files: one item each, text stays on the first")
            << split("text/uri-list UTF8_STRING")
            << Fetched{{"text/uri-list",
                        "# copied\r\nfile:///home/a/one.txt\r\nfile:///home/a/two%20b.txt\r\n"},
                       {"UTF8_STRING", "/home/a/one.txt"}}
            << QList<Item>{{{fileURL, plainText},
                            {{fileURL, "file:///home/a/one.txt"}, {plainText, "/home/a/one.txt"}}},
                           {{fileURL}, {{fileURL, "file:///home/a/two%20b.txt"}}}};
        QTest::newRow("file and web addresses mixed: files only")
            << split("text/uri-list") << Fetched{{"text/uri-list", "https://example.com\nFILE:///tmp/x\n"}}
            << QList<Item>{{{fileURL}, {{fileURL, "FILE:///tmp/x"}}}};
        QTest::newRow("garbage file addresses are not a file copy")
            << split("text/uri-list")
            << Fetched{{"text/uri-list", QByteArray("file:///tmp/\0nul\r\nfile://\r\nfile:///%ZZ%%\r\n", 42)}}
            << QList<Item>();
        QTest::newRow("only valid file addresses are kept")
            << split("text/uri-list UTF8_STRING")
            << Fetched{{"text/uri-list", "file:///tmp/%00x\r\nfile:relative\r\nfile:///tmp/a\x01b\r\n"
                                         "file:///tmp/ok%20b\r\nfile:///tmp/%2\r\n"},
                       {"UTF8_STRING", "ok b"}}
            << QList<Item>{{{fileURL, plainText}, {{fileURL, "file:///tmp/ok%20b"}, {plainText, "ok b"}}}};
        QTest::newRow("a garbage web address is not a URL")
            << split("text/uri-list") << Fetched{{"text/uri-list", "not an address\r\n"}} << QList<Item>();
        QTest::newRow("a single web address is a URL")
            << split("text/uri-list UTF8_STRING")
            << Fetched{{"text/uri-list", "https://example.com/a\r\n"},
                       {"UTF8_STRING", "https://example.com/a"}}
            << QList<Item>{{{url, plainText},
                            {{url, "https://example.com/a"}, {plainText, "https://example.com/a"}}}};
        QTest::newRow("several web addresses are not one URL")
            << split("text/uri-list")
            << Fetched{{"text/uri-list", "https://a.example\r\nhttps://b.example\r\n"}} << QList<Item>();
        QTest::newRow("x-moz-url wins over the uri-list address")
            << split("text/x-moz-url text/uri-list")
            << Fetched{{"text/x-moz-url", utf16(QStringLiteral("https://moz.example\nTitle"))},
                       {"text/uri-list", "https://list.example\r\n"}}
            << QList<Item>{{{url}, {{url, "https://moz.example"}}}};
    }

    void assemble()
    {
        QFETCH(QList<QByteArray>, targets);
        QFETCH(Fetched, fetched);
        QFETCH(QList<Item>, items);
        QCOMPARE(X11TargetMap::assemble(X11TargetMap::plan(targets), fetched), items);
    }

    void writeTargets_data()
    {
        using Targets = QList<std::pair<QByteArray, QByteArray>>;
        QTest::addColumn<QList<PasteboardItemSnapshot>>("items");
        QTest::addColumn<Targets>("targets");

        QTest::newRow("text under every text target, then html")
            << QList<PasteboardItemSnapshot>{{{{plainText, "hi"}, {html, "<b>hi</b>"}}}}
            << Targets{{"text/plain;charset=utf-8", "hi"},
                       {"UTF8_STRING", "hi"},
                       {"text/plain", "hi"},
                       {"text/html", "<b>hi</b>"}};
        QTest::newRow("files of all items: uri-list, copied-files, paths as text")
            << QList<PasteboardItemSnapshot>{{{{fileURL, "file:///a"}, {PasteboardType::ownMarker, "1"}}},
                                             {{{fileURL, "file:///b%20c"}, {PasteboardType::ownMarker, "1"}}}}
            << Targets{{"app.clipwell.internal", "1"},
                       {"text/uri-list", "file:///a\r\nfile:///b%20c\r\n"},
                       {"x-special/gnome-copied-files", "copy\nfile:///a\nfile:///b%20c"},
                       {"text/plain;charset=utf-8", "/a\n/b c"},
                       {"UTF8_STRING", "/a\n/b c"},
                       {"text/plain", "/a\n/b c"}};
        QTest::newRow("a file's captured text is kept")
            << QList<PasteboardItemSnapshot>{{{{fileURL, "file:///a%20b"}, {plainText, "a b"}}}}
            << Targets{{"text/plain;charset=utf-8", "a b"},
                       {"UTF8_STRING", "a b"},
                       {"text/plain", "a b"},
                       {"text/uri-list", "file:///a%20b\r\n"},
                       {"x-special/gnome-copied-files", "copy\nfile:///a%20b"}};
        QTest::newRow("a web address as x-moz-url and uri-list")
            << QList<PasteboardItemSnapshot>{{{{url, "https://e.example/é"}}}}
            << Targets{{"text/x-moz-url", utf16(QStringLiteral("https://e.example/é"))},
                       {"text/uri-list", QStringLiteral("https://e.example/é\r\n").toUtf8()}};
        QTest::newRow("types without an X11 name keep their own")
            << QList<PasteboardItemSnapshot>{{{{PasteboardType::rtfd, "rtfd"}, {png, "png"}}}}
            << Targets{{"com.apple.flat-rtfd", "rtfd"}, {"image/png", "png"}};
        QTest::newRow("the first item's value wins")
            << QList<PasteboardItemSnapshot>{{{{png, "one"}}}, {{{png, "two"}}}}
            << Targets{{"image/png", "one"}};
    }

    void writeTargets()
    {
        using Targets = QList<std::pair<QByteArray, QByteArray>>;
        QFETCH(QList<PasteboardItemSnapshot>, items);
        QFETCH(Targets, targets);
        QCOMPARE(X11TargetMap::writeTargets(items), targets);
    }

    void mozUrlAddress_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("address");

        QTest::newRow("UTF-16 with title") << utf16(QStringLiteral("https://example.com/é\nExample"))
                                           << QStringLiteral("https://example.com/é").toUtf8();
        QTest::newRow("UTF-16 with byte order mark")
            << QByteArray("\xff\xfe", 2) + utf16(QStringLiteral("https://example.com\r\n"))
            << QByteArray("https://example.com");
        QTest::newRow("UTF-8 from a lax owner")
            << QByteArray("https://example.com\ntitle") << QByteArray("https://example.com");
        QTest::newRow("empty") << QByteArray() << QByteArray();
    }

    void mozUrlAddress()
    {
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, address);
        QCOMPARE(X11TargetMap::mozUrlAddress(data), address);
    }
};

QTEST_GUILESS_MAIN(TestX11TargetMap)
#include "tst_x11targetmap.moc"
