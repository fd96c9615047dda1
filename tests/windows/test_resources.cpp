// SetupBrivelDB.rc, compiled by windres and linked into this program: version record, icon, manifest.
#include "Check.h"
#include "WinSupport.h"

#include <windows.h>

TEST_CASE("resources: version record 1.0.0.0, SetupBrivelDB, language 0x0409 code page 1252")
{
    wchar_t self[MAX_PATH * 4];
    GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(self, &ignored);
    CHECK(size > 0);
    std::vector<char> data(size);
    CHECK(GetFileVersionInfoW(self, 0, size, data.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    CHECK(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    CHECK_EQ(fixed->dwSignature, DWORD(0xFEEF04BD));
    CHECK_EQ(fixed->dwFileVersionMS, DWORD(0x00010000));
    CHECK_EQ(fixed->dwFileVersionLS, DWORD(0));
    CHECK_EQ(fixed->dwProductVersionMS, DWORD(0x00010000));
    CHECK_EQ(fixed->dwProductVersionLS, DWORD(0));
    CHECK_EQ(fixed->dwFileType, DWORD(VFT_APP));

    WORD* translation = nullptr;
    CHECK(VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
    CHECK_EQ(length, UINT(4));
    CHECK_EQ(translation[0], WORD(0x0409));
    CHECK_EQ(translation[1], WORD(1252));

    const struct {
        const wchar_t* key;
        const char* value;
    } strings[] = {{L"ProductName", "SetupBrivelDB"},
                   {L"FileDescription", "SetupBrivelDB"},
                   {L"FileVersion", "1.0.0.0"},
                   {L"ProductVersion", "1.0.0.0"}};
    for (const auto& s : strings) {
        wintest::Row row(wintest::U(s.key));
        wchar_t* text = nullptr;
        const std::wstring query = std::wstring(L"\\StringFileInfo\\040904E4\\") + s.key;
        CHECK(VerQueryValueW(data.data(), query.c_str(), reinterpret_cast<void**>(&text), &length));
        CHECK_EQ(wintest::U(text), std::string(s.value));
    }
}

TEST_CASE("resources: the icon and the manifest are in the program")
{
    CHECK(LoadIconW(GetModuleHandleW(nullptr), L"MAINICON") != nullptr);

    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
    CHECK(found != nullptr);
    const char* bytes = static_cast<const char*>(LockResource(LoadResource(nullptr, found)));
    const std::string manifest(bytes, SizeofResource(nullptr, found));
    for (const char* part : {"Microsoft.Windows.Common-Controls", "level=\"asInvoker\"", "PerMonitorV2"}) {
        wintest::Row row(part);
        CHECK(manifest.find(part) != std::string::npos);
    }
}
