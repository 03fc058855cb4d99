// Reading band lists as text: decoding, lines, numbers, filter conversions,
// and the messages of the whole format.
#include "protocol/eq_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "protocol/eq_text_detail.h"
#include "protocol/param_store.h"

namespace v36 {

namespace eqtext {

namespace {

struct Pattern {
    EqTextNoteKind kind;
    const char* zh;
    const char* en;
};

using K = EqTextNoteKind;
constexpr Pattern kPatterns[] = {
    {K::NotFilterLine, "不是滤波器行，未采用", "Not a filter line: not taken"},
    {K::NoOnOff, "冒号后缺少 ON 或 OFF，未采用", "ON or OFF missing after the colon: not taken"},
    {K::NoType, "缺少滤波器类型，未采用", "No filter type: not taken"},
    {K::SwitchedOff, "已关闭（OFF），不占用频段", "Switched off: takes no band"},
    {K::EmptySlot, "空位（None），不占用频段", "Empty slot (None): takes no band"},
    {K::UnsupportedType, "本机不能设置%1滤波器（%2），未采用",
     "%1 filters (%2) cannot be set on the unit: not taken"},
    {K::UnknownType, "未知的滤波器类型 %1，未采用", "Unknown filter type %1: not taken"},
    {K::PassSlope, "本机不能设置 %1 dB/倍频程的通过滤波器，未采用",
     "Pass filters of %1 dB per octave cannot be set on the unit: not taken"},
    {K::MissingFrequency, "缺少频率（Fc），未采用", "No frequency (Fc): not taken"},
    {K::MissingQ, "峰值滤波器需要 Q 或 BW，未采用", "A peaking filter needs Q or BW: not taken"},
    {K::BadNumber, "无法读取 %1“%2”，未采用", "Cannot read %1 \"%2\": not taken"},
    {K::NotPositive, "%1 %2 不大于 0，未采用", "%1 %2 is not above 0: not taken"},
    {K::NotConvertible, "该滤波器无法换算，未采用", "The filter cannot be converted: not taken"},
    {K::BandwidthToQ, "带宽 %1 倍频程换算为 Q %2（48 kHz）",
     "BW %1 octaves converted to Q %2 (at 48 kHz)"},
    {K::SlopeToQ, "斜率 %1 dB/倍频程换算为 Q %2", "Slope %1 dB per octave converted to Q %2"},
    {K::DefaultSlope, "未给出 Q：按搁架斜率 0.9 取 Q %1", "No Q: shelf slope 0.9 gives Q %1"},
    {K::SlopeTooSteep, "斜率对 %1 dB 过陡，取 Q %2", "Slope too steep for %1 dB: Q %2 taken"},
    {K::CornerToCentre, "转折频率 %1 Hz：换算为搁架中心频率 %2 Hz",
     "Corner frequency %1 Hz: moved to the shelf's centre, %2 Hz"},
    {K::DefaultPassQ, "未给出 Q：取 Q 0.7071", "No Q: Q 0.7071 taken"},
    {K::NoGain, "未给出增益：取 0 dB", "No gain: 0 dB taken"},
    {K::Ignored, "已忽略：%1", "Ignored: %1"},
    {K::FrequencyGuess, "文件未显示小数点符号：Fc %1 按 %2 Hz 读取",
     "The file never shows its decimal mark: Fc %1 read as %2 Hz"},
    {K::Preamp, "前级增益 %1 dB：本均衡器没有前级增益，请手动调低电平",
     "Preamp %1 dB: the EQ has no preamp; lower the level by hand"},
    {K::ChannelSection, "声道段“%1”", "Channel section \"%1\""},
    {K::OutOfRange, "频率 %1 Hz 超出 20..20000 Hz，限制为 %2 Hz",
     "Frequency %1 Hz lies outside 20..20000 Hz: clamped to %2 Hz"},
    {K::GainClamped, "增益 %1 dB 限制为 %2 dB", "Gain %1 dB clamped to %2 dB"},
    {K::QClamped, "Q %1 限制为 %2", "Q %1 clamped to %2"},
    {K::NoBandLeft, "已无空余频段，未采用", "No band left: not taken"},
    {K::OtherChannel, "属于未选用的声道段“%1”，未采用",
     "In channel section \"%1\", not chosen: not taken"},
    {K::LockedGainOnly, "频段 %1 锁定在 %2 Hz：只采用增益",
     "Band %1 is locked at %2 Hz: only the gain is taken"},
    {K::Crossover, "成为分频器 %1", "Becomes the crossover %1"},
    {K::CrossoverNearest, "没有 Q 为 %1 的分频器：采用最接近的 %2",
     "No crossover has Q %1: the nearest, %2, taken"},
    {K::CrossoverJoined, "与第 %1 行合并为分频器 %2", "Joined with line %1 into the crossover %2"},
    {K::FiltersDropped, "%1 个滤波器没有可用频段：本均衡器可用的频段共 %2 个",
     "%1 found no band: the EQ has %2"},
    {K::BandsFlat, "频段 %1 设为平直", "%1 set flat"},
    {K::LockedKept, "频段 %1 锁定，保持增益 %2 dB", "Band %1 is locked and keeps its gain, %2 dB"},
    {K::ChannelTaken, "采用声道段“%1”", "Channel section \"%1\" taken"},
    {K::MixedDecimalMarks, "文件中的数值混用小数点符号；Fc 按“%1”读取",
     "The file's values mix decimal marks; Fc is read with \"%1\""},
    {K::NotText, "这不是文本文件", "This is not a text file"},
    {K::TooLarge, "文件大于 1 MB，不是滤波器列表",
     "The file is larger than 1 MB: not a filter list"},
    {K::NoUsableFilter, "文件中没有可用的滤波器%1", "The file holds no usable filter%1"},
    {K::PickChannel, "文件有多个声道段：%1，请选择一个",
     "The file has the channel sections %1: pick one"},
    {K::CopyBandCounts, "%1 有 %2 个频段，%3 有 %4 个：只能在频段数相同的均衡器之间复制",
     "%1 has %2 bands and %3 has %4: copies go between EQs of the same number of bands"},
    {K::CopySameEq, "源和目标是同一个均衡器", "Source and target are the same EQ"},
    {K::NotWritable, "频段 %1（%2，%3 Hz）无法以此格式写出，已略去",
     "Band %1 (%2 at %3 Hz) cannot be written in this format: left out"},
};

// Arguments are packed one after the other into one string, short enough
// for most messages to need no allocation: a byte saying whether the
// argument has one text for both languages (0) or a pair (1), then each
// text as its length (seven bits a byte, lowest first, the high bit set on
// all but the last) and its bytes.
void putText(std::string& out, std::string_view text) {
    std::size_t n = text.size();
    while (n >= 0x80) {
        out += static_cast<char>(0x80 | (n & 0x7F));
        n >>= 7;
    }
    out += static_cast<char>(n);
    out.append(text);
}

std::string_view takeText(std::string_view& packed) {
    std::size_t n = 0;
    int shift = 0;
    while (!packed.empty()) {
        const auto byte = static_cast<unsigned char>(packed.front());
        packed.remove_prefix(1);
        n |= static_cast<std::size_t>(byte & 0x7F) << shift;
        shift += 7;
        if ((byte & 0x80) == 0) break;
    }
    n = std::min(n, packed.size());
    const std::string_view text = packed.substr(0, n);
    packed.remove_prefix(n);
    return text;
}

// Argument `index` in the language asked for; empty past the last.
std::string_view argument(std::string_view packed, std::size_t index, bool english) {
    for (std::size_t i = 0; !packed.empty(); ++i) {
        const bool pair = packed.front() != 0;
        packed.remove_prefix(1);
        const std::string_view first = takeText(packed);
        const std::string_view second = pair ? takeText(packed) : first;
        if (i == index) return english ? second : first;
    }
    return {};
}

std::string fill(const char* pattern, std::string_view args, bool english) {
    std::string out;
    const std::string_view text(pattern);
    std::size_t from = 0;
    for (std::size_t at = text.find('%'); at != std::string_view::npos;
         at = text.find('%', at + 1)) {
        if (at + 1 >= text.size() || text[at + 1] < '1' || text[at + 1] > '9') continue;
        out.append(text, from, at - from);
        out.append(argument(args, static_cast<std::size_t>(text[at + 1] - '1'), english));
        from = at + 2;
        ++at;
    }
    out.append(text, from);
    return out;
}

}  // namespace

EqTextNote note(EqTextNoteKind kind, std::initializer_list<NoteArg> args) {
    EqTextNote n;
    n.kind = kind;
    for (const NoteArg& a : args) {
        const bool pair = a.zh != a.en;
        n.args += static_cast<char>(pair ? 1 : 0);
        putText(n.args, a.zh);
        if (pair) putText(n.args, a.en);
    }
    return n;
}

}  // namespace eqtext

std::string EqTextNote::textFor(int languageIndex) const {
    for (const eqtext::Pattern& p : eqtext::kPatterns) {
        if (p.kind == kind)
            return eqtext::fill(languageIndex == 0 ? p.zh : p.en, args, languageIndex != 0);
    }
    return {};
}

namespace eqtext {

std::string fixed(double value, int decimals) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    std::string s = r.ec == std::errc() ? std::string(buf, r.ptr) : std::string("?");
    // "-0.0" and the like.
    if (s.size() > 1 && s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos)
        s.erase(0, 1);
    return s;
}

std::string number(double value, int decimals) {
    std::string s = fixed(value, decimals);
    if (s.find('.') != std::string::npos) {
        while (s.back() == '0')
            s.pop_back();
        if (s.back() == '.') s.pop_back();
    }
    return s == "-0" ? "0" : s;
}

std::string shortest(float value, int minDecimals) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
    std::string s = r.ec == std::errc() ? std::string(buf, r.ptr) : std::string("?");
    std::size_t dot = s.find('.');
    if (dot == std::string::npos && minDecimals > 0) {
        dot = s.size();
        s += '.';
    }
    const std::size_t have = s.size() - dot - 1;
    if (have < static_cast<std::size_t>(minDecimals))
        s.append(static_cast<std::size_t>(minDecimals) - have, '0');
    if (s.size() > 1 && s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos)
        s.erase(0, 1);
    return s;
}

}  // namespace eqtext

