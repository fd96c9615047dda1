#include "core/ProfileIni.h"

#include "core/Error.h"
#include "core/TextCodec.h"

#include <algorithm>
#include <atomic>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace brivel {

namespace {

enum class Encoding { Windows1252, Utf16Le, Utf16Be };

// Bytes 0x80..0x9F of Windows-1252. The five unassigned bytes stand for the C1
// controls of the same value, as Windows converts them, so every byte of a file
// we did not write comes back unchanged.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char16_t FromCp1252(unsigned char b) { return (b >= 0x80 && b < 0xA0) ? kCp1252High[b - 0x80] : b; }

// -1 when the code unit has no Windows-1252 byte.
int ToCp1252(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return c;
    for (int i = 0; i < 32; ++i)
        if (kCp1252High[i] == c)
            return 0x80 + i;
    return -1;
}

// Upper case for name matching: ASCII, Latin-1, Latin Extended-A, Greek and
// Cyrillic, which covers every name a profile file is likely to hold.
char16_t Upper(char16_t c)
{
    if (c >= u'a' && c <= u'z')
        return c - 32;
    if (c < 0xE0)
        return c;
    if (c <= 0xFE)
        return c == 0xF7 ? c : c - 32;
    if (c == 0xFF)
        return 0x178;
    if (c >= 0x100 && c <= 0x17F) {
        if (c == 0x138 || c == 0x149 || c == 0x178 || c == 0x17F)
            return c;
        // Pairs start on an even code up to U+0137 and from U+014A to U+0177, on an odd one elsewhere.
        const bool evenUpper = c <= 0x137 || (c >= 0x14A && c <= 0x177);
        const bool lower = evenUpper ? (c & 1) != 0 : (c & 1) == 0;
        return lower ? c - 1 : c;
    }
    if (c == 0x3C2)
        return 0x3A3;
    if (c >= 0x3B1 && c <= 0x3C9)
        return c - 32;
    if (c >= 0x430 && c <= 0x44F)
        return c - 32;
    if (c >= 0x450 && c <= 0x45F)
        return c - 80;
    return c;
}

bool SameName(std::u16string_view a, std::u16string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Upper(a[i]) != Upper(b[i]))
            return false;
    return true;
}

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string_view Trim(std::u16string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

struct Line {
    std::u16string text;
    std::u16string eol;  // as found: CR LF, LF, CR, or empty on an unterminated last line
};

const std::u16string kCrLf = u"\r\n";

// The section name of a header line "[name]".
std::optional<std::u16string_view> SectionOf(const Line& line)
{
    const auto t = Trim(line.text);
    if (t.empty() || t.front() != u'[')
        return std::nullopt;
    const auto close = t.rfind(u']');
    if (close == std::u16string_view::npos)
        return std::nullopt;
    return Trim(t.substr(1, close - 1));
}

// The key of an entry line; a line without "=" is a key without value, as Windows reads it.
std::optional<std::u16string_view> KeyOf(const Line& line)
{
    const auto t = Trim(line.text);
    if (t.empty() || t.front() == u';')
        return std::nullopt;
    return Trim(t.substr(0, t.find(u'=')));
}

std::vector<Line> SplitLines(const std::u16string& text)
{
    std::vector<Line> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find_first_of(u"\r\n", start);
        if (end == std::u16string::npos) {
            lines.push_back({text.substr(start), {}});
            break;
        }
        size_t next = end + 1;
        if (text[end] == u'\r' && next < text.size() && text[next] == u'\n')
            ++next;
        lines.push_back({text.substr(start, end - start), text.substr(end, next - end)});
        start = next;
    }
    return lines;
}

// `tail` keeps the odd last byte of a UTF-16 file, which is written back as it was.
std::u16string Decode(const std::string& bytes, Encoding& encoding, std::string& tail)
{
    auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    std::u16string text;
    if (bytes.size() >= 2 && ((byte(0) == 0xFF && byte(1) == 0xFE) || (byte(0) == 0xFE && byte(1) == 0xFF))) {
        const bool little = byte(0) == 0xFF;
        encoding = little ? Encoding::Utf16Le : Encoding::Utf16Be;
        size_t i = 2;
        for (; i + 1 < bytes.size(); i += 2)
            text += static_cast<char16_t>(little ? byte(i) | (byte(i + 1) << 8) : (byte(i) << 8) | byte(i + 1));
        tail = bytes.substr(i);
    } else if (bytes.size() >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) {
        // The Windows profile functions do not read UTF-8; UTF-16 keeps every character and they read it.
        encoding = Encoding::Utf16Le;
        text = Utf8ToUtf16(bytes.substr(3));
    } else {
        encoding = Encoding::Windows1252;
        text.reserve(bytes.size());
        for (size_t i = 0; i < bytes.size(); ++i)
            text += FromCp1252(byte(i));
    }
    return text;
}

