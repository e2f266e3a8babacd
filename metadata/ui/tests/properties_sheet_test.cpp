// The properties sheet on files of a scratch device: what its pages show
// (in an en_US locale), the rename and read-only toggle on disk, and the
// annotation and audio edits as exiftool reads them after the save.
#include "metadata/ui/properties_sheet.h"
#include "metadata/tests/camera_jpeg.h"
#include "metadata/ui/audio_dialog.h"
#include "platform/ui/tests/widget_checks.h"
#include "platform/audio_device.h"
#include "platform/file_system.h"
#include "platform/tests/alsa_fixture.h"
#include "storage/tests/device_fixture.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>
#include <QApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>

namespace qm = qelvio::metadata;
namespace qd = qelvio::decoding;
namespace qp = qelvio::platform;
using namespace camera_jpeg;

namespace {

using qelvio::ui_testing::expect_unclipped;

// The overwrite prompt with a scripted answer.
class ScriptedPrompt : public p_overwriteprompt {
public:
    explicit ScriptedPrompt(int answer) : answer_(answer) {}
    int asked = 0;

protected:
    int show(const p_irl&, const p_irl&) override {
        ++asked;
        return answer_;
    }

private:
    int answer_;
};

// exiftool's listing without the lines of the named tags and of the file
// system's facts, which a save may change.
std::vector<std::string> tags_except(const std::string& path, std::vector<std::string> names) {
    for (const char* fact : {"FileSize", "FileModify", "FileAccess", "FileInodeChange", "FilePermissions"})
        names.push_back(fact);
    std::vector<std::string> kept;
    for (const std::string& line : exiftool_tags(path)) {
        bool changed = false;
        for (const std::string& name : names) changed = changed || line.find(name) != std::string::npos;
        if (!changed) kept.push_back(line);
    }
    return kept;
}

// A number below a million written with a thousands separator.
QString grouped(uintmax_t n, char separator) {
    std::string low = std::to_string(n % 1000);
    return QString::fromStdString(std::to_string(n / 1000) + separator + std::string(3 - low.size(), '0') + low);
}

class PropertiesSheetTest : public DeviceFixture {
protected:
    void SetUp() override {
        DeviceFixture::SetUp();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        context.message = [this](QWidget*, const QString& text, qp::MessageIcon) { messages.push_back(text); };
        context.busy = [this](bool on) { busy.push_back(on); };
        context.audio_dialog = [this](QWidget*, const std::u16string& name, const std::vector<uint8_t>* audio,
                                      bool read_only, std::vector<uint8_t>& result) {
            audio_calls.push_back({name, read_only, audio ? *audio : std::vector<uint8_t>()});
            result = next_audio;
            return true;
        };
    }
    void TearDown() override {
        QLocale::setDefault(QLocale::c());
        DeviceFixture::TearDown();
    }
    std::string local(const std::string& name) const { return (root / name).string(); }
    static p_irl irl(const char16_t* path) {
        p_irl locator;
        locator.set(u"file", u"", path);
        return locator;
    }
    std::unique_ptr<qm::PropertiesSheet> open(qd::p_ImageSource& image, int page = qm::kPageGeneral) {
        auto sheet = std::make_unique<qm::PropertiesSheet>(nullptr, image, page, context);
        sheet->show();
        return sheet;
    }
    template <class W = QLabel>
    static W* control(qm::PropertiesSheet& sheet, const char* page, int number) {
        QWidget* p = sheet.findChild<QWidget*>(page);
        return p ? p->findChild<W*>(QStringLiteral("c%1").arg(number)) : nullptr;
    }
    static QString text(qm::PropertiesSheet& sheet, const char* page, int number) {
        return control(sheet, page, number)->text();
    }
    static void ok(qm::PropertiesSheet& sheet) {
        QTest::mouseClick(sheet.buttons()->button(QDialogButtonBox::Ok), Qt::LeftButton);
    }
    std::string exif(const std::string& tag, const std::string& file) {
        std::string out = command_output("exiftool -s -s -s -" + tag + " " + in_quotes(local(file)));
        while (!out.empty() && out.back() == '\n') out.pop_back();
        return out;
    }

