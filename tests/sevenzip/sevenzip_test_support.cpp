// sevenzip_test_support.cpp - temporary folders, file helpers, the SevenZip call and the readers.
#include "sevenzip_test_support.h"

#include <dirent.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "sevenzip32.h"

namespace sztest {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "pakuto-sevenzip-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    // Tests take permissions away; give them back so everything can be removed.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
        if (it->is_directory(ignored) && !it->is_symlink(ignored))
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ignored);
    }
    std::filesystem::remove_all(path_, ignored);
}

void writeFile(const std::string& path, const std::string& content) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void makeFolder(const std::string& path) {
    std::filesystem::create_directories(path);
}

std::string randomBytes(size_t size, uint32_t seed) {
    std::mt19937 generator(seed);
    std::string out(size, '\0');
    for (char& c : out) c = static_cast<char>(generator() & 0xFF);
    return out;
}

std::string textBytes(size_t size) {
    static const char* const kWords[] = {"archive ", "folder ", "file ", "drop ",
                                         "window ",  "zip\n",   "name ", "42 "};
    std::mt19937 generator(7);
    std::string out;
    while (out.size() < size) out += kWords[generator() % 8];
    out.resize(size);
    return out;
}

uint32_t crcOf(const std::string& data) {
    return static_cast<uint32_t>(crc32_z(0, reinterpret_cast<const Bytef*>(data.data()), data.size()));
}

std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

std::vector<std::string> folderNames(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) throw std::runtime_error("cannot list " + folder);
    while (const dirent* item = readdir(dir)) {
        const std::string name = item->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

CallResult sevenZip(const std::string& command) {
    std::vector<char> buffer(32767, 'x');
    CallResult result;
    result.code = SevenZip(nullptr, command.c_str(), buffer.data(), static_cast<int32_t>(buffer.size()));
    result.output = buffer.data();
    return result;
}

ProcessResult runProcess(const std::vector<std::string>& argv) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) throw std::runtime_error("pipe failed");
    const pid_t child = fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {
        dup2(pipeFds[1], 1);
        dup2(pipeFds[1], 2);
        close(pipeFds[0]);
        close(pipeFds[1]);
        std::vector<char*> args;
        for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(pipeFds[1]);
    ProcessResult result;
    char chunk[4096];
    ssize_t n;
    while ((n = read(pipeFds[0], chunk, sizeof chunk)) > 0) result.out.append(chunk, static_cast<size_t>(n));
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

namespace {

std::string fromHex(const std::string& hex) {
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

std::vector<std::string> splitCommas(const std::string& text) {
    std::vector<std::string> parts;
    if (text == "-") return parts;
    std::stringstream in(text);
    std::string part;
    while (std::getline(in, part, ',')) parts.push_back(part);
    return parts;
}

}  // namespace

const ZipEntryReport* ZipReport::find(const std::string& name) const {
    for (const ZipEntryReport& entry : entries)
        if (entry.name == name) return &entry;
    return nullptr;
}

std::vector<std::string> ZipReport::names() const {
    std::vector<std::string> out;
    for (const ZipEntryReport& entry : entries) out.push_back(entry.name);
    return out;
}

ZipReport readWithPython(const std::string& archive) {
    const ProcessResult run = runProcess({PAKUTO_TEST_PYTHON, PAKUTO_TEST_ZIP_REPORT, archive});
    ZipReport report;
    std::istringstream lines(run.out);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string kind;
        fields >> kind;
        if (kind == "entry") {
            ZipEntryReport entry;
            std::string nameHex, extras;
            fields >> nameHex >> entry.flags >> entry.createSystem >> entry.externalAttr >> entry.method >>
                entry.size >> entry.crc >> extras >> entry.dosTime >> entry.utMtime;
            entry.name = fromHex(nameHex);
            entry.extraIds = splitCommas(extras);
            report.entries.push_back(entry);
        } else if (kind == "end") {
            size_t count = 0;
            int zip64 = 0;
            fields >> count >> zip64;
            report.zip64End = zip64 != 0;
            report.readable = run.exitCode == 0 && count == report.entries.size();
        } else {
            report.problem += line + "\n";
        }
    }
    return report;
}

bool unzipTestPasses(const std::string& archive) {
    return runProcess({PAKUTO_TEST_UNZIP, "-tqq", archive}).exitCode == 0;
}

std::vector<std::string> bsdtarNames(const std::string& archive) {
    const ProcessResult run = runProcess({PAKUTO_TEST_BSDTAR, "-tf", archive});
    std::vector<std::string> names;
    if (run.exitCode != 0) return names;
    std::istringstream lines(run.out);
    std::string line;
    while (std::getline(lines, line)) names.push_back(line);
    return names;
}

std::string compareArchive(const std::string& archive,
                           const std::vector<std::pair<std::string, std::string>>& files,
                           const std::vector<std::string>& folders) {
    const ZipReport report = readWithPython(archive);
    if (!report.readable) return "zipfile cannot read " + archive + ": " + report.problem;
    if (!unzipTestPasses(archive)) return "unzip -t fails on " + archive;
    std::string problems;
    size_t expectedCount = folders.size() + files.size();
    if (report.entries.size() != expectedCount)
        problems += "entry count " + std::to_string(report.entries.size()) +
                    " != " + std::to_string(expectedCount) + "\n";
    for (const auto& [name, content] : files) {
        const ZipEntryReport* entry = report.find(name);
        if (entry == nullptr)
            problems += "missing " + name + "\n";
        else if (entry->size != content.size() || entry->crc != crcOf(content))
            problems += "content differs: " + name + "\n";
    }
    for (const std::string& name : folders) {
        const ZipEntryReport* entry = report.find(name);
        if (entry == nullptr || entry->size != 0) problems += "missing folder " + name + "\n";
    }
    return problems;
}

}  // namespace sztest
