// The profile (INI) writer over an arbitrary existing file and arbitrary writes.
//
// Properties:
//  - lines outside the sections written or erased come back unchanged, in order
//    (the last line may gain the line end it lacked);
//  - a value never changes the file's structure: the same writes with a plain
//    value give the same lines, keys and line ends, only the values differ;
//  - a reader following the profile rules (first section and first key of a
//    name, blanks around names and values dropped, then one pair of surrounding
//    quotes) reads back every value written, exactly.
#include "FuzzCheck.h"

#include "core/Error.h"
#include "core/ProfileIni.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <unistd.h>
#include <vector>

using fuzz::Require;

namespace {

constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

struct Line {
    std::u16string text, eol;
    bool operator==(const Line&) const = default;
};

struct Decoded {
    bool known = true;  // false: UTF-8 after a byte-order mark that is not valid UTF-8
    std::vector<Line> lines;
    std::string tail;   // an odd last byte of a UTF-16 file
};

Decoded Decode(const std::string& b)
{
    auto byte = [&](size_t i) { return static_cast<unsigned char>(b[i]); };
    Decoded d;
    std::u16string text;
    if (b.size() >= 2 && ((byte(0) == 0xFF && byte(1) == 0xFE) || (byte(0) == 0xFE && byte(1) == 0xFF))) {
        const bool le = byte(0) == 0xFF;
        size_t i = 2;
        for (; i + 1 < b.size(); i += 2)
            text += static_cast<char16_t>(le ? byte(i) | byte(i + 1) << 8 : byte(i) << 8 | byte(i + 1));
        d.tail = b.substr(i);
    } else if (b.size() >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) {
        const auto strict = fuzz::StrictUtf8ToUtf16(b.substr(3));
        d.known = strict.has_value();
        text = strict.value_or(u"");
    } else {
        for (size_t i = 0; i < b.size(); ++i)
            text += byte(i) >= 0x80 && byte(i) < 0xA0 ? kCp1252High[byte(i) - 0x80] : char16_t(byte(i));
    }
    for (size_t start = 0; start < text.size();) {
        const size_t end = text.find_first_of(u"\r\n", start);
        if (end == std::u16string::npos) {
            d.lines.push_back({text.substr(start), u""});
            break;
        }
        const size_t next = end + (text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n' ? 2 : 1);
        d.lines.push_back({text.substr(start, end - start), text.substr(end, next - end)});
        start = next;
    }
    return d;
}

std::u16string Trim(std::u16string s)
{
    while (!s.empty() && (s.back() == u' ' || s.back() == u'\t'))
        s.pop_back();
    size_t i = 0;
    while (i < s.size() && (s[i] == u' ' || s[i] == u'\t'))
        ++i;
    return s.substr(i);
}

std::optional<std::u16string> SectionOf(const std::u16string& line)
{
    const std::u16string t = Trim(line);
    if (t.empty() || t[0] != u'[' || t.rfind(u']') == std::u16string::npos)
        return std::nullopt;
    return Trim(t.substr(1, t.rfind(u']') - 1));
}

// Names here are ASCII; a non-ASCII name in the file never matches one.
bool SameName(const std::u16string& a, const std::u16string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto low = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; };
        if (low(a[i]) != low(b[i]))
            return false;
    }
    return true;
}

// Could be the same name under any case mapping: used to leave out of the
// unchanged-lines check every section a write or an erase may have meant.
bool MaybeSameName(const std::u16string& a, const std::u16string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if ((a[i] >= 0x80) != (b[i] >= 0x80) || (a[i] < 0x80 && !SameName(a.substr(i, 1), b.substr(i, 1))))
            return false;
    return true;
}

// The value of section/key as the profile rules read it.
std::optional<std::u16string> Read(const Decoded& d, const std::u16string& section, const std::u16string& key)
{
    size_t i = 0;
    while (i < d.lines.size() && !(SectionOf(d.lines[i].text) && SameName(*SectionOf(d.lines[i].text), section)))
        ++i;
    for (++i; i < d.lines.size() && !SectionOf(d.lines[i].text); ++i) {
        const std::u16string t = Trim(d.lines[i].text);
        if (t.empty() || t[0] == u';')
            continue;
        const size_t eq = t.find(u'=');
        if (!SameName(Trim(t.substr(0, eq)), key))
            continue;
        std::u16string v = eq == std::u16string::npos ? u"" : Trim(t.substr(eq + 1));
        if (v.size() >= 2 && (v[0] == u'"' || v[0] == u'\'') && v.back() == v[0])
            v = v.substr(1, v.size() - 2);
        return v;
    }
    return std::nullopt;
}

std::u16string Ascii(const std::string& s) { return std::u16string(s.begin(), s.end()); }

struct Op {
    bool erase;
    std::string section, key, value;
    bool accepted = false;
};

std::string ReadAll(const std::string& path)
{
    std::string bytes;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, f)) > 0;)
            bytes.append(buffer, got);
        std::fclose(f);
    }
    return bytes;
}

void WriteAll(const std::string& path, const std::string& bytes)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    Require(f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size() && std::fclose(f) == 0,
            "cannot write the test file");
}

// A file of this process in memory-backed storage where there is one: every run
// saves twice, and a disk's fsync would set the pace.
std::string TestFile(const char* name)
{
    static const std::string base = (access("/dev/shm", W_OK) == 0 ? "/dev/shm/" : "/tmp/") +
                                    std::string("brivel-fuzz-") + std::to_string(getpid()) + "-";
    return base + name;
}