    struct AudioCall {
        std::u16string name;
        bool read_only;
        std::vector<uint8_t> audio;
    };
    qm::PropertiesContext context;
    std::vector<QString> messages;
    std::vector<bool> busy;
    std::vector<AudioCall> audio_calls;
    std::vector<uint8_t> next_audio;
};

TEST_F(PropertiesSheetTest, GeneralPageShowsTheFileInTheUsersLocale) {
    make_folder("Photos");
    ASSERT_TRUE(run("convert -size 40x30 plasma:fractal -seed 3 " + in_quotes(local("Photos/a.b.jpg"))));
    ASSERT_TRUE(run("convert -size 64x64 plasma:fractal -seed 5 -colors 256 " + in_quotes(local("Photos/pal.gif"))));
    // Over a thousand bytes, so the size shows its grouping.
    uintmax_t bytes = std::filesystem::file_size(root / "Photos/a.b.jpg");
    ASSERT_GT(bytes, 1000u);
    ASSERT_LT(bytes, 1000000u);

    qd::p_ImageSource photo(irl(u"\\Photos\\a.b.jpg"));
    auto sheet = open(photo);
    EXPECT_EQ(sheet->windowTitle(), "Image properties");
    ASSERT_EQ(sheet->tabs()->count(), 3);
    EXPECT_EQ(sheet->tabs()->tabText(0), "General");
    EXPECT_EQ(sheet->tabs()->tabText(1), "Annotation");
    EXPECT_EQ(sheet->tabs()->tabText(2), "Metadata");
    EXPECT_EQ(sheet->help_topic(), u"properties");
    sheet->tabs()->setCurrentIndex(qm::kPageAnnotation);
    EXPECT_EQ(sheet->help_topic(), u"annotation");
    sheet->tabs()->setCurrentIndex(qm::kPageMetadata);
    EXPECT_EQ(sheet->help_topic(), u"properties");
    EXPECT_EQ(control<QLineEdit>(*sheet, "general", 1048)->text(), "a.b");
    EXPECT_EQ(text(*sheet, "general", 1054), "\\Photos");
    EXPECT_EQ(text(*sheet, "general", 1049), grouped(bytes, ',') + " bytes");
    EXPECT_FALSE(text(*sheet, "general", 1052).isEmpty());
    EXPECT_EQ(text(*sheet, "general", 1050), "40x30");
    EXPECT_EQ(text(*sheet, "general", 1051), "16,777,216");
    EXPECT_EQ(text(*sheet, "general", 1053), "JPEG");
    EXPECT_EQ(text(*sheet, "general", 1122), "The image is writable.");
    EXPECT_EQ(control<QPushButton>(*sheet, "general", 1094)->text(), "Make read-only");

    qd::p_ImageSource palette(irl(u"\\Photos\\pal.gif"));
    auto gif = open(palette);
    EXPECT_EQ(text(*gif, "general", 1051), "256");
    EXPECT_EQ(text(*gif, "general", 1050), "64x64");
    EXPECT_EQ(control<QLineEdit>(*gif, "general", 1048)->text(), "pal");

    // Where "." groups thousands the number is not cut at the first ".".
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    qd::p_ImageSource again(irl(u"\\Photos\\a.b.jpg"));
    auto german = open(again);
    EXPECT_EQ(text(*german, "general", 1051), "16.777.216");
    EXPECT_EQ(text(*german, "general", 1049), grouped(bytes, '.') + " bytes");
}

TEST_F(PropertiesSheetTest, RenameOnOkKeepsTheExtension) {
    ASSERT_TRUE(run("convert -size 20x20 xc:navy " + in_quotes(local("a.b.jpg"))));
    Bytes before = read_file(local("a.b.jpg"));
    qd::p_ImageSource image(irl(u"\\a.b.jpg"));
    auto sheet = open(image);
    control<QLineEdit>(*sheet, "general", 1048)->setText("summer.day");
    ok(*sheet);
    EXPECT_EQ(sheet->result(), QDialog::Accepted);
    EXPECT_TRUE(sheet->renamed());
    EXPECT_EQ(listing(), std::vector<std::string>{"summer.day.jpg"});
    EXPECT_EQ(read_file(local("summer.day.jpg")), before);
    EXPECT_EQ(image.locator().utf8(), irl(u"\\summer.day.jpg").utf8());
    EXPECT_TRUE(messages.empty());

    // Renamed and annotated in one OK: the save goes to the new name.
    qd::p_ImageSource both(irl(u"\\summer.day.jpg"));
    auto sheet2 = open(both);
    control<QLineEdit>(*sheet2, "general", 1048)->setText("beach");
    control<QPlainTextEdit>(*sheet2, "annotation", 1051)->setPlainText("Sand");
    ok(*sheet2);
    EXPECT_EQ(qm::save_properties(nullptr, both, context), 0);
    EXPECT_EQ(listing(), (std::vector<std::string>{"Windows", "beach.jpg"}));
    EXPECT_EQ(exif("ImageDescription", "beach.jpg"), "Sand");
    // The picture itself is untouched.
    std::string original = root.string() + ".orig.jpg";
    write_file(original, before);
    EXPECT_EQ(command_output("djpeg -pnm " + in_quotes(local("beach.jpg")) + " | md5sum"),
              command_output("djpeg -pnm " + in_quotes(original) + " | md5sum"));
    std::filesystem::remove(original);

    // A name that would hide the file is refused; the sheet stays open.
    qd::p_ImageSource renamed(irl(u"\\beach.jpg"));
    auto again = open(renamed);
    control<QLineEdit>(*again, "general", 1048)->setText("");
    ok(*again);
    EXPECT_TRUE(again->isVisible());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].startsWith("The image can't be renamed.\n("));
    EXPECT_EQ(listing(), (std::vector<std::string>{"Windows", "beach.jpg"}));
}

