// support_win32.cpp - the shared test helpers (support.h) on Windows, where the tests run under Wine.
// With no fork, Python or unzip there: InChild runs its step in the test's own process (Held keeps the
// library out with share modes, not permission bits); ReadZip reads the central directory and checks
// each entry's data and CRC-32 with zlib (no times); UnzipTests and BsdtarLists copy the archive into
// the folder PAKUTO_WINE_ARCHIVES names, whose archives tests/windows/run_wine.py hands to unzip -t,
// bsdtar -tf and Python's zipfile after the run. Paths are UTF-8 and go through the wide API. Temporary
// folders have a UNC name too (UncPath): under Wine \\localhost\pakuto-tests (the prefix's
// dosdevices\unc\localhost\pakuto-tests), else the user's temporary folder as \\localhost\C$.
#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "support.h"
#include "write_fault.h"

namespace fs = std::filesystem;

namespace ts {
namespace {

std::wstring Wide(const std::string& utf8) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

}  // namespace

// Also used by write_fault_win32.cpp.
std::string Narrow(const std::wstring& wide, UINT codePage = CP_UTF8) {
    const int n = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string text(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), text.data(), n, nullptr,
                        nullptr);
    return text;
}

namespace {

// A path for the wide API: backslashes, and the "\\?\" form for long absolute paths, so that
// folders deeper than MAX_PATH can be made and written (the C++ library lists only short paths).
fs::path PathOf(const std::string& utf8) {
    std::wstring wide = Wide(utf8);
    std::replace(wide.begin(), wide.end(), L'/', L'\\');
    if (wide.size() > 200 && wide[1] == L':' && wide[2] == L'\\') wide = L"\\\\?\\" + wide;
    return fs::path(wide);
}

// The folder temporary folders are made in, and its UNC name. Under Wine the prefix's Unix path comes
// from the environment Wine passes on.
void TempRoot(std::wstring& local, std::wstring& unc) {
    const wchar_t* prefix = _wgetenv(L"WINEPREFIX");
    if (prefix != nullptr && *prefix != L'\0') {
        local = L"Z:" + std::wstring(prefix) + L"\\dosdevices\\unc";
        std::replace(local.begin(), local.end(), L'/', L'\\');
        CreateDirectoryW(local.c_str(), nullptr);
        CreateDirectoryW((local += L"\\localhost").c_str(), nullptr);
        CreateDirectoryW((local += L"\\pakuto-tests").c_str(), nullptr);
        local += L"\\";
        unc = L"\\\\localhost\\pakuto-tests\\";
        return;
    }
    wchar_t base[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, base);
    local = base;
    unc = L"\\\\localhost\\" + local.substr(0, 1) + L"$" + local.substr(2);
}

// The folder of the running test program, with a trailing backslash.
std::wstring ProgramFolder() {
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return path.substr(0, path.find_last_of(L"\\/") + 1);
}

// One argument quoted the way the C runtime splits a command line: backslashes are literal except
// before a quote, where they are doubled, and a quote is escaped by a backslash.
std::wstring Quoted(const std::wstring& arg) {
    std::wstring out = L"\"";
    size_t slashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        out.append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
        slashes = 0;
        out.push_back(c);
    }
    out.append(slashes * 2, L'\\');
    return out + L"\"";
}

uint16_t Le16(const std::string& b, size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8);
}

uint32_t Le32(const std::string& b, size_t at) {
    return static_cast<uint32_t>(Le16(b, at)) | static_cast<uint32_t>(Le16(b, at + 2)) << 16;
}

// An entry's data: stored bytes, or raw DEFLATE inflated with zlib; false when it cannot be had.
bool EntryData(const std::string& archive, uint16_t method, size_t start, size_t packed, size_t size,
               std::string& data) {
    if (start + packed > archive.size()) return false;
    if (method == 0) {
        data = archive.substr(start, packed);
        return true;
    }
    if (method != 8) return false;
    data.assign(size, '\0');
    z_stream s{};
    if (inflateInit2(&s, -MAX_WBITS) != Z_OK) return false;
    s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(archive.data() + start));
    s.avail_in = static_cast<uInt>(packed);
    s.next_out = reinterpret_cast<Bytef*>(data.data());
    s.avail_out = static_cast<uInt>(size);
    const int result = inflate(&s, Z_FINISH);
    inflateEnd(&s);
    return result == Z_STREAM_END && s.total_out == size;
}

}  // namespace

const bool kWindows = true;

