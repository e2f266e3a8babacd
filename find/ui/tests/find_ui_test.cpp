// Find's windows offscreen: dialog 191's fields, lists and checks, and Find,
// Find Next and select-all through the real dialog over an image list
// stand-in that lists real folders (metadata written by exiftool); a long
// subfolder walk stopped with Esc while the window keeps serving input.
#include "find/ui/find_commands_ui.h"
#include "find/ui/find_dialog.h"
#include "find/tree_host.h"

#include "shell/command_line.h"
#include "shell/profile.h"
#include "platform/ui/tests/widget_checks.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace qelvio::find {
namespace {

using ui_testing::expect_unclipped;
using ui_testing::ModalScript;

// The image list stand-in: a folder tree's listing with a selection.
class ListStandIn : public FindList {
public:
    ListStandIn(p_mcp& mcp, const p_irl& folder) : tree(mcp, folder) {}
    p_irl shown_folder() override { return tree.shown_folder(); }
    int item_count() override { return tree.item_count(); }
    std::u16string item_name(int index) override { return tree.item_name(index); }
    int64_t item_size(int index) override { return tree.item_size(index); }
    const metadata::ExifTagList* item_tags(int index) override { return tree.item_tags(index); }
    void show_folder(const p_irl& folder) override { tree.show_folder(folder); }
    void reload_folder() override { ++reloads; }
    p_filenode* folder_node(const p_irl& folder) override { return tree.folder_node(folder); }
    void set_searching(bool on) override { searching_log.push_back(on); }
    void clear_selection() override { selected.clear(); }
    void select_item(int index) override { selected.push_back(QString::fromStdU16String(tree.item_name(index))); }
    void show_item(int index) override { shown_item = QString::fromStdU16String(tree.item_name(index)); }

    // The last name of the folder shown now.
    QString folder() { return QString::fromStdU16String(std::u16string(tree.shown_folder().view())).section('\\', -1); }

    TreeFindHost tree;
    QStringList selected;
    QString shown_item;
    std::vector<bool> searching_log;
    int reloads = 0;
};

struct Criteria {
    QString name, words;
    int size_mode = 0;
    QString size;
    bool select_all = false, subfolders = false;
};

// Fills dialog 191 and confirms it.
std::function<void(QWidget*)> fill(Criteria c) {
    return [c](QWidget* modal) {
        ASSERT_EQ(modal->objectName(), "d191");
        modal->findChild<QComboBox*>("c1080")->setEditText(c.name);
        modal->findChild<QComboBox*>("c1085")->setEditText(c.words);
        modal->findChild<QComboBox*>("c1082")->setCurrentIndex(c.size_mode);
        modal->findChild<QComboBox*>("c1083")->setEditText(c.size);
        modal->findChild<QCheckBox*>("c1084")->setChecked(c.select_all);
        modal->findChild<QCheckBox*>("c1119")->setChecked(c.subfolders);
        modal->findChild<QPushButton*>("c1")->click();
    };
}

struct Answers : platform::UserQuestion {
    int answer = platform::kAnswerNo;
    std::vector<int> asked;
    int ask_yes_no_cancel(int id) override { return ask(id, u"", platform::kButtonsYesNoCancel); }
    int ask(int id, std::u16string_view, int) override {
        asked.push_back(id);
        return answer;
    }
};

class FindUiTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString path(const QString& relative) const { return QDir(dir.path()).filePath(relative); }
    void make_file(const QString& relative, int bytes = 1) {
        QDir().mkpath(QFileInfo(path(relative)).path());
        QFile f(path(relative));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(bytes, 'x'));
    }
    // A small JPEG with camera make and model written by exiftool.
    void make_photo(const QString& relative, const QString& make, const QString& model) {
        QDir().mkpath(QFileInfo(path(relative)).path());
        ASSERT_EQ(QProcess::execute("convert", {"-size", "32x24", "xc:gray", path(relative)}), 0);
        if (!make.isEmpty()) {
            ASSERT_EQ(QProcess::execute("exiftool", {"-q", "-overwrite_original", "-Make=" + make, "-Model=" + model,
                                                     path(relative)}),
                      0);
        }
    }
    void open(const QString& folder) {
        list = std::make_unique<ListStandIn>(mcp, *shell::file_irl(path(folder).toStdU16String()));
        commands = std::make_unique<FindCommandsUi>(&parent, *list);
        commands->question = &answers;
        commands->inform = [this](const QString& text) { messages << text; };
    }

    QTemporaryDir dir;
    p_mcp mcp;
    QWidget parent;
    std::unique_ptr<ListStandIn> list;
    std::unique_ptr<FindCommandsUi> commands;
    Answers answers;
    QStringList messages;
};

