#include "shell/file_associations.h"

#include "platform/registry.h"
#include "platform/tests/scratch_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace qelvio::shell {
namespace {

using namespace qelvio::platform;
using testing::ScopedEnv;
using testing::ScratchDir;

constexpr char16_t kProgram[] = u"\\Program Files\\Qelvio\\q.exe";
constexpr char16_t kCommand[] = u"\"\\Program Files\\Qelvio\\q.exe\" \"%1\"";

std::string read_file(const std::string& path) {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

class FileAssociationsTest : public ::testing::Test {
protected:
    ScratchDir dir;
    ScopedEnv env{"QELVIO_CONFIG_DIR", dir / "qelvio"};

    // A string value of the classes root with its raw size; "<none>" when
    // missing, "<type N>" when of another type.
    std::u16string value(std::u16string_view key_path, std::u16string_view name,
                         uint32_t* size_out = nullptr) {
        RegKey key = nullptr;
        if (reg_open_key(reg_root(RegHive::classes_root), key_path, false, &key) != REG_OK)
            return u"<no key>";
        uint32_t type = 0, size = 0;
        std::u16string out = u"<none>";
        if (reg_query_value(key, name, &type, nullptr, &size) == REG_OK) {
            std::u16string buffer(size / 2, u'\0');
            reg_query_value(key, name, &type, buffer.data(), &size);
            if (size_out) *size_out = size;
            if (type == REG_SZ && !buffer.empty() && buffer.back() == u'\0') {
                buffer.pop_back();
                out = buffer;
            } else if (type == REG_DWORD && size == 4) {
                uint32_t n = 0;
                std::memcpy(&n, buffer.data(), 4);
                std::string s = std::to_string(n);
                out = std::u16string(s.begin(), s.end());
            } else {
                out = u"<type>";
            }
        }
        reg_close_key(key);
        return out;
    }
};

TEST_F(FileAssociationsTest, RowsAreWrittenAsTheTablesSay) {
    register_file_associations(kProgram);
    for (const FileTypeRow& row : kFileTypeRows) {
        std::u16string ext = u"." + std::u16string(row.extension);
        EXPECT_EQ(value(ext, u""), row.type_key);
        EXPECT_EQ(value(ext, u"Content Type"), row.content_type);
        EXPECT_EQ(value(row.type_key, u""), row.description);
        EXPECT_EQ(value(row.type_key, u"EditFlags"), u"65536");
        EXPECT_EQ(value(std::u16string(row.type_key) + u"\\Shell\\Open\\Command", u""), kCommand);
    }
    EXPECT_EQ(value(u"gifimage\\DefaultIcon", u""), u"\\Program Files\\Qelvio\\q.exe,-181");
    EXPECT_EQ(value(u"tiffimage\\DefaultIcon", u""), u"\\Program Files\\Qelvio\\q.exe,-184");
    // Strings are stored with their terminating character.
    uint32_t size = 0;
    value(u".jpg", u"", &size);
    EXPECT_EQ(size, 2u * 10);
    // One registration: only the shared JPEG type found a command before.
    EXPECT_EQ(value(u"jpegimage\\Shell\\Open\\Command", u"old"), kCommand);
    EXPECT_EQ(value(u"gifimage\\Shell\\Open\\Command", u"old"), u"<none>");
}

TEST_F(FileAssociationsTest, RegisteringTwiceKeepsOwnCommandAsOld) {
    EXPECT_EQ(register_file_associations(kProgram), REG_OK);
    EXPECT_EQ(register_file_associations(kProgram), REG_OK);
    EXPECT_EQ(value(u"jpegimage\\Shell\\Open\\Command", u"old"), kCommand);
    EXPECT_EQ(value(u"bmpimage\\Shell\\Open\\Command", u"old"), kCommand);
    EXPECT_EQ(value(u"jpegimage\\Shell\\Open\\Command", u""), kCommand);
}

TEST_F(FileAssociationsTest, PreviousOpenerIsKeptAsOld) {
    RegKey key = nullptr;
    ASSERT_EQ(reg_create_key(reg_root(RegHive::classes_root), u"bmpimage\\Shell\\Open\\Command", &key),
              REG_OK);
    const char16_t paint[] = u"paint.exe %1";
    reg_set_value(key, u"", REG_SZ, paint, sizeof paint);
    reg_close_key(key);
    register_file_type(kFileTypeRows[4], kProgram);
    EXPECT_EQ(value(u"bmpimage\\Shell\\Open\\Command", u"old"), u"paint.exe %1");
    EXPECT_EQ(value(u"bmpimage\\Shell\\Open\\Command", u""), kCommand);
}

TEST_F(FileAssociationsTest, UnwritableClassesRootIsReported) {
    std::ofstream(dir / "plain-file") << "x";
    ScopedEnv e("QELVIO_CONFIG_DIR", dir / "plain-file/qelvio");
    EXPECT_EQ(register_file_associations(kProgram), REG_ERROR_CANTWRITE);
}

class DesktopEntryTest : public ::testing::Test {
protected:
    ScratchDir dir;
    ScopedEnv home{"HOME", dir.path()};
    ScopedEnv data{"XDG_DATA_HOME", dir / "data"};
    ScopedEnv config{"XDG_CONFIG_HOME", dir / "config"};
    ScopedEnv data_dirs{"XDG_DATA_DIRS", dir / "none"};
    ScopedEnv config_dirs{"XDG_CONFIG_DIRS", dir / "none"};
    ScopedEnv desktop{"XDG_CURRENT_DESKTOP", ""};

    // Output of a shell command, without the final line break.
    static std::string run(const std::string& command) {
        std::string out;
        if (FILE* p = ::popen(command.c_str(), "r")) {
            char buf[256];
            while (std::fgets(buf, sizeof buf, p)) out += buf;
            ::pclose(p);
        }
        while (!out.empty() && out.back() == '\n') out.pop_back();
        return out;
    }
};

TEST_F(DesktopEntryTest, XdgMimeNamesTheProgramAndOtherLinesStay) {
    std::filesystem::create_directories(dir / "config");
    std::ofstream(dir / "config/mimeapps.list") << "[Added Associations]\n"
                                                   "text/plain=editor.desktop;\n"
                                                   "\n"
                                                   "[Default Applications]\n"
                                                   "image/png=viewer.desktop;\n"
                                                   "image/jpeg=viewer.desktop;qelvio.desktop;\n"
                                                   "# a comment\n";
    // xdg-mime names only entries whose program exists; both claim JPEG, so
    // only the order in mimeapps.list decides.
    std::filesystem::create_directories(dir / "bin");
    std::filesystem::copy_file("/bin/true", dir / "bin/qelvio");
    std::filesystem::copy_file("/bin/true", dir / "bin/viewer");
    std::filesystem::create_directories(dir / "data/applications");
    std::ofstream(dir / "data/applications/viewer.desktop")
        << "[Desktop Entry]\nType=Application\nName=Viewer\nExec=" << dir / "bin/viewer"
        << " %f\nMimeType=image/jpeg;image/png;\n";
    ASSERT_TRUE(install_desktop_entry(dir / "bin/qelvio"));
    ASSERT_TRUE(set_default_applications());
    ASSERT_TRUE(set_default_applications());  // twice changes nothing more
    EXPECT_EQ(read_file(dir / "config/mimeapps.list"),
              "[Added Associations]\n"
              "text/plain=editor.desktop;\n"
              "\n"
              "[Default Applications]\n"
              "image/png=viewer.desktop;\n"
              "image/jpeg=qelvio.desktop;viewer.desktop;\n"
              "# a comment\n"
              "image/gif=qelvio.desktop;\n"
              "image/bmp=qelvio.desktop;\n"
              "image/tiff=qelvio.desktop;\n");
    for (const char* type : {"image/jpeg", "image/gif", "image/bmp", "image/tiff"})
        EXPECT_EQ(run(std::string("xdg-mime query default ") + type + " 2>&1"), "qelvio.desktop")
            << type;
    EXPECT_EQ(run("xdg-mime query default image/png 2>&1"), "viewer.desktop");
}

TEST_F(DesktopEntryTest, NewMimeappsListAndQuotedExecLine) {
    ASSERT_TRUE(install_desktop_entry("/opt/my $dir/100%/qelvio"));
    ASSERT_TRUE(set_default_applications());
    std::string entry = read_file(dir / "data/applications/qelvio.desktop");
    EXPECT_NE(entry.find("\nExec=\"/opt/my \\\\$dir/100%%/qelvio\" %f\n"), std::string::npos) << entry;
    ASSERT_TRUE(install_desktop_entry("/usr/bin/qelvio"));
    EXPECT_NE(read_file(dir / "data/applications/qelvio.desktop").find("\nExec=/usr/bin/qelvio %f\n"),
              std::string::npos);
    EXPECT_NE(entry.find("\nMimeType=image/jpeg;image/gif;image/bmp;image/tiff;\n"), std::string::npos);
    EXPECT_EQ(read_file(dir / "config/mimeapps.list"),
              "[Default Applications]\n"
              "image/jpeg=qelvio.desktop;\n"
              "image/gif=qelvio.desktop;\n"
              "image/bmp=qelvio.desktop;\n"
              "image/tiff=qelvio.desktop;\n");
}

}  // namespace
}  // namespace qelvio::shell