std::string Encode(const std::u16string& text, Encoding encoding)
{
    std::string out;
    switch (encoding) {
    case Encoding::Windows1252:
        out.reserve(text.size());
        for (char16_t c : text)
            out += static_cast<char>(ToCp1252(c));
        break;
    case Encoding::Utf16Le:
    case Encoding::Utf16Be: {
        const bool little = encoding == Encoding::Utf16Le;
        out.reserve(2 + 2 * text.size());
        out += little ? "\xFF\xFE" : "\xFE\xFF";
        for (char16_t c : text) {
            const char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>(c >> 8);
            out += little ? lo : hi;
            out += little ? hi : lo;
        }
        break;
    }
    }
    return out;
}

bool HasLineBreak(const std::string& s) { return s.find_first_of("\r\n") != std::string::npos; }

// Blanks that a profile reader may strip from the ends of a value: Wine strips
// the ASCII ones; the other spaces are quoted too, in case Windows strips them.
bool MayBeStripped(char16_t c)
{
    return c <= 0x20 || c == 0x7F || c == 0x85 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) ||
           c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000 || c == 0xFEFF;
}

bool IsQuote(char16_t c) { return c == u'"' || c == u'\''; }

// The text to put after "=" so that GetPrivateProfileString gives the value back
// unchanged. The reader strips blanks around a value and then one pair of
// matching quotes around the whole of it; a value it would change is put in
// double quotes, which it strips again. Any other value is written as it is.
std::u16string Stored(const std::u16string& value)
{
    if (value.empty())
        return value;
    const bool changedByReader = MayBeStripped(value.front()) || MayBeStripped(value.back()) ||
                                 (IsQuote(value.front()) && value.back() == value.front());
    return changedByReader ? u"\"" + value + u"\"" : value;
}

// ---- file access ---------------------------------------------------------------

#ifdef _WIN32
std::wstring Wide(const std::string& utf8)
{
    const std::u16string u = Utf8ToUtf16(utf8);
    return std::wstring(u.begin(), u.end());
}

// The system's own text for an error code, in the system's language.
std::string SystemReason(DWORD code)
{
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string reason = text ? Utf16ToUtf8(std::u16string(reinterpret_cast<char16_t*>(text)))
                              : "erro " + std::to_string(code);
    if (text)
        LocalFree(text);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' ' ||
                               reason.back() == '.'))
        reason.pop_back();
    return reason;
}

// Empty on success, else why it failed; a missing file is no error.
std::string ReadFileBytes(const std::string& path, std::string& bytes, bool& exists)
{
    HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD e = GetLastError();
        exists = false;
        return e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND ? std::string() : SystemReason(e);
    }
    exists = true;
    std::string reason;
    char buffer[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(h, buffer, sizeof buffer, &got, nullptr)) {
            reason = SystemReason(GetLastError());
            break;
        }
        if (got == 0)
            break;
        bytes.append(buffer, got);
    }
    CloseHandle(h);
    return reason;
}

// Empty on success, else why it failed.
std::string ReplaceWith(const std::string& path, const std::string& bytes)
{
    const std::wstring target = Wide(path);
    const DWORD attrs = GetFileAttributesW(target.c_str());
    if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY))
        return "o caminho é uma pasta";
    if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_READONLY))
        return "o arquivo está marcado como somente leitura";

    static std::atomic<unsigned> counter{0};
    std::wstring temp;
    HANDLE h = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && h == INVALID_HANDLE_VALUE; ++attempt) {
        temp = target + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(counter++) + L".tmp";
        h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS)
            return SystemReason(GetLastError());
    }
    if (h == INVALID_HANDLE_VALUE)
        return SystemReason(ERROR_FILE_EXISTS);

    DWORD error = 0;
    for (size_t done = 0; !error && done < bytes.size();) {
        DWORD wrote = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
        if (!WriteFile(h, bytes.data() + done, chunk, &wrote, nullptr))
            error = GetLastError();
        else if (wrote == 0)
            error = ERROR_WRITE_FAULT;
        done += wrote;
    }
    if (!error && !FlushFileBuffers(h))
        error = GetLastError();
    if (!CloseHandle(h) && !error)
        error = GetLastError();
    if (!error && !MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = GetLastError();
    if (!error)
        return {};
    DeleteFileW(temp.c_str());
    return SystemReason(error);
}
#else
std::string SystemReason(int code) { return std::strerror(code); }