TEST_F(PropertiesSheetTest, RenamingOntoAnotherFileAsksAndNeverLosesEither) {
    struct Case {
        const char* what;
        int answer;  // -2: no prompt at all
        bool closes;
        std::vector<std::string> files;
        const char* b_holds;  // what b.jpg holds afterwards
    };
    const Case cases[] = {
        {"no prompt: refused", -2, false, {"a.jpg", "b.jpg"}, "B"},
        {"No", P_ANSWER_NO, true, {"a.jpg", "b.jpg"}, "B"},
        {"Cancel", P_ANSWER_CANCEL, false, {"a.jpg", "b.jpg"}, "B"},
        {"Yes", P_ANSWER_YES, true, {"b.jpg"}, "A"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(root / "a.jpg");
        std::filesystem::remove(root / "b.jpg");
        make_file("a.jpg", "A");
        make_file("b.jpg", "B");
        messages.clear();
        ScriptedPrompt prompt(c.answer);
        context.prompt = c.answer == -2 ? nullptr : &prompt;
        qd::p_ImageSource image(irl(u"\\a.jpg"));
        auto sheet = open(image);
        control<QLineEdit>(*sheet, "general", 1048)->setText("b");
        ok(*sheet);
        EXPECT_EQ(prompt.asked, c.answer == -2 ? 0 : 1);
        EXPECT_EQ(sheet->isVisible(), !c.closes);
        EXPECT_EQ(listing(), c.files);
        EXPECT_EQ(read("b.jpg"), c.b_holds);
        if (c.answer == -2) {
            ASSERT_EQ(messages.size(), 1u);
            EXPECT_EQ(messages[0], "The image can't be renamed.\n(The file already exists.)");
        } else {
            EXPECT_TRUE(messages.empty());
        }
    }
}

TEST_F(PropertiesSheetTest, MetadataPageListsEveryEntryOrSaysThereIsNone) {
    ASSERT_TRUE(make_camera_jpeg(local("cam.jpg"), "II"));
    qd::p_ImageSource camera(irl(u"\\cam.jpg"));
    auto sheet = open(camera, qm::kPageMetadata);
    EXPECT_EQ(sheet->tabs()->currentIndex(), qm::kPageMetadata);
    auto* list = control<QTreeWidget>(*sheet, "metadata", 1053);
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(list->isVisible());
    EXPECT_EQ(list->headerItem()->text(0), "Name");
    EXPECT_EQ(list->headerItem()->text(1), "Value");
    std::map<QString, QString> rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        rows[list->topLevelItem(i)->text(0)] = list->topLevelItem(i)->text(1);
    EXPECT_EQ(rows["Artist"], "Ann Painter");
    EXPECT_EQ(rows["Make"], "Canon");
    EXPECT_EQ(rows["F-number"], "2.800000");
    EXPECT_EQ(rows["ISO speed ratings"], "200");
    EXPECT_EQ(rows["Exif version"], "(30,32,33,32)");
    EXPECT_FALSE(sheet->findChild<QLabel*>("no_metadata")->isVisible());

    ASSERT_TRUE(run("convert -size 8x8 xc:red BMP3:" + in_quotes(local("plain.bmp"))));
    qd::p_ImageSource plain(irl(u"\\plain.bmp"));
    auto empty = open(plain, qm::kPageMetadata);
    EXPECT_FALSE(control<QTreeWidget>(*empty, "metadata", 1053)->isVisible());
    QLabel* none = empty->findChild<QLabel*>("no_metadata");
    EXPECT_TRUE(none->isVisible());
    EXPECT_EQ(none->text(), "This image contains no metadata.");
}

TEST_F(PropertiesSheetTest, AnnotationEditsAreSavedIntoTheFile) {
    ASSERT_TRUE(make_camera_jpeg(local("cam.jpg"), "MM"));
    auto kept_before = tags_except(local("cam.jpg"), {"ImageDescription", "Artist", "Copyright", "AudioStream"});
    ASSERT_GT(kept_before.size(), 30u);
    ASSERT_TRUE(run("sox -n -r 8000 -c 1 -b 16 " + in_quotes(local("note.wav")) + " synth 1 sine 440"));
    next_audio = read_file(local("note.wav"));

    qd::p_ImageSource image(irl(u"\\cam.jpg"));
    auto sheet = open(image, qm::kPageAnnotation);
    auto* description = control<QPlainTextEdit>(*sheet, "annotation", 1051);
    auto* artist = control<QComboBox>(*sheet, "annotation", 1062);
    auto* copyright = control<QComboBox>(*sheet, "annotation", 1063);
    EXPECT_EQ(description->toPlainText(), "original description text here");
    EXPECT_EQ(artist->currentText(), "Ann Painter");
    EXPECT_FALSE(description->isReadOnly());
    description->setPlainText("Lake at dawn");
    artist->setEditText("");
    copyright->setEditText("Bo Holder");
    QTest::mouseClick(control<QPushButton>(*sheet, "annotation", 1052), Qt::LeftButton);
    ASSERT_EQ(audio_calls.size(), 1u);
    EXPECT_EQ(audio_calls[0].name, u"\\cam.jpg");
    EXPECT_FALSE(audio_calls[0].read_only);
    EXPECT_TRUE(audio_calls[0].audio.empty());
    ok(*sheet);
    ASSERT_EQ(sheet->result(), QDialog::Accepted);
    EXPECT_EQ(qm::save_properties(nullptr, image, context), 0);
    EXPECT_EQ(busy, (std::vector<bool>{true, false}));
    EXPECT_TRUE(messages.empty());

    // exiftool: the new description and copyright, no artist (tag 315
    // removed), the note byte for byte, everything else as it was.
    EXPECT_EQ(exif("ImageDescription", "cam.jpg"), "Lake at dawn");
    EXPECT_EQ(exif("Copyright", "cam.jpg"), "Bo Holder");
    EXPECT_EQ(command_output("exiftool -s -s -s -IFD0:Artist " + in_quotes(local("cam.jpg"))), "");
    std::string stream = command_output("exiftool -b -AudioStream " + in_quotes(local("cam.jpg")));
    EXPECT_EQ(Bytes(stream.begin(), stream.end()), next_audio);
    EXPECT_EQ(tags_except(local("cam.jpg"), {"ImageDescription", "Artist", "Copyright", "AudioStream"}), kept_before);

    // The copyright joined its recently used list; the next sheet offers it.
    qd::p_ImageSource again(irl(u"\\cam.jpg"));
    auto next = open(again, qm::kPageAnnotation);
    auto* offered = control<QComboBox>(*next, "annotation", 1063);
    ASSERT_GE(offered->count(), 1);
    EXPECT_EQ(offered->itemText(0), "Bo Holder");
    EXPECT_EQ(offered->currentText(), "Bo Holder");
    EXPECT_EQ(control<QComboBox>(*next, "annotation", 1062)->currentText(), "");
}

// The annotations hold 8-bit text: a character beyond it is named and the
// sheet stays open, rather than another character being saved in its place.
TEST_F(PropertiesSheetTest, TextTheAnnotationsCannotHoldIsRefusedAndNothingIsWritten) {
    ASSERT_TRUE(make_camera_jpeg(local("cam.jpg"), "II"));
    const Bytes before = read_file(local("cam.jpg"));
    qd::p_ImageSource image(irl(u"\\cam.jpg"));
    auto sheet = open(image, qm::kPageGeneral);
    control<QComboBox>(*sheet, "annotation", 1062)->setEditText(QString::fromUtf8("Łucja Nowak"));
    ok(*sheet);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->findChild<QTabWidget*>()->currentIndex(), qm::kPageAnnotation);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], QString::fromUtf8("The annotation can hold only Western European (Latin-1) characters. "
                                             "Please replace the character \u201cŁ\u201d."));

    // Latin-1 letters are kept as they are.
    control<QComboBox>(*sheet, "annotation", 1062)->setEditText(QString::fromUtf8("Lucja Müller"));
    ok(*sheet);
    ASSERT_EQ(sheet->result(), QDialog::Accepted);
    EXPECT_EQ(read_file(local("cam.jpg")), before);  // nothing is written before the save
    EXPECT_EQ(qm::save_properties(nullptr, image, context), 0);
    EXPECT_EQ(command_output("exiftool -charset exif=latin -s -s -s -Artist " + in_quotes(local("cam.jpg"))),
              "Lucja M\xC3\xBCller\n");
}

