#include "models/RtfText.h"

#include <QHash>
#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unicode/ucnv.h>
#include <unordered_map>
#include <vector>

namespace RtfText {
namespace {

// Real documents nest a few dozen groups at most; anything deeper is dropped rather than stacked, so
// hostile nesting costs no memory.
constexpr std::size_t maxDepth = 512;
// A font table larger than this is not a document anyone wrote.
constexpr qsizetype maxFonts = 4096;
// Decoded in slices so a long run of text never needs one huge conversion.
constexpr qsizetype byteChunk = 64 * 1024;
constexpr int defaultCodepage = 1252;
// Not a Windows code page: text in a symbol-charset font, whose bytes are glyph numbers.
constexpr int symbolCodepage = -2;

enum class Action : std::uint8_t {
    skipDestination,
    fontTable,
    character,
    paragraph,
    lineBreak,
    tab,
    cell,
    row,
    unicode,
    unicodeSkip,
    font,
    fontCharset,
    fontCodepage,
    ansiCodepage,
    ansi,
    mac,
    pc,
    pca,
    defaultFont,
    binary,
    plain,
    hidden
};

struct Keyword {
    std::string_view name;
    Action action;
    char16_t character = 0;
};

// Destinations whose content is never visible text. Fields keep their result but not their code.
constexpr std::string_view skippedDestinations =
    "aftncn aftnsep aftnsepc annotation atnauthor atndate atnicn atnid atnparent atnref atntime "
    "atrfend atrfstart author bkmkend bkmkstart blipuid buptim category colorschememapping colortbl "
    "comment company creatim datafield datastore defchp defpap do doccomm docvar dptxbxtext ebcend "
    "ebcstart factoidname falt fchars ffdeftext ffentrymcr ffexitmcr ffformat ffhelptext ffname "
    "ffstattext file filetbl fldinst fldtype fname fontemb fontfile footer footerf footerl footerr "
    "footnote formfield ftncn ftnsep ftnsepc generator header headerf headerl headerr hlfr hlinkbase "
    "hlloc hlsrc htmltag info keycode keywords latentstyles lchars levelnumbers leveltext lfolevel "
    "linkval list listlevel listname listoverride listoverridetable listpicture liststylename "
    "listtable manager mhtmltag mmathPr nesttableprops nextfile nonesttables nonshppict objalias "
    "objclass objdata object objname objsect objtime oldcprops oldpprops oldsprops oldtprops "
    "operator panose password passwordhash pgdsctbl pgptbl picprop pict pn pnseclvl pntxta pntxtb "
    "printim private propname protend protstart protusertbl pxe revtbl revtim rsidtbl rxe shp "
    "shpinst shppict shprslt sn sp stylesheet subject sv tc template themedata title txe ud "
    "userprops wgrffmtfilter windowcaption writereservation writereservhash xe xform xmlattrname "
    "xmlattrvalue xmlclose xmlname xmlnstbl xmlopen ";

constexpr std::array keywords{
    Keyword{"fonttbl", Action::fontTable},
    Keyword{"par", Action::paragraph},
    Keyword{"sect", Action::paragraph},
    Keyword{"line", Action::lineBreak},
    Keyword{"page", Action::lineBreak},
    Keyword{"column", Action::lineBreak},
    Keyword{"tab", Action::tab},
    Keyword{"cell", Action::cell},
    Keyword{"nestcell", Action::cell},
    Keyword{"row", Action::row},
    Keyword{"nestrow", Action::row},
    Keyword{"u", Action::unicode},
    Keyword{"uc", Action::unicodeSkip},
    Keyword{"f", Action::font},
    Keyword{"fcharset", Action::fontCharset},
    Keyword{"cpg", Action::fontCodepage},
    Keyword{"ansicpg", Action::ansiCodepage},
    Keyword{"ansi", Action::ansi},
    Keyword{"mac", Action::mac},
    Keyword{"pc", Action::pc},
    Keyword{"pca", Action::pca},
    Keyword{"deff", Action::defaultFont},
    Keyword{"bin", Action::binary},
    Keyword{"plain", Action::plain},
    Keyword{"v", Action::hidden},
    Keyword{"emdash", Action::character, u'\u2014'},
    Keyword{"endash", Action::character, u'\u2013'},
    Keyword{"emspace", Action::character, u'\u2003'},
    Keyword{"enspace", Action::character, u'\u2002'},
    Keyword{"qmspace", Action::character, u'\u2005'},
    Keyword{"bullet", Action::character, u'\u2022'},
    Keyword{"lquote", Action::character, u'\u2018'},
    Keyword{"rquote", Action::character, u'\u2019'},
    Keyword{"ldblquote", Action::character, u'\u201C'},
    Keyword{"rdblquote", Action::character, u'\u201D'},
    Keyword{"zwbo", Action::character, u'\u200B'},
    Keyword{"zwnj", Action::character, u'\u200C'},
    Keyword{"zwj", Action::character, u'\u200D'},
    Keyword{"ltrmark", Action::character, u'\u200E'},
    Keyword{"rtlmark", Action::character, u'\u200F'},
};

const Keyword* findKeyword(std::string_view name)
{
    static const auto table = [] {
        std::unordered_map<std::string_view, Keyword> map;
        std::string_view rest = skippedDestinations;
        while (!rest.empty()) {
            const std::string_view destination = rest.substr(0, rest.find(' '));
            map.emplace(destination, Keyword{destination, Action::skipDestination});
            rest.remove_prefix(std::min(destination.size() + 1, rest.size()));
        }
        for (const Keyword& keyword : keywords)
            map.emplace(keyword.name, keyword);
        return map;
    }();
    const auto found = table.find(name);
    return found == table.end() ? nullptr : &found->second;
}

// The Windows code page of a \fcharset value; 0 when the font uses the document's code page.
int charsetCodepage(std::int64_t charset)
{
    // Mac character sets (77-81) decode with their Windows counterparts.
    static constexpr std::pair<int, int> codepages[] = {
        {2, symbolCodepage}, {77, 10000}, {78, 932},   {79, 949},   {80, 936},   {81, 950},   {128, 932},
        {129, 949},          {134, 936},  {136, 950},  {161, 1253}, {162, 1254}, {163, 1258}, {177, 1255},
        {178, 1256},         {186, 1257}, {204, 1251}, {222, 874},  {238, 1250}, {254, 437},  {255, 850}};
    for (const auto& [set, codepage] : codepages) {
        if (set == charset)
            return codepage;
    }
    return 0;
}

// ICU's name for a code page; empty for ones this reader does not decode. Keeping to a fixed set
// also bounds how many converters a hostile document can make us open.
std::string icuConverterName(int codepage)
{
    static constexpr std::pair<int, const char*> named[] = {
        {10000, "macintosh"},      {10001, "windows-932"},
        {10002, "windows-950"},    {10003, "windows-949"},
        {10008, "windows-936"},    {10006, "x-mac-greek"},
        {10007, "x-mac-cyrillic"}, {10029, "x-mac-centraleurroman"},
        {20127, "US-ASCII"},       {20866, "KOI8-R"},
        {21866, "KOI8-U"},         {51932, "EUC-JP"},
        {54936, "GB18030"},        {65001, "UTF-8"}};
    static constexpr int windows[] = {874,  932,  936,  949,  950,  1250, 1251,
                                      1252, 1253, 1254, 1255, 1256, 1257, 1258};
    static constexpr int dos[] = {437, 737, 775, 850, 852, 855, 857, 860, 861, 862, 863, 864, 865, 866, 869};
    for (const auto& [number, name] : named) {
        if (number == codepage)
            return name;
    }
    if (std::ranges::find(windows, codepage) != std::ranges::end(windows))
        return "windows-" + std::to_string(codepage);
    if (std::ranges::find(dos, codepage) != std::ranges::end(dos))
        return "cp" + std::to_string(codepage);
    if ((codepage >= 28591 && codepage <= 28599) || codepage == 28603 || codepage == 28605)
        return "ISO-8859-" + std::to_string(codepage - 28590);
    return {};
}

int supportedCodepage(std::int64_t codepage)
{
    if (codepage == symbolCodepage)
        return symbolCodepage;
    if (codepage <= 0 || codepage > 65535)
        return defaultCodepage;
    const int value = static_cast<int>(codepage);
    return icuConverterName(value).empty() ? defaultCodepage : value;
}

struct ConverterCloser {
    void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int hexValue(char c)
{
    if (isDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

int clampToInt(std::int64_t value)
{
    return static_cast<int>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
}

class Parser {
public:
    explicit Parser(const QByteArray& rtf) : m_end(rtf.constData() + rtf.size()) {}

    QString run(const char* start)
    {
        m_pos = start;
        while (m_pos < m_end && !m_done) {
            const char c = *m_pos++;
            switch (c) {
            case '{':
                openGroup();
                break;
            case '}':
                closeGroup();
                break;
            case '\\':
                control();
                break;
            case '\r':
            case '\n':
                break;
            default:
                textByte(static_cast<std::uint8_t>(c));
                break;
            }
        }
        finishBytes();
        if (m_endsWithParagraph && m_out.endsWith(u'\n'))
            m_out.chop(1);
        replaceLoneSurrogates();
        return std::move(m_out);
    }

private:
    enum class Destination : std::uint8_t { text, fontTable, skipped };

    struct Group {
        int font = -1; // -1: the document's default font
        int unicodeSkip = 1;
        Destination destination = Destination::text;
        bool hidden = false;
        bool ignorableNext = false;
    };

    struct FontCodepages {
        int charset = 0;
        int explicitCodepage = 0;
    };

    void openGroup()
    {
        m_fallbackToSkip = 0;
        if (m_stack.size() >= maxDepth) {
            ++m_overflow;
            return;
        }
        m_stack.push_back(m_group);
        m_group.ignorableNext = false;
    }

    void closeGroup()
    {
        m_fallbackToSkip = 0;
        if (m_overflow > 0) {
            --m_overflow;
            return;
        }
        if (m_stack.empty()) {
            m_done = true;
            return;
        }
        m_group = m_stack.back();
        m_stack.pop_back();
        // The document ends with its outermost group; clipboard owners often append padding.
        if (m_stack.empty())
            m_done = true;
    }

    bool emitting() const
    {
        return m_overflow == 0 && m_group.destination == Destination::text && !m_group.hidden;
    }

    // Consumes one character of a \u fallback; true when the caller's token was part of it.
    bool consumedAsFallback()
    {
        if (m_fallbackToSkip == 0)
            return false;
        --m_fallbackToSkip;
        return true;
    }

    void control()
    {
        if (m_pos == m_end)
            return;
        if (isLetter(*m_pos)) {
            controlWord();
            return;
        }
        const char symbol = *m_pos++;
        if (symbol == '\'') {
            int value = 0;
            int digits = 0;
            while (digits < 2 && m_pos < m_end && hexValue(*m_pos) >= 0) {
                value = value * 16 + hexValue(*m_pos++);
                ++digits;
            }
            if (!consumedAsFallback() && digits == 2 && emitting())
                appendByte(static_cast<std::uint8_t>(value));
            return;
        }
        if (consumedAsFallback())
            return;
        switch (symbol) {
        case '\\':
        case '{':
        case '}':
            if (emitting())
                appendByte(static_cast<std::uint8_t>(symbol));
            break;
        case '~':
            emitCharacter(u'\u00A0');
            break;
        case '_':
            emitCharacter(u'\u2011');
            break;
        case '\r':
        case '\n':
            emitParagraph();
            break;
        case '\t':
            emitCharacter(u'\t');
            break;
        case '*':
            if (m_overflow == 0)
                m_group.ignorableNext = true;
            break;
        default:
            // \- (optional hyphen), \| and \: show nothing.
            break;
        }
    }

    void controlWord()
    {
        const char* nameStart = m_pos;
        while (m_pos < m_end && isLetter(*m_pos))
            ++m_pos;
        const std::string_view name(nameStart, static_cast<std::size_t>(m_pos - nameStart));

        bool hasParameter = false;
        bool negative = false;
        std::int64_t parameter = 0;
        if (m_pos < m_end && *m_pos == '-' && m_pos + 1 < m_end && isDigit(m_pos[1])) {
            negative = true;
            ++m_pos;
        }
        // Saturates well outside every meaningful range, however many digits follow.
        while (m_pos < m_end && isDigit(*m_pos)) {
            hasParameter = true;
            if (parameter < 1'000'000'000'000)
                parameter = parameter * 10 + (*m_pos - '0');
            ++m_pos;
        }
        if (negative)
            parameter = -parameter;
        if (m_pos < m_end && *m_pos == ' ')
            ++m_pos;

        const Keyword* keyword = findKeyword(name);
        if (keyword && keyword->action == Action::binary) {
            // Binary data is skipped whatever the state, or its bytes would be read as RTF.
            consumedAsFallback();
            const std::int64_t length = hasParameter ? std::max<std::int64_t>(parameter, 0) : 0;
            m_pos += std::min<std::int64_t>(length, m_end - m_pos);
            return;
        }
        if (consumedAsFallback() || m_overflow > 0)
            return;
        if (m_group.ignorableNext) {
            m_group.ignorableNext = false;
            m_group.destination = Destination::skipped;
            return;
        }
        if (!keyword)
            return;
        if (m_group.destination == Destination::fontTable) {
            fontTableWord(*keyword, parameter);
            return;
        }
        applyWord(*keyword, hasParameter, parameter);
    }

    void fontTableWord(const Keyword& keyword, std::int64_t parameter)
    {
        switch (keyword.action) {
        case Action::font:
            m_definingFont = clampToInt(parameter);
            break;
        case Action::fontCharset:
            if (FontCodepages* font = definedFont())
                font->charset = charsetCodepage(parameter);
            break;
        case Action::fontCodepage:
            if (FontCodepages* font = definedFont())
                font->explicitCodepage = supportedCodepage(parameter);
            break;
        case Action::skipDestination:
            m_group.destination = Destination::skipped;
            break;
        default:
            break;
        }
    }

    FontCodepages* definedFont()
    {
        if (m_definingFont < 0)
            return nullptr;
        const auto found = m_fonts.find(m_definingFont);
        if (found != m_fonts.end())
            return &found.value();
        if (m_fonts.size() >= maxFonts)
            return nullptr;
        return &m_fonts[m_definingFont];
    }

    void applyWord(const Keyword& keyword, bool hasParameter, std::int64_t parameter)
    {
        switch (keyword.action) {
        case Action::skipDestination:
            m_group.destination = Destination::skipped;
            break;
        case Action::fontTable:
            if (m_group.destination == Destination::text)
                m_group.destination = Destination::fontTable;
            m_definingFont = -1;
            break;
        case Action::character:
            emitCharacter(keyword.character);
            break;
        case Action::paragraph:
            emitParagraph();
            break;
        case Action::lineBreak:
            emitCharacter(u'\n');
            break;
        case Action::tab:
            emitCharacter(u'\t');
            break;
        case Action::cell:
            if (emitting()) {
                emitCharacter(u'\t');
                m_endsWithCell = true;
            }
            break;
        case Action::row:
            emitRowEnd();
            break;
        case Action::unicode:
            emitUnicode(parameter);
            m_fallbackToSkip = m_group.unicodeSkip;
            break;
        case Action::unicodeSkip:
            m_group.unicodeSkip = std::max(clampToInt(parameter), 0);
            break;
        case Action::font:
            m_group.font = clampToInt(parameter);
            break;
        case Action::ansiCodepage:
            m_documentCodepage = supportedCodepage(parameter);
            break;
        case Action::ansi:
            m_documentCodepage = 1252;
            break;
        case Action::mac:
            m_documentCodepage = 10000;
            break;
        case Action::pc:
            m_documentCodepage = 437;
            break;
        case Action::pca:
            m_documentCodepage = 850;
            break;
        case Action::defaultFont:
            m_defaultFont = clampToInt(parameter);
            break;
        case Action::plain:
            m_group.font = -1;
            m_group.hidden = false;
            break;
        case Action::hidden:
            m_group.hidden = !hasParameter || parameter != 0;
            break;
        case Action::fontCharset:
        case Action::fontCodepage:
        case Action::binary:
            break;
        }
    }

    int currentCodepage() const
    {
        const auto found = m_fonts.constFind(m_group.font >= 0 ? m_group.font : m_defaultFont);
        if (found != m_fonts.cend()) {
            if (found->explicitCodepage != 0)
                return found->explicitCodepage;
            if (found->charset != 0)
                return found->charset;
        }
        return m_documentCodepage;
    }

    void textByte(std::uint8_t byte)
    {
        if (consumedAsFallback() || !emitting())
            return;
        if (byte == '\t')
            emitCharacter(u'\t');
        else if (byte >= 0x20)
            appendByte(byte);
    }

    // Bytes are gathered and decoded together: a multi-byte code page splits one character over
    // consecutive \'hh escapes (or an escape and a literal byte).
    void appendByte(std::uint8_t byte)
    {
        const int codepage = currentCodepage();
        if (codepage != m_bytesCodepage) {
            finishBytes();
            m_bytesCodepage = codepage;
        }
        m_bytes.append(static_cast<char>(byte));
        if (m_bytes.size() >= byteChunk)
            decodeBytes(false);
    }

    void finishBytes() { decodeBytes(true); }

    void decodeBytes(bool final)
    {
        if (m_bytes.isEmpty() && !(final && m_converterHasState))
            return;
        const qsizetype before = m_out.size();
        UConverter* converter = converterFor(m_bytesCodepage);
        if (!converter) {
            m_out.append(QString::fromLatin1(m_bytes));
        } else {
            const char* source = m_bytes.constData();
            const char* sourceEnd = source + m_bytes.size();
            std::array<UChar, 1024> buffer{};
            UErrorCode status = U_ZERO_ERROR;
            do {
                status = U_ZERO_ERROR;
                UChar* target = buffer.data();
                ucnv_toUnicode(converter, &target, buffer.data() + buffer.size(), &source, sourceEnd, nullptr,
                               final, &status);
                m_out.append(QStringView(buffer.data(), target - buffer.data()));
            } while (status == U_BUFFER_OVERFLOW_ERROR);
            if (U_FAILURE(status))
                ucnv_reset(converter);
            m_converterHasState = !final && U_SUCCESS(status);
        }
        m_bytes.clear();
        if (m_out.size() == before)
            return;
        for (qsizetype i = before; i < m_out.size(); ++i) {
            QChar& c = m_out[i];
            // Single-byte converters substitute SUB for unmapped bytes.
            if (c == u'\x1A')
                c = QChar::ReplacementCharacter;
            // The symbol font's bullet, as list numbering writes it.
            else if (m_bytesCodepage == symbolCodepage && c == u'\u00B7')
                c = u'\u2022';
        }
        m_endsWithParagraph = false;
        m_endsWithCell = false;
    }

    UConverter* converterFor(int codepage)
    {
        const int effective = codepage == symbolCodepage ? defaultCodepage : codepage;
        for (const auto& [cached, converter] : m_converters) {
            if (cached == effective)
                return converter.get();
        }
        const std::string name = icuConverterName(effective);
        UErrorCode status = U_ZERO_ERROR;
        Converter converter(name.empty() ? nullptr : ucnv_open(name.c_str(), &status));
        if (U_FAILURE(status))
            converter.reset();
        if (converter) {
            ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_SUBSTITUTE, nullptr, nullptr, nullptr,
                                &status);
        }
        m_converters.emplace_back(effective, std::move(converter));
        return m_converters.back().second.get();
    }

    void emitCharacter(char16_t c)
    {
        if (!emitting())
            return;
        finishBytes();
        m_out.append(QChar(c));
        m_endsWithParagraph = false;
        m_endsWithCell = false;
    }

    void emitParagraph()
    {
        if (!emitting())
            return;
        emitCharacter(u'\n');
        m_endsWithParagraph = true;
    }

    // A row's last cell mark ends the line instead of leaving a trailing tab.
    void emitRowEnd()
    {
        if (!emitting())
            return;
        finishBytes();
        if (m_endsWithCell)
            m_out.back() = u'\n';
        else
            m_out.append(u'\n');
        m_endsWithCell = false;
        m_endsWithParagraph = true;
    }

    void emitUnicode(std::int64_t value)
    {
        if (!emitting())
            return;
        // Writers store code units as signed 16-bit numbers; some write whole code points.
        if (value < 0 && value >= -32768)
            value += 65536;
        if (value == 0)
            return;
        if (value < 0 || value > 0x10FFFF) {
            emitCharacter(QChar::ReplacementCharacter);
            return;
        }
        const auto codePoint = static_cast<char32_t>(value);
        if (QChar::requiresSurrogates(codePoint)) {
            emitCharacter(QChar::highSurrogate(codePoint));
            emitCharacter(QChar::lowSurrogate(codePoint));
        } else {
            emitCharacter(static_cast<char16_t>(codePoint));
        }
    }

    void replaceLoneSurrogates()
    {
        const qsizetype size = m_out.size();
        for (qsizetype i = 0; i < size; ++i) {
            const QChar c = m_out.at(i);
            if (c.isHighSurrogate() && i + 1 < size && m_out.at(i + 1).isLowSurrogate())
                ++i;
            else if (c.isSurrogate())
                m_out[i] = QChar::ReplacementCharacter;
        }
    }

    const char* m_end;
    const char* m_pos = nullptr;
    bool m_done = false;

    Group m_group;
    std::vector<Group> m_stack;
    std::size_t m_overflow = 0;
    int m_fallbackToSkip = 0;

    QHash<int, FontCodepages> m_fonts;
    int m_definingFont = -1;
    int m_defaultFont = 0;
    int m_documentCodepage = defaultCodepage;

    QByteArray m_bytes;
    int m_bytesCodepage = defaultCodepage;
    bool m_converterHasState = false;
    std::vector<std::pair<int, Converter>> m_converters;

    QString m_out;
    bool m_endsWithParagraph = false;
    bool m_endsWithCell = false;
};

} // namespace

std::optional<QString> plainText(const QByteArray& rtf)
{
    const char* start = rtf.constData();
    const char* end = start + rtf.size();
    while (start < end && (*start == ' ' || *start == '\t' || *start == '\r' || *start == '\n'))
        ++start;
    if (!std::string_view(start, static_cast<std::size_t>(end - start)).starts_with("{\\rtf"))
        return std::nullopt;
    return Parser(rtf).run(start);
}

} // namespace RtfText