namespace {

using eqtext::note;
using eqtext::number;
using K = EqTextNoteKind;

constexpr double kLn2 = 0.6931471805599453;
constexpr double kTwoPi = 6.283185307179586;
// The format's plain LP and HP, and the default of LPQ and HPQ: Butterworth.
constexpr double kButterworthQ = 0.7071067811865476;
// The format's shelf slope when a shelf gives neither Q nor slope.
constexpr double kDefaultShelfSlope = 0.9;

// ---------------------------------------------------------------------------
// Decoding

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// Control characters other than the white space of text files mark a
// binary file (UTF-16 without its mark among them).
bool isBinaryCharacter(unsigned char c) {
    return c == 0 || (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != '\v');
}

struct Decoded {
    std::string text;
    EqTextEncoding encoding = EqTextEncoding::Utf8;
    bool binary = false;
};

void decodeUtf16(std::span<const std::uint8_t> b, bool bigEndian, Decoded& d) {
    std::u16string units;
    for (std::size_t i = 0; i + 1 < b.size(); i += 2) {
        units += bigEndian ? static_cast<char16_t>((b[i] << 8) | b[i + 1])
                           : static_cast<char16_t>((b[i + 1] << 8) | b[i]);
    }
    d.text = utf16ToUtf8(units);
    if (b.size() % 2 != 0) d.text += kReplacement;  // an odd last byte
}

// UTF-8 with every malformed sequence replaced by U+FFFD.
void decodeUtf8(std::span<const std::uint8_t> b, Decoded& d) {
    d.text.reserve(b.size());
    std::size_t i = 0;
    while (i < b.size()) {
        // A run of ASCII is taken as it stands.
        std::size_t ascii = i;
        while (ascii < b.size() && b[ascii] < 0x80)
            ++ascii;
        if (ascii > i) {
            d.text.append(reinterpret_cast<const char*>(b.data() + i), ascii - i);
            i = ascii;
            continue;
        }
        const std::uint8_t lead = b[i];
        int extra = 0;
        char32_t c = 0;
        char32_t min = 0;
        if (lead < 0x80) {
            c = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1;
            c = lead & 0x1F;
            min = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2;
            c = lead & 0x0F;
            min = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3;
            c = lead & 0x07;
            min = 0x10000;
        } else {
            d.text += kReplacement;
            ++i;
            continue;
        }
        bool good = i + static_cast<std::size_t>(extra) < b.size();
        for (int k = 1; good && k <= extra; ++k) {
            const std::uint8_t cont = b[i + static_cast<std::size_t>(k)];
            if ((cont & 0xC0) != 0x80) {
                good = false;
            } else {
                c = (c << 6) | (cont & 0x3F);
            }
        }
        if (!good || c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            d.text += kReplacement;
            ++i;
            continue;
        }
        const std::size_t length = static_cast<std::size_t>(extra) + 1;
        d.text.append(reinterpret_cast<const char*>(b.data() + i), length);
        i += length;
    }
}

Decoded decode(std::span<const std::uint8_t> b) {
    Decoded d;
    if (b.size() >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
        d.encoding = EqTextEncoding::Utf8Bom;
        decodeUtf8(b.subspan(3), d);
    } else if (b.size() >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
        d.encoding = EqTextEncoding::Utf16Le;
        decodeUtf16(b.subspan(2), false, d);
    } else if (b.size() >= 2 && b[0] == 0xFE && b[1] == 0xFF) {
        d.encoding = EqTextEncoding::Utf16Be;
        decodeUtf16(b.subspan(2), true, d);
    } else {
        decodeUtf8(b, d);
    }
    // Bytes below 0x20 stand for themselves in UTF-8.
    d.binary = std::any_of(d.text.begin(), d.text.end(),
                           [](char c) { return isBinaryCharacter(static_cast<unsigned char>(c)); });
    return d;
}

// The lines as views into the decoded text.
std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n' && text[i] != '\r') continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

// ---------------------------------------------------------------------------
// Words

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\f' || c == '\v';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

// The words of `s` into `out` (a buffer the caller keeps from line to line).
const std::vector<std::string_view>& words(std::string_view s, std::vector<std::string_view>& out) {
    out.clear();
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && isSpace(s[i]))
            ++i;
        const std::size_t start = i;
        while (i < s.size() && !isSpace(s[i]))
            ++i;
        if (i > start) out.push_back(s.substr(start, i - start));
    }
    return out;
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string lowerCase(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = lower(c);
    return out;
}