// Empty on success, else why it failed; a missing file is no error.
std::string ReadFileBytes(const std::string& path, std::string& bytes, bool& exists)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        exists = false;
        return errno == ENOENT || errno == ENOTDIR ? std::string() : SystemReason(errno);
    }
    exists = true;
    std::string reason;
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        reason = SystemReason(errno);
    else if (!S_ISREG(st.st_mode))
        reason = "não é um arquivo comum";
    char buffer[65536];
    while (reason.empty()) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            reason = SystemReason(errno);
        if (got <= 0)
            break;
        bytes.append(buffer, static_cast<size_t>(got));
    }
    ::close(fd);
    return reason;
}

// errno of the failed write, or 0.
int WriteAll(int fd, const std::string& bytes)
{
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote < 0)
            return errno;
        if (wrote == 0)
            return EIO;
        done += static_cast<size_t>(wrote);
    }
    return 0;
}

// Empty on success, else why it failed.
std::string ReplaceWith(const std::string& path, const std::string& bytes)
{
    std::string target = path;
    struct stat st {};
    const bool exists = ::stat(path.c_str(), &st) == 0;
    if (exists) {
        // rename() would replace a file we may not write; refuse it as Windows does.
        if (!S_ISREG(st.st_mode))
            return "não é um arquivo comum";
        if ((st.st_mode & 0222) == 0)
            return "o arquivo é somente leitura";
        if (::access(path.c_str(), W_OK) != 0)
            return SystemReason(errno);
        // Through a symbolic link, replace the file it names, not the link.
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved))
            target = resolved;
    }

    static std::atomic<unsigned> counter{0};
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = target + "." + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".tmp";
        // Owner only while the text (a password among it) is being written.
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST)
            return SystemReason(errno);
    }
    if (fd < 0)
        return SystemReason(EEXIST);

    int error = WriteAll(fd, bytes);
    if (!error && exists) {
        // Keep the replaced file's permissions, and its owner where we may.
        if (::fchmod(fd, st.st_mode & 07777) != 0)
            error = errno;
        if (::fchown(fd, st.st_uid, st.st_gid) != 0) {
            // Only root may give a file away; an ordinary user keeps it as its own.
        }
    } else if (!error) {
        // A new file holds a password: readable by its owner and the folder's
        // group (the service account that reads it, as for a web application's
        // configuration), by no one else.
        const size_t slash = target.rfind('/');
        const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
        struct stat dir {};
        if (::stat(folder.c_str(), &dir) == 0 && ::fchown(fd, static_cast<uid_t>(-1), dir.st_gid) != 0) {
            // Allowed only for a group the writer belongs to; otherwise the file keeps the writer's group.
        }
        if (::fchmod(fd, 0640) != 0)
            error = errno;
    }
    if (!error && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && !error)
        error = errno;
    if (!error && ::rename(temp.c_str(), target.c_str()) != 0)
        error = errno;
    if (!error)
        return {};
    ::unlink(temp.c_str());
    return SystemReason(error);
}
#endif

} // namespace

struct ProfileIni::Impl {
    std::string path;
    Encoding encoding = Encoding::Windows1252;
    bool changed = false;
    std::vector<Line> lines;
    std::string tail;

    // [header, end) of the first section of that name.
    std::optional<std::pair<size_t, size_t>> Find(std::u16string_view name) const
    {
        for (size_t i = 0; i < lines.size(); ++i) {
            const auto found = SectionOf(lines[i]);
            if (!found || !SameName(*found, name))
                continue;
            size_t end = i + 1;
            while (end < lines.size() && !SectionOf(lines[end]))
                ++end;
            return std::make_pair(i, end);
        }
        return std::nullopt;
    }

    [[noreturn]] void FailRead(const std::string& reason) const
    {
        throw Error("Não foi possível ler o arquivo " + path + ": " + reason);
    }
    [[noreturn]] void FailWrite(const std::string& reason) const
    {
        throw Error("Não foi possível gravar o arquivo " + path + ": " + reason);
    }
};

ProfileIni::ProfileIni(std::string path) : d_(std::make_unique<Impl>())
{
    d_->path = std::move(path);
    std::string bytes;
    bool exists = false;
    // Not knowing the other sections, a save would destroy them.
    if (const std::string reason = ReadFileBytes(d_->path, bytes, exists); !reason.empty())
        d_->FailRead(reason);
    d_->lines = SplitLines(Decode(bytes, d_->encoding, d_->tail));
}

