#include "decoding/plugin_manager.h"

#include "decoding/bitmap_output.h"
#include "decoding/tests/test_support.h"
#include "platform/debug_output.h"
#include "platform/registry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace qelvio::decoding {
namespace {

// Each test gets its own configuration folder, so the manager's registry
// keys land in a private hive.
class PluginManagerTest : public ::testing::Test {
protected:
    void SetUp() override { setenv("QELVIO_CONFIG_DIR", dir_.path("config").c_str(), 1); }
    void TearDown() override { unsetenv("QELVIO_CONFIG_DIR"); }

    std::vector<std::uint8_t> make(const std::string& command, const std::string& name) {
        command_output("convert " + command + " " + dir_.path(name));
        return read_file(dir_.path(name));
    }
    test::TempDir dir_;
};

TEST_F(PluginManagerTest, BuiltInModuleFormatsAndExtensions) {
    PluginManager manager;
    ASSERT_EQ(manager.modules().size(), 1u);
    const DecoderPlugin& builtin = *manager.modules()[0];
    EXPECT_TRUE(builtin.path.empty());
    EXPECT_EQ(builtin.order, 0x8000);
    // Created, loaded for its information and unloaded again.
    EXPECT_EQ(builtin.flags & (kPluginFlagEnabled | kPluginFlagLoaded), kPluginFlagEnabled);
    EXPECT_TRUE(builtin.flags & kPluginFlagStatusQuery);
    ASSERT_NE(builtin.info, nullptr);
    EXPECT_EQ(builtin.entry_points.open_decoder, nullptr);
    EXPECT_EQ(builtin.info->info.version, kPluginInterfaceVersion);

    std::u16string extensions;
    EXPECT_EQ(manager.list_extensions(extensions), 12);
    EXPECT_EQ(extensions, u"BMP DIB RLE GIF JPG JPEG JPE JIF JFIF TIF TIFF XIF ");

    const FormatEntry* jpeg = manager.find_format(kFormatJpeg);
    ASSERT_NE(jpeg, nullptr);
    EXPECT_EQ(std::u16string(jpeg->display_name), u"JPEG");
    EXPECT_EQ(jpeg->flags, kFormatRegionDecoding);
    EXPECT_EQ(jpeg->index, 3u);
    EXPECT_EQ(jpeg->colour, 0x0096DCDCu);
    EXPECT_EQ(std::u16string(jpeg->mime_type), u"image/jpeg");
    EXPECT_EQ(std::u16string(manager.find_format(kFormatTiff)->default_extension), u"TIF");
    EXPECT_EQ(manager.find_format(make_format_id("PNG")), nullptr);

    // The keys exist in the machine hive (written there) after creation.
    platform::RegKey key = nullptr;
    ASSERT_EQ(platform::reg_open_key(platform::reg_root(platform::RegHive::local_machine),
                                     u"Software\\Brantel\\PlugIns\\InfoCache\\IDP", false, &key),
              0);
    platform::reg_close_key(key);
}

TEST_F(PluginManagerTest, ChoosingDecoders) {
    auto tiff = make("-size 8x6 xc:red -depth 8", "t.tif");
    auto jpeg = make("-size 8x6 xc:red", "j.jpg");
    auto gif = make("-size 8x6 xc:red", "g.gif");
    const std::vector<std::uint8_t> junk_bytes(64, 'x');
    struct Case {
        const char16_t* name;
        const std::vector<std::uint8_t>* bytes;
        FormatId format;  // 0: no module opens it
    } cases[] = {
        {u"/pics/photo.jpg", &tiff, kFormatTiff},  // a TIFF named .jpg
        {u"/pics/photo.Jpe", &jpeg, kFormatJpeg},
        {u"/pics/anim.GIF", &gif, kFormatGif},
        {u"/pics/anim.txt", &gif, kFormatGif},     // unknown extension: probed by content
        {u"/pics/photo", &jpeg, kFormatJpeg},       // no extension, before any file was opened
        {u"/pics/notes.txt", &junk_bytes, 0},       // no module reads it
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(text::to_utf8(c.name));
        PluginManager manager;  // fresh: the built-in module is unloaded
        ImageDataSource source = memory_data_source(c.bytes->data(),
                                                    static_cast<std::uint32_t>(c.bytes->size()), c.name);
        ImageDecoder* decoder = nullptr;
        DecoderPlugin* module = manager.choose_decoder(source, nullptr, &decoder);
        if (!c.format) {
            EXPECT_EQ(module, nullptr);
            EXPECT_EQ(decoder, nullptr);
            continue;
        }
        ASSERT_NE(module, nullptr);
        ASSERT_NE(decoder, nullptr);
        ImageInfo info{};
        EXPECT_EQ(manager.decoder_open(*module, decoder, &info), 0);
        EXPECT_EQ(info.format, c.format);
        EXPECT_EQ(manager.close_decoder(*module, decoder), 0);
    }

    // The module stays unloaded until used; a name without extension finds
    // it whether or not it is loaded, and a caller that wants no decoder
    // gets the module only.
    PluginManager manager;
    ImageDataSource named = memory_data_source(jpeg.data(), static_cast<std::uint32_t>(jpeg.size()), u"a.jpg");
    ASSERT_NE(manager.choose_decoder(named, nullptr, nullptr), nullptr);
    ImageDataSource bare = memory_data_source(jpeg.data(), static_cast<std::uint32_t>(jpeg.size()), u"/pics/noext");
    EXPECT_EQ(manager.choose_decoder(bare, nullptr, nullptr), manager.modules()[0]);
    manager.unload(*manager.modules()[0]);
    EXPECT_EQ(manager.choose_decoder(bare, nullptr, nullptr), manager.modules()[0]);
    std::vector<std::uint8_t> junk(100, 7);
    ImageDataSource nothing = memory_data_source(junk.data(), 100, u"x.bmp");
    EXPECT_EQ(manager.choose_decoder(nothing, manager.modules()[0], nullptr), nullptr);
}

TEST_F(PluginManagerTest, WrappersDecodeThroughTheModule) {
    auto jpeg = make("-size 40x30 xc:blue", "j.jpg");
    PluginManager manager;
    ImageDataSource source = memory_data_source(jpeg.data(), static_cast<std::uint32_t>(jpeg.size()), u"j.jpg");
    ImageDecoder* d = nullptr;
    DecoderPlugin* m = manager.choose_decoder(source, nullptr, &d);
    ASSERT_NE(m, nullptr);
    PageInfo page{};
    EXPECT_EQ(manager.decoder_page_info(*m, d, 1, &page), kDecodeNoSuchPage);
    DecodeRequest request{};
    DecodeResult result{};
    ASSERT_EQ(manager.decoder_page_decode(*m, d, request, result), 0);
    EXPECT_EQ(test::result_picture(result).width, 40);
    release_decode_result(result);
    metadata::ExifTagList* list = nullptr;
    EXPECT_EQ(manager.decoder_get_metadata(*m, d, 0, &list), kDecodeNoMetadata);
    EXPECT_EQ(manager.decoder_extract_audio(*m, d, AudioRequest{}), kDecodeNoAudio);
    EXPECT_EQ(manager.decoder_end_rows(*m, d), 0);
    EXPECT_EQ(manager.close_decoder(*m, d), 0);
}

// Test modules with broken tables, to see the load rules and the wrappers.
int ok_init(void*) { return 0; }
int bad_init(void*) { return -1; }
const PluginInfo* g_info = nullptr;
int get_info(const PluginInfo** info) {
    *info = g_info;
    return g_info ? 0 : -1;
}
int open_none(const ImageDataSource*, ImageDecoder**) { return kDecodeNoDecoder; }
int close_any(ImageDecoder*) { return 0; }
int open_any(ImageDecoder*, ImageInfo*) { return 0; }
int page_any(ImageDecoder*, std::uint32_t, PageInfo*) { return 0; }
int decode_any(ImageDecoder*, const DecodeRequest*, DecodeResult*) { return 0; }

DecoderEntryPoints complete_table(int (*init)(void*)) {
    DecoderEntryPoints e{};
    e.initialize = init;
    e.get_information = get_info;
    e.open_decoder = open_none;
    e.close_decoder = close_any;
    e.decoder_open = open_any;
    e.decoder_page_info = page_any;
    e.decoder_page_decode = decode_any;
    return e;
}

FormatEntry g_fake_formats[] = {
    {0, make_format_id("AAA"), u"Aaa", u"AAA", u"AAA\0AA2\0", u"AAA", 0, 1, u"image/x-aaa"}};
PluginInfo g_fake_info = {0, 100, u"fake", 0, 1, g_fake_formats};

bool resolve_good(DecoderPlugin& m) {
    m.entry_points = complete_table(ok_init);
    return true;
}
bool resolve_incomplete(DecoderPlugin& m) {
    m.entry_points = complete_table(ok_init);
    m.entry_points.decoder_page_decode = nullptr;
    return true;
}
bool resolve_bad_init(DecoderPlugin& m) {
    m.entry_points = complete_table(bad_init);
    return true;
}
int g_released = 0;
void release(void*) { ++g_released; }

TEST_F(PluginManagerTest, LoadRulesSortingAndUnloading) {
    g_info = &g_fake_info;
    PluginManager manager;
    DecoderPlugin* late = manager.add_module(u"/lib/zeta.apl", 0x9000, resolve_good, release);
    DecoderPlugin* b = manager.add_module(u"/lib/Beta.apl", 0x8000, resolve_good);
    DecoderPlugin* a = manager.add_module(u"/lib/alpha.apl", 0x8000, resolve_good);
    DecoderPlugin* early = manager.add_module(u"/lib/omega.apl", 0x10, resolve_incomplete);
    ASSERT_EQ(manager.modules().size(), 5u);
    // Order key first, then the path without regard to case; the built-in
    // module's empty path sorts first among 0x8000.
    EXPECT_EQ(manager.modules()[0], early);
    EXPECT_TRUE(manager.modules()[1]->path.empty());
    EXPECT_EQ(manager.modules()[2], a);
    EXPECT_EQ(manager.modules()[3], b);
    EXPECT_EQ(manager.modules()[4], late);

    EXPECT_EQ(manager.load(*early), kPluginIncomplete);
    EXPECT_EQ(manager.open_decoder(*early, ImageDataSource{}, nullptr), kDecodeModuleNotLoaded);
    DecoderPlugin* failing = manager.add_module(u"/lib/init.apl", 1, resolve_bad_init);
    EXPECT_EQ(manager.load(*failing), kPluginInitFailed);
    g_info = nullptr;
    DecoderPlugin* no_info = manager.add_module(u"/lib/noinfo.apl", 2, resolve_good);
    EXPECT_EQ(manager.load(*no_info), kPluginNoInformation);
    EXPECT_EQ(no_info->info, nullptr);
    g_info = &g_fake_info;

    // An entry point the module leaves empty answers -4 after loading.
    EXPECT_EQ(manager.decoder_extract_audio(*a, nullptr, AudioRequest{}), kDecodeNotSupported);
    EXPECT_TRUE(a->flags & kPluginFlagLoaded);
    EXPECT_EQ(manager.find_format(make_format_id("AAA")), &a->info->formats[0]);
    std::u16string extensions;
    EXPECT_EQ(manager.list_extensions(extensions), 12 + 3 * 2);
    EXPECT_EQ(extensions.substr(0, 16), u"AAA AA2 AAA AA2 ");

    // Unloading a module that holds a library writes the trace line.
    std::vector<std::u16string> lines;
    auto previous = platform::set_debug_sink([&](std::u16string_view line) { lines.emplace_back(line); });
    late->module_handle = reinterpret_cast<void*>(0x1);
    manager.unload(*late);
    platform::set_debug_sink(previous);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], u"PIM: Unloading /lib/zeta.apl\n");
    EXPECT_EQ(g_released, 1);
    EXPECT_EQ(late->module_handle, nullptr);
    EXPECT_EQ(late->entry_points.open_decoder, nullptr);
}

}  // namespace
}  // namespace qelvio::decoding
