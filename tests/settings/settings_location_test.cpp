// settings_location_test.cpp - guards against settings that silently vanish: a copy installed where it
// cannot write must keep its settings under the user's configuration folder, and a portable copy (or one
// whose settings file already exists) must keep them beside itself.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <optional>
#include <string>

#include "settings_location.h"
#include "temp_folder.h"

namespace {

// Runs `what` as the unprivileged user "nobody" when this test runs as root (root may write any folder,
// so the installed-for-all-users case cannot show otherwise) and returns what it computed.
std::optional<std::string> AsOrdinaryUser(const std::function<std::string()>& what) {
    if (::geteuid() != 0) return what();
    int out[2];
    if (::pipe(out) != 0) return std::nullopt;
    const pid_t child = ::fork();
    if (child < 0) return std::nullopt;
    if (child == 0) {
        ::close(out[0]);
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
        const std::string text = what();
        const bool ok = ::write(out[1], text.data(), text.size()) == static_cast<ssize_t>(text.size());
        ::_exit(ok ? 0 : 3);
    }
    ::close(out[1]);
    std::string text;
    char buffer[512];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) text.append(buffer, size_t(n));
    ::close(out[0]);
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return text;
}

class SettingsLocation : public ::testing::Test {
protected:
    void SetUp() override {
        ::chmod(root.path().c_str(), 0755);
        ASSERT_EQ(::mkdir(bin.c_str(), 0755), 0);
    }
    void TearDown() override {
        ::unsetenv("XDG_CONFIG_HOME");
        if (savedHome) ::setenv("HOME", savedHome->c_str(), 1);
    }
    TempFolder root;
    std::string bin = root.File("bin");
    std::optional<std::string> savedHome =
        std::getenv("HOME") ? std::optional<std::string>(std::getenv("HOME")) : std::nullopt;
};

TEST_F(SettingsLocation, WritableFolderKeepsSettingsBesideTheProgram) {
    EXPECT_EQ(SettingsFileLocation(bin, "pakuto"), bin + "/pakuto.ini");
}

TEST_F(SettingsLocation, ReadOnlyInstallUsesTheUsersConfigurationFolder) {
    ASSERT_EQ(::chmod(bin.c_str(), 0555), 0);
    struct Case {
        const char* xdg;  // XDG_CONFIG_HOME, or nullptr for unset
        std::string expected;
    } cases[] = {
        {"/cfg/x", "/cfg/x/pakuto/pakuto.ini"},
        {nullptr, "/home/u/.config/pakuto/pakuto.ini"},
        {"", "/home/u/.config/pakuto/pakuto.ini"},
        {"relative/cfg", "/home/u/.config/pakuto/pakuto.ini"},  // relative values are ignored
    };
    for (const Case& c : cases) {
        ::setenv("HOME", "/home/u", 1);
        if (c.xdg)
            ::setenv("XDG_CONFIG_HOME", c.xdg, 1);
        else
            ::unsetenv("XDG_CONFIG_HOME");
        const auto got = AsOrdinaryUser([&] { return SettingsFileLocation(bin, "pakuto"); });
        if (!got)
            GTEST_SKIP() << "cannot run as an ordinary user here, so a read-only folder cannot be shown";
        EXPECT_EQ(*got, c.expected) << "XDG_CONFIG_HOME=" << (c.xdg ? c.xdg : "(unset)");
    }
}

TEST_F(SettingsLocation, ExistingFileBesideAReadOnlyProgramIsStillUsed) {
    WriteBytes(bin + "/pakuto.ini", "[Main]\nDelete=1\n");
    ASSERT_EQ(::chmod(bin.c_str(), 0555), 0);
    ::setenv("XDG_CONFIG_HOME", "/cfg/x", 1);
    const auto got = AsOrdinaryUser([&] { return SettingsFileLocation(bin, "pakuto"); });
    if (!got) GTEST_SKIP() << "cannot run as an ordinary user here";
    EXPECT_EQ(*got, bin + "/pakuto.ini");
}

TEST_F(SettingsLocation, FolderIsMadeOnlyWhenAskedAndPrivate) {
    const std::string file = root.File("cfg/pakuto/pakuto.ini");
    EXPECT_FALSE(std::filesystem::exists(root.File("cfg")));
    ASSERT_TRUE(PrepareSettingsFolder(file));
    struct stat st {};
    ASSERT_EQ(::stat(root.File("cfg/pakuto").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_TRUE(PrepareSettingsFolder(file));  // again: already there
    WriteBytes(root.File("plain"), "x");       // a file where a folder should be
    EXPECT_FALSE(PrepareSettingsFolder(root.File("plain/pakuto.ini")));
}

}  // namespace