bool same(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

bool endsWith(std::string_view s, std::string_view suffix) {
    return s.size() > suffix.size() && same(s.substr(s.size() - suffix.size()), suffix);
}

std::string_view withoutSuffix(std::string_view s, std::string_view suffix) {
    return endsWith(s, suffix) ? s.substr(0, s.size() - suffix.size()) : s;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// ---------------------------------------------------------------------------
// Numbers, read without the user's locale

std::optional<double> fromAscii(const std::string& s) {
    double v = 0.0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size() || !std::isfinite(v)) return {};
    return v;
}

// A sign, digits, and at most one decimal mark, `.` or `,`.
std::optional<double> readPlain(std::string_view s) {
    std::string ascii;
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        if (s[i] == '-') ascii += '-';
        ++i;
    }
    bool digits = false;
    bool mark = false;
    for (; i < s.size(); ++i) {
        if (isDigit(s[i])) {
            digits = true;
            ascii += s[i];
        } else if ((s[i] == '.' || s[i] == ',') && !mark) {
            mark = true;
            ascii += '.';
        } else {
            return {};
        }
    }
    if (!digits) return {};
    return fromAscii(ascii);
}

char markIn(std::string_view s) {
    for (char c : s)
        if (c == '.' || c == ',') return c;
    return 0;
}