TEST_F(PropertiesSheetTest, ReadOnlyImageAppliesNoAnnotationEditAndTheToggleWritesTheAttribute) {
    ASSERT_TRUE(make_camera_jpeg(local("cam.jpg"), "II"));
    std::filesystem::permissions(root / "cam.jpg", std::filesystem::perms::owner_write |
                                                       std::filesystem::perms::group_write |
                                                       std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::remove);
    Bytes before = read_file(local("cam.jpg"));
    next_audio = {'R', 'I', 'F', 'F'};
    {
        qd::p_ImageSource image(irl(u"\\cam.jpg"));
        auto sheet = open(image, qm::kPageAnnotation);
        EXPECT_TRUE(sheet->read_only());
        EXPECT_EQ(text(*sheet, "general", 1122), "The image is read-only.");
        EXPECT_EQ(control<QPushButton>(*sheet, "general", 1094)->text(), "Make writable");
        auto* description = control<QPlainTextEdit>(*sheet, "annotation", 1051);
        EXPECT_TRUE(description->isReadOnly());
        EXPECT_TRUE(control<QComboBox>(*sheet, "annotation", 1062)->lineEdit()->isReadOnly());
        description->setPlainText("changed anyway");
        QTest::mouseClick(control<QPushButton>(*sheet, "annotation", 1052), Qt::LeftButton);
        ASSERT_EQ(audio_calls.size(), 1u);
        EXPECT_TRUE(audio_calls[0].read_only);
        ok(*sheet);
        EXPECT_EQ(image.changes(), 0u);
        EXPECT_EQ(qm::save_properties(nullptr, image, context), 0);
        EXPECT_TRUE(busy.empty());
        EXPECT_EQ(read_file(local("cam.jpg")), before);
    }
    // Make writable, then read-only again: the owner write bit follows.
    qd::p_ImageSource image(irl(u"\\cam.jpg"));
    auto sheet = open(image);
    auto* toggle = control<QPushButton>(*sheet, "general", 1094);
    QTest::mouseClick(toggle, Qt::LeftButton);
    auto writable = [&] {
        return (std::filesystem::status(root / "cam.jpg").permissions() & std::filesystem::perms::owner_write) !=
               std::filesystem::perms::none;
    };
    EXPECT_TRUE(writable());
    EXPECT_FALSE(sheet->read_only());
    EXPECT_TRUE(sheet->attributes_changed());
    EXPECT_EQ(text(*sheet, "general", 1122), "The image is writable.");
    EXPECT_EQ(toggle->text(), "Make read-only");
    EXPECT_FALSE(control<QPlainTextEdit>(*sheet, "annotation", 1051)->isReadOnly());
    QTest::mouseClick(toggle, Qt::LeftButton);
    EXPECT_FALSE(writable());
    EXPECT_EQ(text(*sheet, "general", 1122), "The image is read-only.");
    EXPECT_EQ(read_file(local("cam.jpg")), before);
}