// Applies the operations; `plain` writes "v" for every value and skips what the first run refused.
std::string Run(const std::string& original, std::vector<Op>& ops, bool plain)
{
    const std::string path = TestFile(plain ? "plain.ini" : "configApi.ini");
    WriteAll(path, original);
    std::optional<brivel::ProfileIni> ini(path);
    for (Op& op : ops) {
        if (plain && !op.accepted)
            continue;
        try {
            if (op.erase)
                ini->EraseSection(op.section);
            else
                ini->WriteString(op.section, op.key, plain ? "v" : op.value);
            op.accepted = true;
        } catch (const brivel::Error&) {
            Require(!plain, "a plain value was refused where the fuzzed one was taken");
        }
    }
    ini->Save();
    ini.reset();
    std::string bytes = ReadAll(path);
    std::remove(path.c_str());
    return bytes;
}

std::string Name(FuzzedDataProvider& in)
{
    static const char* const pool[] = {"BANCO", "API", "ORACLE", "banco", " Banco\t", "LOG", "Senha", "Porta", "Tipo"};
    const size_t pick = in.ConsumeIntegralInRange<size_t>(0, std::size(pool));
    if (pick < std::size(pool))
        return pool[pick];
    std::string s = in.ConsumeRandomLengthString(12);
    for (char& c : s)
        c = static_cast<char>(c & 0x7F);
    return s;
}

} // namespace

std::string Escaped(const std::string& s)
{
    std::string out;
    for (unsigned char c : s) {
        char buf[8];
        std::snprintf(buf, sizeof buf, c >= 0x20 && c < 0x7F && c != '\\' ? "%c" : "\\x%02X", c);
        out += buf;
    }
    return out;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    static const char* const boms[] = {"", "\xFF\xFE", "\xFE\xFF", "\xEF\xBB\xBF"};
    std::string original = boms[in.ConsumeIntegralInRange<size_t>(0, 3)];
    original += in.ConsumeRandomLengthString(2048);
    std::vector<Op> ops(in.ConsumeIntegralInRange<size_t>(1, 6));
    for (Op& op : ops) {
        op.erase = in.ConsumeIntegralInRange(0, 4) == 0;
        op.section = Name(in);
        op.key = Name(in);
        op.value = in.ConsumeRandomLengthString(48);
    }

    // On a failed property, what was done, for the report.
    auto Require = [&](bool ok, const char* what) {
        if (ok)
            return;
        std::fprintf(stderr, "file: \"%s\"\n", Escaped(original).c_str());
        for (const Op& op : ops)
            std::fprintf(stderr, "%s [%s] \"%s\" = \"%s\" (%s)\n", op.erase ? "erase" : "write",
                         Escaped(op.section).c_str(), Escaped(op.key).c_str(), Escaped(op.value).c_str(),
                         op.accepted ? "taken" : "refused");
        fuzz::Fail(what);
    };

    const std::string written = Run(original, ops, false);
    const std::string plain = Run(original, ops, true);

    const Decoded before = Decode(original), after = Decode(written), plainAfter = Decode(plain);
    bool changed = false;
    for (const Op& op : ops)
        changed = changed || op.accepted;
    if (!changed || !before.known) {
        // Nothing to write (or an erase that found nothing): the file is left as it was.
        if (!changed)
            Require(written == original, "a file without changes was rewritten");
        return 0;
    }
    Require(after.known && plainAfter.known, "the writer produced a file it cannot read back");

    // Unchanged lines: everything outside the sections that were named.
    auto untouched = [&](const Decoded& d) {
        std::vector<Line> out;
        bool keep = true;
        for (const Line& line : d.lines) {
            if (const auto name = SectionOf(line.text)) {
                keep = true;
                for (const Op& op : ops)
                    if (MaybeSameName(*name, Trim(Ascii(op.section))))
                        keep = false;
            }
            if (keep)
                out.push_back(line);
        }
        return out;
    };
    std::vector<Line> kept = untouched(before), now = untouched(after);
    if (!kept.empty() && !before.lines.empty() && kept.back() == before.lines.back() && kept.back().eol.empty() &&
        now.size() == kept.size() && now.back().eol == u"\r\n")
        now.back().eol.clear();  // an unterminated last line may gain CR LF when something is appended
    Require(now == kept, "a line outside the written sections changed");
    Require(after.tail == before.tail, "the odd last byte of a UTF-16 file was lost");

    // Structure: the fuzzed values and a plain one give the same lines, keys and line ends.
    Require(after.lines.size() == plainAfter.lines.size(), "a value added or removed lines");
    for (size_t i = 0; i < after.lines.size(); ++i) {
        const Line& a = after.lines[i];
        const Line& p = plainAfter.lines[i];
        Require(a.eol == p.eol, "a value changed a line end");
        if (a.text == p.text)
            continue;
        const size_t eq = p.text.find(u'=');
        Require(eq != std::u16string::npos && a.text.compare(0, eq + 1, p.text, 0, eq + 1) == 0,
                "a value changed a line other than its own");
    }

    // Read-back of the last value of every key whose section was not erased later.
    std::map<std::pair<std::u16string, std::u16string>, std::string> live;
    auto folded = [](const std::string& s) {
        std::u16string u = Trim(Ascii(s));
        for (char16_t& c : u)
            c = c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c;
        return u;
    };
    for (const Op& op : ops) {
        if (!op.accepted)
            continue;
        if (op.erase)
            std::erase_if(live, [&](const auto& e) { return e.first.first == folded(op.section); });
        else
            live[{folded(op.section), folded(op.key)}] = op.value;
    }
    for (const auto& [name, value] : live) {
        Require(value.find('\0') == std::string::npos, "a value holding NUL was taken (a reader stops there)");
        const auto strict = fuzz::StrictUtf8ToUtf16(value);
        const auto read = Read(after, name.first, name.second);
        Require(read.has_value(), "a written key is not found by the reader");
        if (strict)
            Require(*read == *strict, "the reader does not read back the value written");
    }
    return 0;
}