struct FcReading {
    double value = 0.0;
    bool guessed = false;  // thousands by the common reading
};

// The digits of `s` with `group` marks between groups of three, and an
// optional `decimal` part.
std::optional<double> readGrouped(std::string_view s, char decimal, char group) {
    std::string ascii;
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        if (s[i] == '-') ascii += '-';
        ++i;
    }
    std::size_t groupDigits = 0;
    int groups = 0;
    bool firstGroupZero = false;
    bool any = false;
    for (; i < s.size() && s[i] != decimal; ++i) {
        if (isDigit(s[i])) {
            if (groups == 0 && groupDigits == 0 && s[i] == '0') firstGroupZero = true;
            ascii += s[i];
            ++groupDigits;
            any = true;
        } else if (group != 0 && s[i] == group) {
            // The first group has one to three digits and no leading zero,
            // every later one exactly three.
            if (groupDigits == 0 || (groups == 0 && (groupDigits > 3 || firstGroupZero)) ||
                (groups > 0 && groupDigits != 3)) {
                return {};
            }
            ++groups;
            groupDigits = 0;
        } else {
            return {};
        }
    }
    if (groups > 0 && groupDigits != 3) return {};
    if (i < s.size()) {  // the decimal part
        ascii += '.';
        ++i;
        bool decimals = false;
        for (; i < s.size(); ++i) {
            if (!isDigit(s[i])) return {};
            ascii += s[i];
            decimals = true;
        }
        if (!decimals) return {};
    }
    if (!any) return {};
    return fromAscii(ascii);
}

// An Fc: the file's decimal mark decides which of `.` and `,` groups
// thousands. A file that never shows its mark reads a single mark three
// digits from the end of five or more characters as thousands ("1.000",
// "12,500"), and says so; any other single mark is the decimal mark.
std::optional<FcReading> readFc(std::string_view text, char fileMark) {
    // A non-breaking or narrow no-break space groups thousands in any file.
    std::string s;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.substr(i, 2) == "\xC2\xA0") {
            s += '_';
            ++i;
        } else if (text.substr(i, 3) == "\xE2\x80\xAF") {
            s += '_';
            i += 2;
        } else {
            s += text[i];
        }
    }
    const auto readWith = [&](char decimal, char group) -> std::optional<double> {
        std::string t = s;
        for (char& c : t)
            if (c == '_') c = group;
        if (group == 0 && t.find('_') != std::string::npos) return {};
        return readGrouped(t, decimal, group);
    };
    if (fileMark != 0) {
        const char group = fileMark == ',' ? '.' : ',';
        const auto v = readWith(fileMark, group);
        if (!v) return {};
        return FcReading{*v, false};
    }
    const auto dots = std::count(s.begin(), s.end(), '.');
    const auto commas = std::count(s.begin(), s.end(), ',');
    if (dots == 0 && commas == 0) {
        const auto v = readWith(0, '.');
        if (!v) return {};
        return FcReading{*v, false};
    }
    if (dots > 0 && commas > 0) {  // "1,234.5" or "1.234,5": the last one is the decimal mark
        const char decimal = s.find_last_of(".,") == s.rfind('.') ? '.' : ',';
        const auto v = readWith(decimal, decimal == '.' ? ',' : '.');
        if (!v) return {};
        return FcReading{*v, false};
    }
    const char mark = dots > 0 ? '.' : ',';
    const std::size_t count = static_cast<std::size_t>(dots + commas);
    const std::size_t pos = s.find(mark);
    const bool thousands = count > 1 || (s.size() >= 5 && s.size() - pos == 4);
    if (thousands) {
        const auto v = readWith(0, mark);
        if (!v) return {};
        return FcReading{*v, true};
    }
    const auto v = readWith(mark, 0);
    if (!v) return {};
    return FcReading{*v, false};
}