ProfileIni::~ProfileIni() = default;

const std::string& ProfileIni::path() const { return d_->path; }

void ProfileIni::EraseSection(const std::string& section)
{
    const auto range = d_->Find(Trim(Utf8ToUtf16(section)));
    if (!range)
        return;
    d_->lines.erase(d_->lines.begin() + static_cast<std::ptrdiff_t>(range->first),
                    d_->lines.begin() + static_cast<std::ptrdiff_t>(range->second));
    d_->changed = true;
}

std::optional<std::string> ProfileIni::ReadString(const std::string& section, const std::string& key) const
{
    const std::u16string wideSection = Utf8ToUtf16(section), wideKey = Utf8ToUtf16(key);
    const auto range = d_->Find(Trim(wideSection));
    if (!range)
        return std::nullopt;
    for (size_t i = range->first + 1; i < range->second; ++i) {
        const auto found = KeyOf(d_->lines[i]);
        if (!found || !SameName(*found, Trim(wideKey)))
            continue;
        const std::u16string_view text = d_->lines[i].text;
        const size_t eq = text.find(u'=');
        std::u16string_view value = eq == std::u16string_view::npos ? std::u16string_view() : Trim(text.substr(eq + 1));
        if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        return Utf16ToUtf8(std::u16string(value));
    }
    return std::nullopt;
}

void ProfileIni::WriteString(const std::string& section, const std::string& key, const std::string& value)
{
    if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value))
        throw Error("Quebra de linha não permitida em [" + section + "] " + key);
    // A NUL ends the text for every reader; malformed UTF-8 has no text to write.
    const std::string_view nul("\0", 1);
    for (const std::string* text : {&section, &key, &value})
        if (text->find(nul) != std::string::npos || !IsValidUtf8(*text))
            throw Error("Texto inválido em [" + (IsValidUtf8(section) ? section : "?") + "] " +
                        (IsValidUtf8(key) ? key : "?"));

    const std::u16string wideSection = Utf8ToUtf16(section), wideKey = Utf8ToUtf16(key);
    const std::u16string name(Trim(wideSection)), keyName(Trim(wideKey));
    // "a=b" would be read as key "a"; ";a" is a comment; "[a" with a value "]" a section.
    if (keyName.find(u'=') != std::u16string::npos ||
        (!keyName.empty() && (keyName.front() == u';' || keyName.front() == u'[')))
        throw Error("Chave não permitida em [" + section + "]: " + key);
    const std::u16string wideValue = Stored(Utf8ToUtf16(value));
    auto& lines = d_->lines;
    d_->changed = true;

    const auto range = d_->Find(name);
    if (!range) {
        if (!lines.empty() && lines.back().eol.empty())
            lines.back().eol = kCrLf;
        lines.push_back({u"[" + name + u"]", kCrLf});
        lines.push_back({keyName + u"=" + wideValue, kCrLf});
        return;
    }

    size_t lastFilled = range->first;
    for (size_t i = range->first + 1; i < range->second; ++i) {
        const auto found = KeyOf(lines[i]);
        if (found && SameName(*found, keyName)) {
            // The key keeps the spelling it has in the file.
            lines[i].text = std::u16string(*found) + u"=" + wideValue;
            return;
        }
        if (!Trim(lines[i].text).empty())
            lastFilled = i;
    }
    if (lines[lastFilled].eol.empty())
        lines[lastFilled].eol = kCrLf;
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(lastFilled + 1), Line{keyName + u"=" + wideValue, kCrLf});
}

void ProfileIni::WriteBool(const std::string& section, const std::string& key, bool value)
{
    WriteString(section, key, value ? "1" : "0");
}

void ProfileIni::WriteInteger(const std::string& section, const std::string& key, long long value)
{
    WriteString(section, key, std::to_string(value));
}

void ProfileIni::Save()
{
    if (!d_->changed)
        return;
    std::u16string text;
    for (const Line& line : d_->lines)
        text += line.text + line.eol;

    Encoding encoding = d_->encoding;
    if (encoding == Encoding::Windows1252) {
        for (char16_t c : text) {
            if (ToCp1252(c) < 0) {
                encoding = Encoding::Utf16Le;
                break;
            }
        }
    }
    if (const std::string reason = ReplaceWith(d_->path, Encode(text, encoding) + d_->tail); !reason.empty())
        d_->FailWrite(reason);
    d_->encoding = encoding;
    d_->changed = false;
}

} // namespace brivel
