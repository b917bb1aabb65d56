#include "platform/wayland/WaylandKeyTranslator.h"
#include "support/TestColumns.h"
#include "support/wayland/TapRecordText.h"

#include <QTest>
#include <xkbcommon/xkbcommon.h>

namespace {

// Like the keymap a virtual keyboard brings: one key per keysym, numbered as they came, so raw codes
// mean nothing; Super sits on Mod3 here.
const QByteArray synthetic = R"xkb(xkb_keymap {
xkb_keycodes "(unnamed)" { minimum = 8; maximum = 16;
  <K1> = 9; <K2> = 10; <K3> = 11; <K4> = 12; <K5> = 13; <K6> = 14; <K7> = 15; <K8> = 16; };
xkb_types "(unnamed)" { include "complete" };
xkb_compatibility "(unnamed)" { include "complete" };
xkb_symbols "(unnamed)" {
  key <K1> {[ a ]}; key <K2> {[ z ]}; key <K3> {[ v, V ]}; key <K4> {[ Escape ]};
  key <K5> {[ Shift_L ]}; key <K6> {[ Super_L ]}; key <K7> {[ Insert ]}; key <K8> {[ Control_L ]};
  modifier_map Shift { <K5> }; modifier_map Mod3 { <K6> }; modifier_map Control { <K8> };
};
};)xkb";

QByteArray fromNames(const char* layout)
{
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    const xkb_rule_names names{"evdev", "pc105", layout, nullptr, nullptr};
    xkb_keymap* keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    char* text = keymap ? xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1) : nullptr;
    const QByteArray result(text);
    free(text);
    xkb_keymap_unref(keymap);
    xkb_context_unref(context);
    return result;
}

QByteArray keymapNamed(const QString& name)
{
    return name == QLatin1String("synthetic") ? synthetic : fromNames(qPrintable(name));
}

// "SCAW" letters as the bits of the real modifiers, which every keymap numbers as the X11 core
// protocol does (Shift 0, Control 2, Mod1 3, Mod3 5, Mod4 6).
quint32 maskOf(const QByteArray& keymap, const QString& letters)
{
    quint32 mask = 0;
    for (const QChar letter : letters)
        mask |= 1u << (letter == u'S'        ? 0
                       : letter == u'C'      ? 2
                       : letter == u'A'      ? 3
                       : keymap == synthetic ? 5
                                             : 6);
    return mask;
}

} // namespace

class TstWaylandKeyTranslator : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void records_data();
    void records();
    void locate_data();
    void locate();
};

void TstWaylandKeyTranslator::records_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("expected");
    const QList<std::pair<const char*, const char*>> rows{
        {"mods SW; down z; up z; down v; down Escape; down a; mods -",
         "F:SW D:Z:SW U:Z:SW D:V:SW D:E:SW D:O:SW F:"},
        {"mods S; down v", "F:S D:V:S"},
        {"down Shift_L; mods S; down Control_L; mods SC; up Shift_L; mods C", "F:S F:SC F:C"},
        {"latch S; lock C; mods A", "F:S F: F:A"},
        {"mods SW; mods SW", "F:SW"},
        {"mods SW; enter; mods -", "F:SW F:"},
        {"mods SW; enter; mods SW", "F:SW F:SW"},
        {"mods SW; enter; down z", "F:SW F:SW D:Z:SW"},
        {"repeat 25 600; down z @0; due 600; at 599; at 600; at 680; up z @690; due -; at 2000",
         "D:Z: D:Z*: D:Z*: D:Z*: U:Z:"},
        {"down z @0; down a @100; due 700; at 740", "D:Z: D:O: D:O*: D:O*:"},
        {"down z @0; up z @500; at 2000", "D:Z: U:Z:"},
        {"down z @0; leave; due -; at 2000", "D:Z:"},
        {"repeat 0 600; down z @0; at 2000", "D:Z:"},
        {"down Shift_L @0; due -; at 2000", ""},
    };
    for (const QString& keymap : {QStringLiteral("us"), QStringLiteral("synthetic")}) {
        for (const auto& [steps, expected] : rows)
            QTest::addRow("%s: %s", qPrintable(keymap), steps)
                << keymap + QLatin1String("; ") + QLatin1String(steps) << QString::fromLatin1(expected);
    }
}