TempDir::TempDir() {
    static std::atomic<unsigned> counter{0};
    std::wstring base, unc;
    TempRoot(base, unc);
    for (;;) {
        const std::wstring path = base + L"pakuto-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                  std::to_wstring(counter++);
        if (CreateDirectoryW(path.c_str(), nullptr)) {
            path_ = Narrow(path);
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            throw std::runtime_error("cannot make a temporary folder");
    }
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(PathOf(path_), ec);
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(PathOf(path), std::ios::binary | std::ios::trunc) << bytes;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(PathOf(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

bool Exists(const std::string& path) {
    return GetFileAttributesW(PathOf(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void MakeDir(const std::string& path, unsigned) {
    CreateDirectoryW(PathOf(path).c_str(), nullptr);
}

std::vector<std::string> Tree(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    const fs::path root = PathOf(folder);
    for (const auto& e : fs::recursive_directory_iterator(root, ec)) {
        std::string name = Narrow(e.path().lexically_relative(root).wstring());
        std::replace(name.begin(), name.end(), '\\', '/');
        names.push_back(e.is_directory() ? name + "/" : name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string CommandText(const std::string& utf8) {
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
                            nullptr, 0) <= 0)
        return utf8;
    return Narrow(Wide(utf8), CP_ACP);
}

bool IsText(const std::string& bytes) {
    return bytes.empty() || MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes.data(),
                                                static_cast<int>(bytes.size()), nullptr, 0) > 0;
}

int Run(const std::vector<std::string>& argv, std::string* output, int timeoutSeconds) {
    std::wstring program = Wide(argv.at(0));
    if (program.find_first_of(L"\\/:") == std::wstring::npos) program = ProgramFolder() + program;
    std::wstring line = Quoted(program);
    // The C runtime hands the program its arguments in the ANSI code page, as the library takes them.
    for (size_t i = 1; i < argv.size(); ++i) line += L" " + Quoted(Wide(argv[i]));
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return -1;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = writeEnd;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &process);
    CloseHandle(writeEnd);
    if (!started) {
        CloseHandle(readEnd);
        return -1;
    }
    char buffer[4096];
    for (DWORD n = 0; ::ReadFile(readEnd, buffer, sizeof buffer, &n, nullptr) && n > 0;)
        if (output != nullptr) output->append(buffer, n);
    CloseHandle(readEnd);
    DWORD code = 0;
    if (WaitForSingleObject(process.hProcess, static_cast<DWORD>(timeoutSeconds) * 1000) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
        code = static_cast<DWORD>(-1);
    } else {
        GetExitCodeProcess(process.hProcess, &code);
    }
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return static_cast<int>(code);
}

Held::Held(const std::string& path, Hold how) {
    if (path.empty()) return;
    const DWORD access = how == Hold::Writer ? GENERIC_WRITE : GENERIC_READ;
    const DWORD share = how == Hold::Writer ? FILE_SHARE_READ | FILE_SHARE_WRITE : 0;
    const HANDLE handle = CreateFileW(PathOf(path).c_str(), access, share, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle != INVALID_HANDLE_VALUE) handle_ = reinterpret_cast<intptr_t>(handle);
}

Held::~Held() {
    if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

std::string NativePath(const std::string& path) {
    std::string native = path;
    std::replace(native.begin(), native.end(), '/', '\\');
    return native;
}

std::string UncPath(const std::string& path) {
    std::wstring base, unc;
    TempRoot(base, unc);
    const std::string local = NativePath(path), root = Narrow(base);
    if (local.compare(0, root.size(), root) != 0) return "";
    return Narrow(unc) + local.substr(root.size());
}

int InChild(const std::function<int()>& step, bool, int) {
    const int result = step();
    Disarm();  // what a child would have taken with it when it ended
    return result;
}

ZipReport ReadZip(const std::string& path) {
    ZipReport report;
    const std::string b = ReadFile(path);
    if (b.size() < 22 || Le32(b, b.size() - 22) != 0x06054b50) return report;
    const size_t count = Le16(b, b.size() - 12);
    size_t at = Le32(b, b.size() - 6);
    bool ok = true;
    for (size_t i = 0; i < count; ++i) {
        if (at + 46 > b.size() || Le32(b, at) != 0x02014b50) return report;
        const uint16_t flags = Le16(b, at + 8), method = Le16(b, at + 10);
        const uint32_t crc = Le32(b, at + 16), packed = Le32(b, at + 20), size = Le32(b, at + 24);
        const size_t nameLength = Le16(b, at + 28), extraLength = Le16(b, at + 30),
                     commentLength = Le16(b, at + 32);
        const size_t local = Le32(b, at + 42);
        ZipEntry e;
        e.name = b.substr(at + 46, nameLength);
        e.size = size;
        e.mode = Le32(b, at + 38) >> 16;
        e.method = method;
        e.utf8Flag = (flags & 0x800) != 0;
        std::string data;
        const bool read =
            local + 30 <= b.size() &&
            EntryData(b, method, local + 30 + Le16(b, local + 26) + Le16(b, local + 28), packed, size, data);
        ok = ok && read &&
             crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())) == crc;
        if (size <= 64) e.content = data;
        report.entries.push_back(e);
        at += 46 + nameLength + extraLength + commentLength;
    }
    report.ok = ok;
    return report;
}

// Copies the archive for the Linux-side readers under a name no earlier copy has; false when there is
// no folder to copy it to.
static bool HandToLinuxReaders(const std::string& archive) {
    static std::atomic<unsigned> counter{0};
    const wchar_t* folder = _wgetenv(L"PAKUTO_WINE_ARCHIVES");
    if (folder == nullptr || *folder == L'\0') return false;
    for (;;) {
        const std::wstring copy = std::wstring(folder) + L"\\" + std::to_wstring(GetCurrentProcessId()) +
                                  L"-" + std::to_wstring(counter++) + L".zip";
        if (CopyFileW(PathOf(archive).c_str(), copy.c_str(), TRUE)) return true;
        if (GetLastError() != ERROR_FILE_EXISTS) return false;
    }
}

bool UnzipTests(const std::string& archive, const std::string&) {
    return HandToLinuxReaders(archive);
}

bool BsdtarLists(const std::string& archive) {
    return Exists(archive);  // the copy UnzipTests made is listed by bsdtar on the Linux side
}

}  // namespace ts