TEST_F(FindUiTest, DialogStartsEmptyAndKeepsItsRules) {
    shell::write_profile_int(u"finddlg", u"filecount", 1);
    shell::write_profile_string(u"finddlg", u"file0", u"sunset");
    FindDialog dialog(&parent);
    QStringList refused;
    dialog.refuse = [&refused](const QString& text) { refused << text; };
    EXPECT_EQ(dialog.windowTitle(), "Find images");
    auto* name = dialog.findChild<QComboBox*>("c1080");
    auto* words = dialog.findChild<QComboBox*>("c1085");
    auto* mode = dialog.findChild<QComboBox*>("c1082");
    auto* size = dialog.findChild<QComboBox*>("c1083");
    auto* select_all = dialog.findChild<QCheckBox*>("c1084");
    auto* subfolders = dialog.findChild<QCheckBox*>("c1119");
    // Empty fields; the list offers the earlier entry.
    EXPECT_EQ(name->currentText(), "");
    ASSERT_EQ(name->count(), 1);
    EXPECT_EQ(name->itemText(0), "sunset");
    EXPECT_EQ(words->currentText(), "");
    EXPECT_EQ(mode->count(), 3);
    EXPECT_EQ(mode->itemText(1), "Greater than");
    EXPECT_EQ(mode->currentIndex(), 0);
    EXPECT_EQ(size->currentText(), "");
    EXPECT_EQ(size->itemText(3), "500");
    EXPECT_FALSE(select_all->isChecked());
    EXPECT_FALSE(subfolders->isChecked());

    // The check boxes exclude each other.
    select_all->setChecked(true);
    EXPECT_FALSE(subfolders->isEnabled());
    select_all->setChecked(false);
    EXPECT_TRUE(subfolders->isEnabled());
    subfolders->setChecked(true);
    EXPECT_FALSE(select_all->isEnabled());

    // The size field: empty, then 1.5, are refused and the dialog stays.
    dialog.show();
    name->setEditText("DSC");
    words->setEditText("canon eos");
    mode->setCurrentIndex(1);
    for (QString text : {"", "1.5", "-3"}) {
        size->setEditText(text);
        dialog.findChild<QPushButton*>("c1")->click();
        EXPECT_TRUE(dialog.isVisible()) << text.toStdString();
    }
    EXPECT_EQ(refused, (QStringList{"To search for images of a certain size, you must enter a number in the 'size' field.",
                                    "Please enter a positive number for the size.",
                                    "Please enter a positive number for the size."}));
    EXPECT_EQ(shell::get_profile_int(u"finddlg", u"filecount", 0), 1);
    size->setEditText("100");
    dialog.findChild<QPushButton*>("c1")->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.criteria().kilobytes, 100);
    EXPECT_EQ(dialog.criteria().words, (std::vector<std::string>{"canon", "eos"}));
    EXPECT_EQ(shell::get_profile_string(u"finddlg", u"file0", u""), u"DSC");
    EXPECT_EQ(shell::get_profile_string(u"finddlg", u"file1", u""), u"sunset");
    EXPECT_EQ(shell::get_profile_string(u"finddlg", u"md0", u""), u"canon eos");
}

TEST_F(FindUiTest, FindAndFindNextByNamePartThenTheQuestion) {
    make_file("top/dsc00012.jpg");
    make_file("top/MyDsc.gif");
    make_file("top/other.jpg");
    make_file("top/notes.txt");
    open("top");
    {
        ModalScript script({fill({.name = "DSC"})});
        commands->find();
    }
    EXPECT_EQ(list->selected, QStringList{"dsc00012.jpg"});
    EXPECT_EQ(list->shown_item, "dsc00012.jpg");
    commands->find_next();
    EXPECT_EQ(list->selected, QStringList{"MyDsc.gif"});
    EXPECT_EQ(list->shown_item, "MyDsc.gif");
    // Nothing further: 35064; No ends and the selection stays.
    commands->find_next();
    EXPECT_EQ(answers.asked, std::vector<int>{35064});
    EXPECT_EQ(list->selected, QStringList{"MyDsc.gif"});
    EXPECT_TRUE(messages.isEmpty());
    // The search was finished: Find Next is Find again, with the dialog.
    {
        ModalScript script({fill({.name = "nothing like it"})});
        commands->find_next();
    }
    EXPECT_EQ(messages, QStringList{"No images were found."});
    // Every search step cleared the searching flag it set.
    ASSERT_FALSE(list->searching_log.empty());
    EXPECT_FALSE(list->searching_log.back());
}