TEST_F(PropertiesSheetTest, CancelKeepsTheImageAndAFailedSaveSaysSo) {
    ASSERT_TRUE(make_camera_jpeg(local("cam.jpg"), "II"));
    Bytes before = read_file(local("cam.jpg"));
    next_audio = {'R', 'I', 'F', 'F', 1, 2, 3, 4};
    qd::p_ImageSource image(irl(u"\\cam.jpg"));
    {
        auto sheet = open(image, qm::kPageAnnotation);
        control<QPlainTextEdit>(*sheet, "annotation", 1051)->setPlainText("not wanted");
        QTest::mouseClick(control<QPushButton>(*sheet, "annotation", 1052), Qt::LeftButton);
        sheet->reject();
        EXPECT_EQ(image.changes(), 0u);
    }
    auto sheet = open(image, qm::kPageAnnotation);
    control<QPlainTextEdit>(*sheet, "annotation", 1051)->setPlainText("wanted, but the disk is full");
    ok(*sheet);
    qp::FaultPlan full;
    full.fail_write_after = 0;
    qp::set_fault_plan(full);
    int status = qm::save_properties(nullptr, image, context);
    qp::clear_fault_plan();
    EXPECT_LT(status, 0);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].startsWith("The changes to the image properties can't be saved.\n("));
    EXPECT_EQ(read_file(local("cam.jpg")), before);
    // No partial file beside it or in the temporary folder.
    EXPECT_EQ(listing(), (std::vector<std::string>{"Windows", "cam.jpg"}));
    EXPECT_EQ(listing("Windows/Temp"), std::vector<std::string>{});
}