// ---------------------------------------------------------------------------
// Conversions: the standard audio-EQ biquad formulas, with the gain
// A = 10^(gain/40) and the shelf slope S (1 the steepest slope without a
// bump; the format writes slopes in dB per octave, 12 dB being S = 1).

double shelfA(double gainDb) {
    return std::pow(10.0, gainDb / 40.0);
}

// Shelf slope to Q: 1/Q = sqrt((A + 1/A) (1/S - 1) + 2). None when the
// slope is too steep for the gain (the root of a negative number).
std::optional<double> qFromSlope(double slope, double gainDb) {
    const double a = shelfA(gainDb);
    const double inverseSquare = (a + 1.0 / a) * (1.0 / slope - 1.0) + 2.0;
    if (!(inverseSquare > 0.0) || !std::isfinite(inverseSquare)) return {};
    return 1.0 / std::sqrt(inverseSquare);
}

// The same relation solved for S.
double slopeFromQ(double q, double gainDb) {
    const double a = shelfA(gainDb);
    return 1.0 / ((1.0 / (q * q) - 2.0) / (a + 1.0 / a) + 1.0);
}

// A peaking section's bandwidth in octaves (between its midpoint-gain
// frequencies, on the digital section at 48 kHz) to Q:
// 1/Q = 2 sinh(ln(2)/2 * BW * w0 / sin(w0)).
double qFromBandwidth(double octaves, double freq) {
    const double w0 = kTwoPi * freq / kSampleRate;
    // Outside the band the section cannot exist; the analogue relation
    // gives the line a value and the range check skips it.
    const double warp = freq > 0.0 && freq < kSampleRate / 2.0 ? w0 / std::sin(w0) : 1.0;
    return 1.0 / (2.0 * std::sinh(kLn2 / 2.0 * octaves * warp));
}

// The format's corner-frequency shelves (LS, HS with a Q or slope) give the
// frequency where the shelf starts; the unit's shelves take the centre, half
// the shelf's transition further on: at 12 S dB per octave a shelf of |gain|
// dB rises over |gain| / (12 S) octaves, and the format defines the step to
// the centre as the factor 10^(|gain| / (80 S)).
double cornerToCentre(double corner, double gainDb, double slope, bool lowShelf) {
    const double factor = std::pow(10.0, std::fabs(gainDb) / (80.0 * slope));
    return lowShelf ? corner * factor : corner / factor;
}

// ---------------------------------------------------------------------------
// Lines

// The values are views into the decoded text (not into a line's own copy,
// which moves).
struct RawFilter {
    bool on = true;
    std::string type;  // upper case
    std::optional<std::string_view> slope, fc, gain, q, bw;
    bool fcInKilohertz = false;  // "Fc 1 kHz", "Fc 1.5kHz"
    std::vector<std::string> ignored;
};

enum class TypeClass {
    Peaking,
    CentreShelf,
    CornerShelf,
    Pass,   // LP, HP: Butterworth
    PassQ,  // LPQ, HPQ
    Unsupported,
    Unknown,
};

struct TypeInfo {
    TypeClass cls;
    int unitType;              // the band type it becomes
    eqtext::NoteArg what{""};  // for unsupported types
};

TypeInfo classify(const std::string& t) {
    using eqtext::NoteArg;
    if (t == "PK" || t == "PEQ" || t == "MODAL") return {TypeClass::Peaking, kPeq};
    if (t == "LSC" || t == "LSQ") return {TypeClass::CentreShelf, kLowShelf};
    if (t == "HSC" || t == "HSQ") return {TypeClass::CentreShelf, kHighShelf};
    if (t == "LS") return {TypeClass::CornerShelf, kLowShelf};
    if (t == "HS") return {TypeClass::CornerShelf, kHighShelf};
    if (t == "LP") return {TypeClass::Pass, kLowPass};
    if (t == "HP") return {TypeClass::Pass, kHighPass};
    if (t == "LPQ") return {TypeClass::PassQ, kLowPass};
    if (t == "HPQ") return {TypeClass::PassQ, kHighPass};
    if (t == "NO") return {TypeClass::Unsupported, 0, NoteArg("陷波", "Notch")};
    if (t == "BP" || t == "BPQ") return {TypeClass::Unsupported, 0, NoteArg("带通", "Band-pass")};
    if (t == "AP") return {TypeClass::Unsupported, 0, NoteArg("全通", "All-pass")};
    if (t == "IIR") return {TypeClass::Unsupported, 0, NoteArg("系数", "Coefficient")};
    if (t == "LP1" || t == "HP1" || t == "LS1" || t == "HS1")
        return {TypeClass::Unsupported, 0, NoteArg("一阶", "First-order")};
    return {TypeClass::Unknown, 0};
}