TEST_F(FindUiTest, MetadataWordsAcrossEntriesAndSelectAll) {
    make_photo("top/a_canon.jpg", "Canon", "Canon EOS D30");
    make_photo("top/b_nikon.jpg", "Nikon", "E990");
    make_photo("top/c_plain.jpg", "", "");
    make_photo("top/sub/d_canon.jpg", "Canon", "Canon EOS D30");
    open("top");
    {
        ModalScript script({fill({.words = "canon eos"})});
        commands->find();
    }
    EXPECT_EQ(list->selected, QStringList{"a_canon.jpg"});
    // Select-all: every match of the shown folder, never a subfolder's.
    list->selected = {"stale"};
    {
        ModalScript script({fill({.name = "_", .select_all = true})});
        commands->find();
    }
    EXPECT_EQ(list->selected, (QStringList{"a_canon.jpg", "b_nikon.jpg", "c_plain.jpg"}));
    EXPECT_EQ(messages, QStringList{"3 images selected."});
    EXPECT_EQ(list->folder(), "top");
    EXPECT_TRUE(list->tree.shown_log.empty());
}

TEST_F(FindUiTest, DescriptionWordThroughSubfoldersWithFindNextTwice) {
    auto describe = [this](const QString& relative, const QString& text) {
        make_photo(relative, "", "");
        ASSERT_EQ(QProcess::execute("exiftool", {"-q", "-overwrite_original", "-ImageDescription=" + text, path(relative)}), 0);
    };
    describe("top/a.jpg", "Harbour at dusk");
    describe("top/b.jpg", "Market day");
    describe("top/sub/c.jpg", "boats in the HARBOUR");
    describe("top/sub/deep/d.jpg", "harbour wall");
    open("top");
    {
        ModalScript script({fill({.words = "harbour", .subfolders = true})});
        commands->find();
    }
    QStringList seen{list->folder() + "/" + list->selected.join(',')};
    for (int i = 0; i < 2; ++i) {
        commands->find_next();
        seen << list->folder() + "/" + list->selected.join(',');
    }
    // Each match is shown in its own folder.
    EXPECT_EQ(seen, (QStringList{"top/a.jpg", "sub/c.jpg", "deep/d.jpg"}));
    EXPECT_EQ(list->shown_item, "d.jpg");
    EXPECT_TRUE(answers.asked.empty());
}

TEST_F(FindUiTest, EscStopsALongSubfolderWalkWhileTheWindowServesInput) {
    // Many folders, no match: the walk would enter every one.
    const int folders = 1500;
    for (int i = 0; i < folders; ++i) make_file(QString("top/f%1/x%1.jpg").arg(i, 4, 10, QChar('0')));
    open("top");
    commands->show_delay_ms = 0;
    QStringList windows;
    {
        ModalScript script({fill({.name = "no match", .subfolders = true}), [&windows](QWidget* modal) {
                                windows << modal->objectName();
                                if (const char* folder = std::getenv("QELVIO_SHOT_DIR"))
                                    modal->grab().save(QDir(folder).filePath("searching.png"));
                                QTest::keyClick(modal, Qt::Key_Escape);
                            }});
        commands->find();
    }
    EXPECT_EQ(windows, QStringList{"searching"});
    EXPECT_FALSE(commands->searching());
    // Stopped part way: neither every folder entered nor a message shown.
    EXPECT_GT(list->tree.shown_log.size(), 0u);
    EXPECT_LT(list->tree.shown_log.size(), static_cast<std::size_t>(folders));
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_FALSE(list->searching_log.back());
    // The folder that was being searched is loaded once more.
    EXPECT_EQ(list->reloads, 1);
    // A stopped search is over: Find Next asks for criteria again.
    EXPECT_TRUE(commands->search().finished);
}

TEST_F(FindUiTest, DialogShowsEveryControlUnclipped) {
    FindDialog dialog(&parent);
    expect_unclipped(dialog, "dialog191");
}

}  // namespace
}  // namespace qelvio::find
