#include "decoding/transform/tests/transform_fixture.h"

#include "platform/text.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace transform_test {

int run(const std::string& command) {
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string read_bytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void write_bytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

void write_picture(const std::filesystem::path& path, int width, int height, bool grey) {
    std::ofstream out(path, std::ios::binary);
    out << (grey ? "P5\n" : "P6\n") << width << ' ' << height << "\n255\n";
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            int edge = ((x / 5 + y / 3) & 1) ? 60 : 0;
            int r = (x * 255 / std::max(1, width - 1) + edge) & 255;
            int g = (y * 255 / std::max(1, height - 1) + (x * y) % 37) & 255;
            int b = ((x * 7 + y * 13) ^ (x * y)) & 255;
            if (grey) {
                out.put(static_cast<char>((r + 2 * g + b) / 4));
            } else {
                out.put(static_cast<char>(r));
                out.put(static_cast<char>(g));
                out.put(static_cast<char>(b));
            }
        }
}

const char* name_of(Sampling s) {
    switch (s) {
    case Sampling::s444: return "4:4:4";
    case Sampling::s422: return "4:2:2";
    case Sampling::s420: return "4:2:0";
    case Sampling::grey: return "grey";
    }
    return "?";
}

void make_jpeg(const std::filesystem::path& path, int width, int height, Sampling sampling,
               const std::string& extra) {
    bool grey = sampling == Sampling::grey;
    auto picture = path.string() + (grey ? ".pgm" : ".ppm");
    write_picture(picture, width, height, grey);
    std::string options = grey                          ? "-grayscale"
                          : sampling == Sampling::s444 ? "-sample 1x1"
                          : sampling == Sampling::s422 ? "-sample 2x1"
                                                       : "-sample 2x2";
    std::string command = "cjpeg -quality 85 " + options + " " + extra + " -outfile '" + path.string() +
                          "' '" + picture + "'";
    ASSERT_EQ(run(command), 0) << command;
    std::filesystem::remove(picture);
}

Pixels decode(const std::filesystem::path& path) {
    Pixels p;
    std::string pnm = command_output("djpeg -pnm '" + path.string() + "' 2>/dev/null");
    std::istringstream in(pnm);
    std::string magic;
    int maxval = 0;
    in >> magic >> p.width >> p.height >> maxval;
    in.get();
    if (!in || (magic != "P5" && magic != "P6")) return {};
    p.channels = magic == "P5" ? 1 : 3;
    p.data = pnm.substr(static_cast<std::size_t>(in.tellg()));
    return p;
}

std::string jpegtran_option(int code) {
    switch (code) {
    case 1: return "-flip horizontal";
    case 2: return "-flip vertical";
    case 5: return "-rotate 90";
    case 6: return "-rotate 180";
    case 7: return "-rotate 270";
    }
    return "";
}

void jpegtran(int code, const std::filesystem::path& in, const std::filesystem::path& out) {
    std::string command = "jpegtran -copy all -trim " + jpegtran_option(code) + " -outfile '" +
                          out.string() + "' '" + in.string() + "'";
    ASSERT_EQ(run(command), 0) << command;
}

std::vector<Segment> segments_of(const std::string& jpeg) {
    std::vector<Segment> out;
    std::size_t pos = 2;
    while (pos + 4 <= jpeg.size() && static_cast<unsigned char>(jpeg[pos]) == 0xFF) {
        int marker = static_cast<unsigned char>(jpeg[pos + 1]);
        if (marker == 0xDA || marker == 0xD9) break;
        std::size_t length = (static_cast<unsigned char>(jpeg[pos + 2]) << 8) |
                             static_cast<unsigned char>(jpeg[pos + 3]);
        if (length < 2 || pos + 2 + length > jpeg.size()) break;
        out.push_back({marker, jpeg.substr(pos + 4, length - 2)});
        pos += 2 + length;
    }
    return out;
}

std::vector<Segment> carried_segments(const std::string& jpeg) {
    std::vector<Segment> out;
    for (const Segment& s : segments_of(jpeg)) {
        bool app = s.marker >= 0xE0 && s.marker <= 0xEF;
        if (!app && s.marker != 0xFE) continue;
        if (s.marker == 0xE0 && s.payload.compare(0, 5, std::string("JFIF\0", 5)) == 0) continue;
        if (s.marker == 0xEE && s.payload.compare(0, 5, "Adobe") == 0) continue;
        out.push_back(s);
    }
    return out;
}

void TransformFixture::SetUp() {
    DeviceFixture::SetUp();
    std::filesystem::create_directories(temporary_folder());
}

std::filesystem::path TransformFixture::temporary_folder() const { return root / "Windows" / "Temp"; }

std::vector<std::string> TransformFixture::temporary_files() const {
    std::vector<std::string> names;
    for (auto& e : std::filesystem::directory_iterator(temporary_folder())) {
        std::string name = e.path().filename().string();
        if (name.rfind("OLM", 0) == 0) names.push_back(name);
    }
    return names;
}

qelvio::decoding::TransformResult TransformFixture::transform(const std::string& name, int code,
                                                              qelvio::decoding::ProgressWindow* progress) {
    std::u16string path = u"\\" + qelvio::text::to_utf16(name);
    return qelvio::decoding::transform_jpeg_file(node(path.c_str()), code, progress);
}

}  // namespace transform_test
