// The freedesktop side of the file associations: the desktop entry and the
// default-application lines of mimeapps.list.
#include "shell/file_associations.h"

#include "platform/debug_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace qelvio::shell {
namespace {

const char* const kMimeTypes[] = {"image/jpeg", "image/gif", "image/bmp", "image/tiff"};

std::string xdg_base(const char* variable, const char* fallback) {
    const char* v = std::getenv(variable);
    if (v && v[0] == '/') return v;
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : "/") + "/" + fallback;
}

// Writes a file through a temporary file in the same folder, renamed into
// place, so a reader never sees half of it.
bool replace_file(const std::string& path, const std::string& content) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    std::string temp = path + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        platform::debug_trace(u"cannot write %s (%s)", path, std::strerror(errno));
        return false;
    }
    ::fchmod(fd, 0644);
    bool ok = ::write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        platform::debug_trace(u"cannot write %s (%s)", path, std::strerror(errno));
        ::unlink(temp.c_str());
    }
    return ok;
}

// An argument of an Exec line: quoted when it holds a reserved character
// (with the characters the quoting reserves escaped), then with backslashes
// and percent signs escaped for the desktop file itself. Plain paths stay
// unquoted, which every launcher understands.
std::string exec_argument(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\n\"'\\><~|&;$*?#()`=") == std::string::npos) {
        std::string out;
        for (char c : arg) {
            if (c == '%') out += '%';
            out += c;
        }
        return out;
    }
    std::string quoted = "\"";
    for (char c : arg) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    std::string out;
    for (char c : quoted) {
        if (c == '\\') out += '\\';
        if (c == '%') out += '%';
        out += c;
    }
    return out;
}

std::string trim(const std::string& s) {
    std::size_t b = s.find_first_not_of(" \t");
    std::size_t e = s.find_last_not_of(" \t\r");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

// "type=a;b;" with our entry first and any earlier mention of it removed.
std::string default_line(const std::string& type, const std::string& old_value) {
    std::string value = std::string(kDesktopEntryName) + ";";
    std::stringstream items(old_value);
    std::string item;
    while (std::getline(items, item, ';')) {
        item = trim(item);
        if (!item.empty() && item != kDesktopEntryName) value += item + ";";
    }
    return type + "=" + value;
}

}  // namespace

bool install_desktop_entry(const std::string& program_path) {
    std::string entry =
        "[Desktop Entry]\n"
        "Type=Application\n"
        "Name=Qelvio Mobile\n"
        "Comment=Browse, view and edit images\n"
        "Exec=" + exec_argument(program_path) + " %f\n"
        "Terminal=false\n"
        "Categories=Graphics;Viewer;\n"
        "MimeType=image/jpeg;image/gif;image/bmp;image/tiff;\n";
    return replace_file(xdg_base("XDG_DATA_HOME", ".local/share") + "/applications/" +
                            kDesktopEntryName,
                        entry);
}

bool set_default_applications() {
    std::string path = xdg_base("XDG_CONFIG_HOME", ".config") + "/mimeapps.list";
    std::vector<std::string> lines;
    {
        std::ifstream in(path);
        std::string line;
        while (std::getline(in, line)) lines.push_back(line);
    }
    // Where the section is and which of our types it already names.
    std::size_t section = lines.size(), section_end = lines.size();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string t = trim(lines[i]);
        if (t == "[Default Applications]" && section == lines.size()) {
            section = i;
        } else if (section != lines.size() && i > section && !t.empty() && t.front() == '[') {
            section_end = i;
            break;
        }
    }
    if (section == lines.size()) {
        if (!lines.empty() && !trim(lines.back()).empty()) lines.emplace_back();
        lines.emplace_back("[Default Applications]");
        section = lines.size() - 1;
        section_end = lines.size();
    }
    for (const char* type : kMimeTypes) {
        bool found = false;
        for (std::size_t i = section + 1; i < section_end; ++i) {
            std::string t = trim(lines[i]);
            std::size_t eq = t.find('=');
            if (eq == std::string::npos || trim(t.substr(0, eq)) != type) continue;
            lines[i] = default_line(type, t.substr(eq + 1));
            found = true;
            break;
        }
        if (!found) {
            // After the section's last non-empty line.
            std::size_t at = section_end;
            while (at > section + 1 && trim(lines[at - 1]).empty()) --at;
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), default_line(type, ""));
            ++section_end;
        }
    }
    std::string content;
    for (const std::string& l : lines) content += l + "\n";
    return replace_file(path, content);
}

}  // namespace qelvio::shell