// A user's round on the sound device: properties of a camera photo, a
// description and an artist typed, a note recorded with the record key in
// the audio dialog, OK, OK; exiftool then reads the texts and the note from
// the file, and every other tag as before.
class PropertiesOnSoundDevice : public PropertiesSheetTest, protected AlsaFileDevice {};

template <class Condition>
bool wait_for(Condition done) {
    for (int i = 0; i < 2000 && !done(); ++i) QTest::qWait(10);
    return done();
}

TEST_F(PropertiesOnSoundDevice, RecordedNoteAndTextsEndUpInTheFile) {
    ASSERT_TRUE(make_camera_jpeg(local("cam.jpg"), "II"));
    auto kept_before = tags_except(local("cam.jpg"), {"ImageDescription", "Artist", "AudioStream"});
    ASSERT_GT(kept_before.size(), 30u);
    std::vector<int16_t> input = tone_input(40);
    context.audio_dialog = nullptr;  // the real audio dialog
    std::vector<uint8_t> recorded;
    bool audio_driven = false;

    auto drive_audio = [&] {
        auto* dialog = qobject_cast<qm::AudioDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        QTest::keyPress(dialog, Qt::Key_MediaRecord);
        ASSERT_EQ(dialog->model().state(), qm::kAudioRecording) << qelvio::platform::audio_failure();
        ASSERT_TRUE(wait_for([&] { return dialog->audio() && dialog->audio()->size() >= 52 + 10000; }));
        QTest::keyRelease(dialog, Qt::Key_MediaRecord);
        QPushButton* ok = dialog->buttons()->button(QDialogButtonBox::Ok);
        ASSERT_TRUE(wait_for([&] { return ok->isEnabled(); }));
        recorded = *dialog->audio();
        audio_driven = true;
        QTest::mouseClick(ok, Qt::LeftButton);
    };
    auto drive_sheet = [&] {
        auto* sheet = qobject_cast<qm::PropertiesSheet*>(QApplication::activeModalWidget());
        ASSERT_NE(sheet, nullptr);
        sheet->tabs()->setCurrentIndex(qm::kPageAnnotation);
        control<QPlainTextEdit>(*sheet, "annotation", 1051)->setPlainText("Harbour at noon");
        control<QComboBox>(*sheet, "annotation", 1062)->setEditText("Cy Walker");
        QTimer::singleShot(0, drive_audio);
        QTest::mouseClick(control<QPushButton>(*sheet, "annotation", 1052), Qt::LeftButton);
        QTest::mouseClick(sheet->buttons()->button(QDialogButtonBox::Ok), Qt::LeftButton);
    };
    qd::p_ImageSource image(irl(u"\\cam.jpg"));
    QTimer::singleShot(0, drive_sheet);
    qm::PropertiesOutcome outcome = qm::run_properties(nullptr, image, qm::kPageGeneral, context);
    ASSERT_TRUE(audio_driven);
    EXPECT_TRUE(outcome.accepted);
    EXPECT_EQ(outcome.save_status, 0);
    EXPECT_TRUE(messages.empty());

    EXPECT_EQ(exif("ImageDescription", "cam.jpg"), "Harbour at noon");
    EXPECT_EQ(exif("Artist", "cam.jpg"), "Cy Walker");
    std::string stream = command_output("exiftool -b -AudioStream " + in_quotes(local("cam.jpg")));
    ASSERT_GE(recorded.size(), 52u + 10000u);
    EXPECT_EQ(Bytes(stream.begin(), stream.end()), recorded);
    write_file(local("note.wav"), recorded);
    EXPECT_GE(snr_db(input, sox_decode(local("note.wav"))), 20.0);
    EXPECT_EQ(tags_except(local("cam.jpg"), {"ImageDescription", "Artist", "AudioStream"}), kept_before);
}

// The three pages and the audio dialog, as a user sees them on a camera
// photo: nothing cut off.
TEST_F(PropertiesSheetTest, PagesAndTheAudioDialogShowEveryTextWhole) {
    make_folder("My Documents/Holiday 2024");
    ASSERT_TRUE(make_camera_jpeg(local("My Documents/Holiday 2024/IMG_0042.jpg"), "II"));
    qd::p_ImageSource image(irl(u"\\My Documents\\Holiday 2024\\IMG_0042.jpg"));
    auto sheet = open(image);
    const char* shots[] = {"properties_general", "properties_annotation", "properties_metadata"};
    for (int page = 0; page < 3; ++page) {
        sheet->tabs()->setCurrentIndex(page);
        expect_unclipped(*sheet, shots[page]);
    }
    std::vector<uint8_t> note = {'R', 'I', 'F', 'F'};
    qm::AudioDialog audio(sheet.get(), u"IMG_0042.jpg", note.data(), note.size(), false, true);
    expect_unclipped(audio, "audio_read_only");
    qm::AudioDialog writable(sheet.get(), u"IMG_0042.jpg", note.data(), note.size(), false, false);
    expect_unclipped(writable, "audio");
}

}  // namespace