std::string upperCase(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

// A value token without a unit glued to it ("100Hz", "-3dB").
std::string_view value(std::string_view token, std::string_view unit) {
    return withoutSuffix(token, unit);
}

// What stands after "Filter n:"; an empty type with `on` = false when the
// line has no ON or OFF.
std::optional<RawFilter> splitFilter(std::string_view rest, EqTextLine& line,
                                     std::vector<std::string_view>& buffer) {
    const auto& w = words(rest, buffer);
    RawFilter f;
    if (w.empty() || (!same(w[0], "on") && !same(w[0], "off"))) {
        line.notes.push_back(note(K::NoOnOff));
        return {};
    }
    f.on = same(w[0], "on");
    if (!f.on) {
        line.off = true;
        line.notes.push_back(note(K::SwitchedOff));
        return {};
    }
    if (w.size() < 2) {
        line.notes.push_back(note(K::NoType));
        return {};
    }
    f.type = upperCase(w[1]);
    if (f.type == "NONE") {
        line.off = true;
        line.notes.push_back(note(K::EmptySlot));
        return {};
    }
    std::size_t i = 2;
    // A slope right after the type: "LSC 12 dB", "LS 6dB".
    if (i < w.size() && endsWith(w[i], "db") && readPlain(withoutSuffix(w[i], "db"))) {
        f.slope = value(w[i], "db");
        ++i;
    } else if (i + 1 < w.size() && same(w[i + 1], "db") && readPlain(w[i])) {
        f.slope = w[i];
        i += 2;
    }
    const auto take = [&](std::optional<std::string_view>& slot, std::string_view key,
                          std::string_view unit, bool unitWord) {
        if (i + 1 >= w.size()) {  // a key without its value
            f.ignored.emplace_back(key);
            ++i;
            return;
        }
        const std::string_view v = w[i + 1];
        i += 2;
        const bool withUnit = unitWord && i < w.size() && same(w[i], unit);
        if (slot) {
            std::string text(key);
            text.append(" ").append(v);
            if (withUnit) text.append(" ").append(w[i]);
            f.ignored.push_back(std::move(text));
        } else {
            slot = value(v, unit);
        }
        if (withUnit) ++i;
    };
    while (i < w.size()) {
        const std::string_view key = w[i];
        if (same(key, "fc")) {
            // The frequency in Hz, or in kHz where the unit says so.
            const bool first = !f.fc;
            const bool kilo = i + 1 < w.size() && (endsWith(w[i + 1], "khz") ||
                                                   (i + 2 < w.size() && same(w[i + 2], "khz")));
            take(f.fc, key, kilo ? "khz" : "hz", true);
            if (first && f.fc) f.fcInKilohertz = kilo;
        } else if (same(key, "gain")) {
            take(f.gain, key, "db", true);
        } else if (same(key, "q")) {
            take(f.q, key, "", false);
        } else if (same(key, "bw")) {
            if (i + 1 < w.size() && same(w[i + 1], "oct")) {
                ++i;
                take(f.bw, "BW Oct", "", false);
            } else {
                take(f.bw, key, "", false);
            }
        } else {
            f.ignored.emplace_back(key);
            ++i;
        }
    }
    return f;
}

std::string joined(const std::vector<std::string>& parts) {
    std::string out;
    for (const auto& p : parts) {
        if (!out.empty()) out += ' ';
        out += p;
    }
    return out;
}

// Converts one switched-on filter to what the unit takes, noting every
// conversion; false with the reason noted when the unit cannot take it.
bool convert(const RawFilter& raw, char fileMark, EqTextLine& line) {
    const TypeInfo info = classify(raw.type);
    if (info.cls == TypeClass::Unknown) {
        line.notes.push_back(note(K::UnknownType, {raw.type}));
        return false;
    }
    if (info.cls == TypeClass::Unsupported) {
        line.notes.push_back(note(K::UnsupportedType, {info.what, raw.type}));
        return false;
    }
    std::vector<std::string> ignored = raw.ignored;

    // Numbers first: an unreadable or non-positive value skips the line.
    const auto plain = [&](const std::optional<std::string_view>& text, const char* what,
                           bool positive) -> std::optional<std::optional<double>> {
        if (!text) return std::optional<double>{};
        const auto v = readPlain(*text);
        if (!v) {
            line.notes.push_back(note(K::BadNumber, {what, std::string(*text)}));
            return std::nullopt;
        }
        if (positive && !(*v > 0.0)) {
            line.notes.push_back(note(K::NotPositive, {what, std::string(*text)}));
            return std::nullopt;
        }
        return std::optional<double>{*v};
    };
    if (!raw.fc) {
        line.notes.push_back(note(K::MissingFrequency));
        return false;
    }
    const auto fc = readFc(*raw.fc, fileMark);
    if (!fc) {
        line.notes.push_back(note(K::BadNumber, {"Fc", std::string(*raw.fc)}));
        return false;
    }
    // A frequency beyond the range is held at its end; none at all is not.
    if (!(fc->value > 0.0)) {
        line.notes.push_back(note(K::NotPositive, {"Fc", std::string(*raw.fc)}));
        return false;
    }
    const auto gainRead = plain(raw.gain, "Gain", false);
    const auto qRead = plain(raw.q, "Q", true);
    const auto bwRead = plain(raw.bw, "BW", true);
    const auto slopeRead = plain(raw.slope, "Slope", true);
    if (!gainRead || !qRead || !bwRead || !slopeRead) return false;
    if (fc->guessed) {
        line.notes.push_back(note(
            K::FrequencyGuess,
            {std::string(*raw.fc), number(raw.fcInKilohertz ? fc->value * 1000.0 : fc->value, 2)}));
    }

    EqTextFilter f;
    f.type = info.unitType;
    f.freq = raw.fcInKilohertz ? fc->value * 1000.0 : fc->value;
    const std::optional<double> gain = *gainRead;
    const std::optional<double> q = *qRead;
    const std::optional<double> bw = *bwRead;
    const std::optional<double> slope = *slopeRead;
    const std::string slopeText = raw.slope ? std::string(*raw.slope) + " dB" : "";

    switch (info.cls) {
        case TypeClass::Peaking: {
            if (slope) ignored.push_back(slopeText);
            f.gain = gain.value_or(0.0);
            if (!gain) line.notes.push_back(note(K::NoGain));
            if (q) {
                f.q = *q;
                if (bw) ignored.push_back("BW Oct " + std::string(*raw.bw));
            } else if (bw) {
                f.q = qFromBandwidth(*bw, f.freq);
                line.notes.push_back(note(K::BandwidthToQ, {std::string(*raw.bw), number(f.q, 4)}));
            } else {
                line.notes.push_back(note(K::MissingQ));
                return false;
            }
            break;
        }
        case TypeClass::CentreShelf:
        case TypeClass::CornerShelf: {
            if (bw) ignored.push_back("BW Oct " + std::string(*raw.bw));
            f.gain = gain.value_or(0.0);
            if (!gain) line.notes.push_back(note(K::NoGain));
            const bool corner = info.cls == TypeClass::CornerShelf && (slope || q);
            double s = kDefaultShelfSlope;
            // A slope wins over a Q.
            if (slope) {
                s = *slope / 12.0;
                if (q) ignored.push_back("Q " + std::string(*raw.q));
            } else if (q) {
                s = slopeFromQ(*q, f.gain);
            }
            if (q && !slope) {
                f.q = *q;
            } else if (const auto fromSlope = qFromSlope(s, f.gain)) {
                f.q = *fromSlope;
                line.notes.push_back(
                    slope ? note(K::SlopeToQ, {std::string(*raw.slope), number(f.q, 4)})
                          : note(K::DefaultSlope, {number(f.q, 4)}));
            } else {
                f.q = kMaxQShelfPass;
                line.notes.push_back(note(K::SlopeTooSteep, {number(f.gain, 2), number(f.q, 4)}));
            }
            if (corner) {
                const double cornerHz = f.freq;
                f.freq = cornerToCentre(cornerHz, f.gain, s, f.type == kLowShelf);
                line.notes.push_back(
                    note(K::CornerToCentre, {number(cornerHz, 2), number(f.freq, 2)}));
            }
            break;
        }
        case TypeClass::Pass:
        case TypeClass::PassQ: {
            if (slope && *slope != 12.0) {
                if (*slope == 6.0) {
                    line.notes.push_back(
                        note(K::UnsupportedType,
                             {eqtext::NoteArg("一阶", "First-order"), raw.type + " " + slopeText}));
                } else {
                    line.notes.push_back(note(K::PassSlope, {std::string(*raw.slope)}));
                }
                return false;
            }
            if (gain) ignored.push_back("Gain " + std::string(*raw.gain) + " dB");
            if (bw) ignored.push_back("BW Oct " + std::string(*raw.bw));
            f.gain = 0.0;
            if (info.cls == TypeClass::Pass) {
                if (q) ignored.push_back("Q " + std::string(*raw.q));
                f.q = kButterworthQ;
            } else if (q) {
                f.q = *q;
            } else {
                f.q = kButterworthQ;
                line.notes.push_back(note(K::DefaultPassQ));
            }
            break;
        }
        default:
            return false;
    }
    if (!ignored.empty()) line.notes.push_back(note(K::Ignored, {joined(ignored)}));
    if (!std::isfinite(f.freq) || !std::isfinite(f.gain) || !std::isfinite(f.q) || !(f.q > 0.0)) {
        line.notes.push_back(note(K::NotConvertible));
        return false;
    }
    line.filter = f;
    return true;
}

bool isFilterHead(std::string_view head) {
    if (head.size() < 6 || !same(head.substr(0, 6), "filter")) return false;
    const std::string_view number = trim(head.substr(6));
    return std::all_of(number.begin(), number.end(), isDigit);
}

// The n of a "Filter n" head; -1 without one (or one too large to mean a band).
int filterNumberOf(std::string_view head) {
    const std::string_view digits = trim(head.substr(6));
    if (digits.empty() || digits.size() > 4) return -1;
    int n = 0;
    for (char c : digits)
        n = n * 10 + (c - '0');
    return n;
}

}  // namespace

