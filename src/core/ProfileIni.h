#pragma once
#include <memory>
#include <optional>
#include <string>

namespace brivel {

// A writer of the Windows profile (INI) format, without the Windows API.
//
// The file is loaded when the object is made; every operation edits the copy in
// memory and Save() replaces the file in one step (temporary file in the same
// folder, then rename), so a failed save leaves the old file as it was.
//
// Format, as GetPrivateProfileString reads it:
//  - "[name]" starts a section; "key=value" is an entry; lines end in CR LF.
//  - GetPrivateProfileString strips blanks around a value and one pair of
//    matching quotes around it. A value that this would change (blanks or a
//    quote pair at its ends) is written in double quotes, so the reader gives it
//    back as given; every other value is written as given.
//  - Section and key names match case-insensitively and ignore blanks around
//    them; the first section of a name is the one used.
//  - Lines that are not touched (other sections, comments, blank lines, the
//    line ends found in the file) are written back unchanged.
//
// Encoding:
//  - UTF-16LE or UTF-16BE with a byte-order mark: read and written back as such.
//  - UTF-8 with a byte-order mark (left by a text editor): read, and written
//    back as UTF-16LE with a byte-order mark, which the Windows profile
//    functions read in full, where they would misread UTF-8.
//  - Anything else, and a new file: Windows-1252, every byte kept as it was.
//    When some text does not fit Windows-1252 the whole file is written as
//    UTF-16LE with a byte-order mark instead, so no character is lost.
//
// All text crosses this interface as UTF-8. Failures throw brivel::Error.
class ProfileIni {
public:
    // Reads the file; a missing or empty one gives an empty profile. A file that
    // exists but cannot be read throws "Não foi possível ler o arquivo <path>:
    // <the system's reason>" (a save would lose what it holds).
    explicit ProfileIni(std::string path);
    ~ProfileIni();
    ProfileIni(const ProfileIni&) = delete;
    ProfileIni& operator=(const ProfileIni&) = delete;

    const std::string& path() const;

    // Removes the section's header and every line up to the next header.
    // A missing section is no error and changes nothing.
    void EraseSection(const std::string& section);

    // The value as GetPrivateProfileString reads it: blanks around it and one
    // surrounding pair of matching quotes removed. Absent key: nullopt.
    std::optional<std::string> ReadString(const std::string& section, const std::string& key) const;

    // A missing section is appended at the end of the file; a missing key at the
    // end of its section (after its last non-blank line); an existing key has its
    // value replaced in place. A section, key or value holding CR or LF throws
    // (it would create other entries), naming the section and key, never the
    // value; so does one holding a NUL or malformed UTF-8, and a key holding "="
    // or starting with ";" or "[" (it would be read as another key, a comment or
    // a section).
    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void WriteBool(const std::string& section, const std::string& key, bool value);        // "1" / "0"
    void WriteInteger(const std::string& section, const std::string& key, long long value); // decimal

    // Writes the file when something changed (erasing in a missing file creates
    // nothing). Any failure throws "Não foi possível gravar o arquivo <path>:
    // <the system's reason>" and leaves the old file untouched. A file that is
    // read-only (no write permission for the caller, or no write bit at all, like
    // the read-only attribute on Windows) is refused even though a rename could
    // replace it. An existing file keeps its mode and owner; a new one is
    // created 0640 with the folder's group (on Windows it inherits the folder's
    // ACL).
    void Save();

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

} // namespace brivel