// Steps: "mods/latch/lock LETTERS" (- for none), "down/up KEYSYM [@ms]", "enter", "leave",
// "repeat RATE DELAY", "at MS" (advance), "due MS" (next repeat, - for none).
void TstWaylandKeyTranslator::records()
{
    QFETCH(QString, steps);
    QFETCH(QString, expected);
    QStringList records;
    WaylandKeyTranslator translator([&](TapEvent& record) { records.append(tapRecordText(record)); });
    const QStringList list = steps.split(QLatin1String("; "));
    const QByteArray keymap = keymapNamed(list.first());
    QVERIFY(translator.setKeymap(keymap));
    for (const QString& step : list.mid(1)) {
        const QStringList words = step.split(u' ');
        const QString& verb = words[0];
        const QString argument = words.value(1) == QLatin1String("-") ? QString() : words.value(1);
        const qint64 time = words.value(2).mid(1).toLongLong();
        if (verb == QLatin1String("mods") || verb == QLatin1String("latch") ||
            verb == QLatin1String("lock")) {
            const quint32 mask = maskOf(keymap, argument);
            translator.modifiers(verb == QLatin1String("mods") ? mask : 0,
                                 verb == QLatin1String("latch") ? mask : 0,
                                 verb == QLatin1String("lock") ? mask : 0, 0);
        } else if (verb == QLatin1String("down") || verb == QLatin1String("up")) {
            const auto location =
                translator.locate(xkb_keysym_from_name(qPrintable(argument), XKB_KEYSYM_NO_FLAGS));
            QVERIFY2(location, qPrintable(argument));
            translator.key(location->code, verb == QLatin1String("down"), time);
        } else if (verb == QLatin1String("enter")) {
            translator.enter({});
        } else if (verb == QLatin1String("leave")) {
            translator.leave();
        } else if (verb == QLatin1String("repeat")) {
            translator.setRepeat(words[1].toInt(), words[2].toInt());
        } else if (verb == QLatin1String("at")) {
            translator.advance(words[1].toLongLong());
        } else if (verb == QLatin1String("due")) {
            QCOMPARE(translator.nextRepeat(),
                     argument.isEmpty() ? std::nullopt : std::optional(argument.toLongLong()));
        }
    }
    QCOMPARE(records.join(u' '), expected);
}

void TstWaylandKeyTranslator::locate_data()
{
    addColumns<QString, QString, int, int>("keymap", "keysym", "code", "group");
    // Evdev codes: KEY_V 47, KEY_INSERT 110.
    QTest::newRow("us v") << "us"
                          << "v" << 47 << 0;
    QTest::newRow("us Insert") << "us"
                               << "Insert" << 110 << 0;
    QTest::newRow("Russian first, v in the second group") << "ru,us"
                                                          << "v" << 47 << 1;
    QTest::newRow("synthetic v") << "synthetic"
                                 << "v" << 3 << 0;
    QTest::newRow("synthetic Insert") << "synthetic"
                                      << "Insert" << 7 << 0;
    QTest::newRow("capital V is no key of its own") << "synthetic"
                                                    << "V" << -1 << 0;
}

void TstWaylandKeyTranslator::locate()
{
    QFETCH(QString, keymap);
    QFETCH(QString, keysym);
    QFETCH(int, code);
    QFETCH(int, group);
    WaylandKeyTranslator translator({});
    const QByteArray text = keymapNamed(keymap);
    QVERIFY(translator.setKeymap(text));
    const auto location = translator.locate(xkb_keysym_from_name(qPrintable(keysym), XKB_KEYSYM_NO_FLAGS));
    QCOMPARE(location ? int(location->code) : -1, code);
    QCOMPARE(location ? int(location->group) : 0, group);
    QCOMPARE(translator.modifierMask(TapEvent::controlFlag | TapEvent::shiftFlag),
             maskOf(text, QStringLiteral("CS")));
    QVERIFY(!translator.setKeymap("not a keymap"));
    QCOMPARE(translator.keymapText(), text);
}

QTEST_APPLESS_MAIN(TstWaylandKeyTranslator)
#include "tst_waylandkeytranslator.moc"