EqTextParse parseEqText(std::span<const std::uint8_t> bytes) {
    EqTextParse out;
    if (bytes.size() > kEqTextMaxBytes) {
        out.errors.push_back(note(K::TooLarge));
        return out;
    }
    const Decoded decoded = decode(bytes);
    out.encoding = decoded.encoding;
    if (decoded.binary) {
        out.errors.push_back(note(K::NotText));
        return out;
    }

    // First pass: the kind of every line and the words of the filters.
    const auto texts = splitLines(decoded.text);
    std::vector<std::optional<RawFilter>> raws(texts.size());
    std::vector<std::string_view> preampText(texts.size());
    std::vector<std::string_view> wordBuffer;
    out.lines.reserve(texts.size());
    bool inHeader = false;
    bool afterEqualiser = false;
    int channel = -1;
    for (std::size_t n = 0; n < texts.size(); ++n) {
        EqTextLine line;
        line.number = static_cast<int>(n) + 1;
        line.text = texts[n];
        // Views into the decoded text, which outlives the line's own copy.
        const std::string_view t = trim(texts[n]);
        const std::size_t colon = t.find(':');
        const std::string head =
            colon == std::string_view::npos ? std::string() : lowerCase(trim(t.substr(0, colon)));
        const std::string_view rest =
            colon == std::string_view::npos ? std::string_view() : t.substr(colon + 1);
        if (t.empty()) {
            line.kind = EqTextLineKind::Blank;
        } else if (t.front() == '#') {
            line.kind = EqTextLineKind::Comment;
        } else if (head == "preamp") {
            line.kind = EqTextLineKind::Preamp;
            preampText[n] = trim(rest);
        } else if (head == "channel") {
            line.kind = EqTextLineKind::Channel;
            channel = static_cast<int>(out.channels.size());
            const std::string name(trim(rest));
            out.channels.push_back({name, static_cast<int>(n)});
            line.notes.push_back(note(K::ChannelSection, {name}));
        } else if (colon != std::string_view::npos && isFilterHead(head)) {
            line.kind = EqTextLineKind::Filter;
            line.filterNumber = filterNumberOf(head);
            raws[n] = splitFilter(rest, line, wordBuffer);
        } else if (head == "dated" || head == "notes" || head == "equaliser" ||
                   head == "equalizer" || same(t, "filter settings file")) {
            line.kind = EqTextLineKind::Header;
            if (same(t, "filter settings file")) inHeader = true;
            if (head == "equaliser" || head == "equalizer") {
                // The free line after it belongs to the header too.
                line.channel = channel;
                out.lines.push_back(std::move(line));
                afterEqualiser = true;
                continue;
            }
        } else if (inHeader || afterEqualiser) {
            line.kind = EqTextLineKind::Header;
        } else {
            line.kind = EqTextLineKind::Other;
            line.notes.push_back(note(K::NotFilterLine));
        }
        if (line.kind == EqTextLineKind::Filter || line.kind == EqTextLineKind::Preamp ||
            line.kind == EqTextLineKind::Channel) {
            inHeader = false;
        }
        if (line.kind != EqTextLineKind::Blank) afterEqualiser = false;
        line.channel = channel;
        out.lines.push_back(std::move(line));
    }

    // The file's decimal mark, from its Gain, Q, BW, slope and Preamp values.
    bool mixed = false;
    const auto see = [&](const std::optional<std::string_view>& v) {
        if (!v) return;
        const char m = markIn(*v);
        if (m == 0) return;
        if (out.decimalMark == 0) {
            out.decimalMark = m;
        } else if (m != out.decimalMark) {
            mixed = true;
        }
    };
    for (std::size_t n = 0; n < texts.size(); ++n) {
        if (raws[n]) {
            see(raws[n]->gain);
            see(raws[n]->q);
            see(raws[n]->bw);
            see(raws[n]->slope);
        }
        if (out.lines[n].kind == EqTextLineKind::Preamp) {
            const auto& w = words(preampText[n], wordBuffer);
            if (!w.empty()) see(w[0]);
        }
    }
    if (mixed) out.notes.push_back(note(K::MixedDecimalMarks, {std::string(1, out.decimalMark)}));

    // Second pass: numbers and conversions.
    for (std::size_t n = 0; n < texts.size(); ++n) {
        EqTextLine& line = out.lines[n];
        if (raws[n]) {
            convert(*raws[n], out.decimalMark, line);
        } else if (line.kind == EqTextLineKind::Preamp) {
            const auto& w = words(preampText[n], wordBuffer);
            const std::string_view v = w.empty() ? std::string_view() : value(w[0], "db");
            const auto db = readPlain(v);
            if (!db) {
                line.notes.push_back(note(K::BadNumber, {"Preamp", std::string(v)}));
            } else {
                line.preampDb = *db;
                if (*db != 0.0) line.notes.push_back(note(K::Preamp, {number(*db, 2)}));
            }
        }
    }
    return out;
}

EqTextParse parseEqText(std::string_view text) {
    return parseEqText(std::span<const std::uint8_t>(
        reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

}  // namespace v36
