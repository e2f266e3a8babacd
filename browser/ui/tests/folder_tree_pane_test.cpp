// The folder tree pane over a scratch device: what it shows, its commands
// with the files they leave on disk, label editing, changes made by other
// programs, and drops.
#include "browser/ui/folder_tree_pane.h"
#include "browser/ui/tests/stub_frame.h"

#include "browser/ui/file_operations_ui.h"
#include "platform/device_root.h"
#include "platform/user_question.h"
#include "qelvio/p_cachehooks.h"
#include "qelvio/p_mcp.h"
#include "resources/command_ids.h"

#include <QDropEvent>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>
#include <QMimeData>
#include <QShortcut>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>

namespace qelvio::browser::testing {
namespace {

namespace fs = std::filesystem;

struct FakeFrame : StubFrame {
    std::vector<std::string> opened;  // locators asked to open
    int activations = 0;
    void open_folder(const p_irl& folder, bool select_in_tree) override {
        EXPECT_FALSE(select_in_tree);
        opened.push_back(folder.utf8());
    }
    void make_active(int pane) override {
        EXPECT_EQ(pane, kPaneFolderTree);
        ++activations;
    }
};

struct FakeOperations : FileOperationsUi {
    struct Call {
        p_filenode* folder;
        std::vector<p_filenode*> files;
        bool move;
    };
    std::vector<Call> calls;
    void cut(const std::vector<p_filenode*>&) override {}
    void copy(const std::vector<p_filenode*>&) override {}
    bool can_paste() const override { return false; }
    void paste(p_filenode*) override {}
    void delete_files(const std::vector<p_filenode*>&) override {}
    void rename(const std::vector<p_filenode*>&) override {}
    void drag(const std::vector<p_filenode*>&, QPoint) override {}
    void copy_or_move_into(p_filenode* folder, const std::vector<p_filenode*>& files, bool move) override {
        calls.push_back({folder, files, move});
    }
};

struct RecordingCache : p_cachehooks {
    std::vector<std::pair<std::string, std::string>> repaths;
    void repath(const p_irl& from, const p_irl& to) override { repaths.emplace_back(from.utf8(), to.utf8()); }
};

class FolderTreePaneTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        root = fs::path(dir.path().toStdString());
        platform::set_device_root(root.string());
    }
    void TearDown() override {
        pane.reset();
        mcp.reset();
        platform::set_device_root("");
    }

    void make_folder(const std::string& relative) { fs::create_directories(root / relative); }
    void make_file(const std::string& relative, const std::string& content = "x") {
        fs::create_directories((root / relative).parent_path());
        std::ofstream(root / relative, std::ios::binary) << content;
    }
    std::string read(const std::string& relative) {
        std::ifstream in(root / relative, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    void create() {
        mcp = std::make_unique<p_mcp>();
        pane = std::make_unique<FolderTreePane>(frame, operations, *mcp, cache, nullptr);
        pane->resize(240, 300);
        pane->ask = [this](const std::u16string& text, int buttons) {
            asked.push_back(QString::fromStdU16String(text));
            asked_buttons.push_back(buttons);
            int a = answers.empty() ? platform::kAnswerNo : answers.front();
            if (!answers.empty()) answers.pop_front();
            return a;
        };
        pane->show_failure = [this](const QString& text) { failures.push_back(text); };
        pane->choose_drop_command = [this](const QPoint&) {
            ++menus;
            return drop_command;
        };
        pane->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(pane.get()));
    }

    QTreeWidgetItem* top() { return pane->topLevelItem(0); }
    // The child item of that text (placeholders have none).
    static QTreeWidgetItem* child(QTreeWidgetItem* item, const QString& text) {
        for (int i = 0; item && i < item->childCount(); ++i)
            if (item->child(i)->text(0) == text) return item->child(i);
        return nullptr;
    }
    static QStringList texts(QTreeWidgetItem* item) {
        QStringList out;
        for (int i = 0; item && i < item->childCount(); ++i) out << item->child(i)->text(0);
        out.sort();
        return out;
    }
    // The open label editor (closed ones linger until deleted later).
    QLineEdit* label_editor() {
        for (QLineEdit* editor : pane->findChildren<QLineEdit*>())
            if (editor->isVisible()) return editor;
        return nullptr;
    }
    QPoint global_center(QTreeWidgetItem* item) {
        return pane->viewport()->mapToGlobal(pane->visualItemRect(item).center());
    }

    QTemporaryDir dir;
    fs::path root;
    FakeFrame frame;
    FakeOperations operations;
    RecordingCache cache;
    std::unique_ptr<p_mcp> mcp;
    std::unique_ptr<FolderTreePane> pane;
    std::deque<int> answers;
    QStringList asked;
    std::vector<int> asked_buttons;
    QStringList failures;
    int drop_command = resources::kCmdDropCancel;
    int menus = 0;
};

TEST_F(FolderTreePaneTest, ExpandingLoadsSubfoldersAndNeverShowsTheThumbnailFolder) {
    make_folder("a/b/deep");
    make_folder("a/c");
    make_folder("a/Qelvio Thumbnails");
    make_folder("a/qelvio thumbnails 2");
    make_folder("empty");
    make_file("file.jpg");
    create();
    ASSERT_EQ(pane->topLevelItemCount(), 1);
    EXPECT_EQ(top()->text(0), "My Device");
    EXPECT_TRUE(top()->isExpanded());
    EXPECT_EQ(texts(top()), (QStringList{"a", "empty"}));
    // Not loaded yet: one placeholder, so the expand button shows; an empty
    // folder has none.
    QTreeWidgetItem* a = child(top(), "a");
    ASSERT_EQ(a->childCount(), 1);
    EXPECT_TRUE(FolderTreePane::is_placeholder(a->child(0)));
    EXPECT_EQ(a->child(0)->text(0), "");
    EXPECT_EQ(child(top(), "empty")->childCount(), 0);

    pane->expandItem(a);
    EXPECT_EQ(texts(a), (QStringList{"b", "c"}));
    EXPECT_EQ(FolderTreePane::node_of(a)->gettrackmode(), P_TRACK_FOLDERS);
    QTreeWidgetItem* b = child(a, "b");
    ASSERT_EQ(b->childCount(), 1);
    EXPECT_TRUE(FolderTreePane::is_placeholder(b->child(0)));
    EXPECT_EQ(FolderTreePane::node_of(b)->gettrackmode(), P_TRACK_NONE);
}

TEST_F(FolderTreePaneTest, FoldersAreListedByNameIgnoringCase) {
    for (const char* name : {"zebra", "Alpha", "mango", "beta", "Zoo"}) make_folder(name);
    create();
    QStringList shown;
    for (int i = 0; i < top()->childCount(); ++i) shown << top()->child(i)->text(0);
    EXPECT_EQ(shown, (QStringList{"Alpha", "beta", "mango", "zebra", "Zoo"}));
    // One made outside later takes its place by name too.
    make_folder("delta");
    ASSERT_TRUE(QTest::qWaitFor([&] { return child(top(), "delta") != nullptr; }, 5000));
    shown.clear();
    for (int i = 0; i < top()->childCount(); ++i) shown << top()->child(i)->text(0);
    EXPECT_EQ(shown, (QStringList{"Alpha", "beta", "delta", "mango", "zebra", "Zoo"}));
}

TEST_F(FolderTreePaneTest, SelectByPathWalksAndStopsAtAMissingPart) {
    make_folder("a/b/c");
    make_folder("a/other");
    create();
    ASSERT_TRUE(pane->select_path(p_string(u"\\a\\b\\c")));
    QTreeWidgetItem* c = pane->currentItem();
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->text(0), "c");
    EXPECT_TRUE(c->parent()->isExpanded());
    // The frame opens the folder itself when it selects.
    EXPECT_TRUE(frame.opened.empty());

    EXPECT_FALSE(pane->select_path(p_string(u"\\a\\missing\\c")));
    EXPECT_EQ(pane->currentItem(), c);
    EXPECT_FALSE(pane->select_path(p_string(u"\\a\\Qelvio Thumbnails")));
    EXPECT_EQ(pane->currentItem(), c);

    // A selection made in the tree opens the folder through the frame.
    pane->setCurrentItem(child(child(top(), "a"), "other"));
    ASSERT_EQ(frame.opened.size(), 1u);
    EXPECT_EQ(frame.opened[0], "file:\\\\\\a\\other");
}

TEST_F(FolderTreePaneTest, NewFolderIsNumberedOnDiskAndItsLabelOpensForEditing) {
    make_folder("a/New Folder");
    make_folder("a/New Folder(1)");
    create();
    ASSERT_TRUE(pane->select_path(p_string(u"\\a")));
    ASSERT_EQ(pane->command_state(resources::kCmdNewFolder).has_value(), true);
    EXPECT_TRUE(pane->handle_command(resources::kCmdNewFolder));
    EXPECT_TRUE(fs::is_directory(root / "a/New Folder(2)"));
    QTreeWidgetItem* made = child(pane->currentItem(), "New Folder(2)");
    ASSERT_NE(made, nullptr);
    EXPECT_TRUE(pane->editing_label());
    EXPECT_TRUE(failures.empty());
    // The alias command numbers the next one.
    QTest::keyClick(pane->focusWidget(), Qt::Key_Escape);
    EXPECT_TRUE(pane->handle_command(resources::kCmdNewFolderAlias));
    EXPECT_TRUE(fs::is_directory(root / "a/New Folder(3)"));
}

TEST_F(FolderTreePaneTest, NewFolderFailureIsReported) {
    make_folder("a");
    create();
    ASSERT_TRUE(pane->select_path(p_string(u"\\a")));
    fs::remove(root / "a");
    pane->handle_command(resources::kCmdNewFolder);
    EXPECT_EQ(failures, QStringList{"The folder can't be created."});
    EXPECT_FALSE(fs::exists(root / "a"));
}

TEST_F(FolderTreePaneTest, DeleteAsksAboutReadOnlyFilesAndLeavesWhatWasKept) {
    make_file("a/x/locked.jpg", "L");
    make_file("a/x/plain.jpg", "p");
    make_file("a/x/sub/deep.jpg", "d");
    fs::permissions(root / "a/x/locked.jpg", fs::perms::owner_read);
    create();
    ASSERT_TRUE(pane->select_path(p_string(u"\\a\\x")));

    // No to the folder question: nothing happens.
    answers = {platform::kAnswerNo};
    pane->handle_command(resources::kCmdDeleteFolder);
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(asked[0], "This will remove the folder 'x' and all subfolders and files it contains.  Do you want to continue?");
    EXPECT_EQ(asked_buttons[0], platform::kButtonsYesNo);
    EXPECT_EQ(read("a/x/plain.jpg"), "p");

    // Yes, then No for the read-only image: it stays, the rest goes.
    answers = {platform::kAnswerYes, platform::kAnswerNo};
    pane->handle_command(resources::kCmdDeleteFolder);
    ASSERT_EQ(asked.size(), 3);
    EXPECT_EQ(asked[2], "The file 'locked.jpg' is read-only.  Are you sure you want to delete it?");
    EXPECT_EQ(asked_buttons[2], platform::kButtonsYesNoCancel);
    EXPECT_EQ(failures, QStringList{"The folder can't be deleted."});
    EXPECT_EQ(read("a/x/locked.jpg"), "L");
    EXPECT_FALSE(fs::exists(root / "a/x/plain.jpg"));
    EXPECT_FALSE(fs::exists(root / "a/x/sub"));
    ASSERT_NE(child(child(top(), "a"), "x"), nullptr);

    // Yes and Yes: the folder and its item are gone.
    answers = {platform::kAnswerYes, platform::kAnswerYes};
    pane->handle_command(resources::kCmdDeleteFolder);
    EXPECT_FALSE(fs::exists(root / "a/x"));
    EXPECT_TRUE(fs::exists(root / "a"));
    EXPECT_EQ(child(child(top(), "a"), "x"), nullptr);
    EXPECT_EQ(failures.size(), 1);
    // The parent is selected and opened in place of the deleted folder.
    EXPECT_EQ(pane->currentItem(), child(top(), "a"));
    ASSERT_FALSE(frame.opened.empty());
    EXPECT_EQ(frame.opened.back(), "file:\\\\\\a");
}

TEST_F(FolderTreePaneTest, TheRootIsNeverDeleted) {
    make_file("a/keep.jpg", "k");
    create();
    pane->setCurrentItem(top());
    answers = {platform::kAnswerYes, platform::kAnswerYes};
    pane->handle_command(resources::kCmdDeleteFolder);
    EXPECT_EQ(read("a/keep.jpg"), "k");
    EXPECT_EQ(failures, QStringList{"The folder can't be deleted."});
}

TEST_F(FolderTreePaneTest, RenameByLabelEditingRenamesOnDisk) {
    make_file("a/b/img.jpg", "i");
    make_folder("a/c");
    create();
    ASSERT_TRUE(pane->select_path(p_string(u"\\a\\b")));
    QTreeWidgetItem* b = pane->currentItem();
    pane->expandItem(b);
    auto type = [&](const QString& text) {
        ASSERT_TRUE(pane->handle_command(resources::kCmdRenameFolder));
        auto* editor = label_editor();
        ASSERT_NE(editor, nullptr);
        editor->selectAll();
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, Qt::Key_Return);
        // The delegate commits on the next turn of the event loop.
        QCoreApplication::processEvents();
    };
    type("renamed");
    EXPECT_EQ(b->text(0), "renamed");
    EXPECT_EQ(read("a/renamed/img.jpg"), "i");
    EXPECT_FALSE(fs::exists(root / "a/b"));
    ASSERT_FALSE(cache.repaths.empty());
    EXPECT_EQ(cache.repaths.back(), std::make_pair(std::string("file:\\\\\\a\\b"), std::string("file:\\\\\\a\\renamed")));

    // The renamed folder, loaded before, still has its changes noticed.
    make_folder("a/renamed/new inside");
    EXPECT_TRUE(QTest::qWaitFor([&] { return child(b, "new inside") != nullptr; }, 5000));

    // A name that exists: the old label stays, no message.
    type("c");
    EXPECT_TRUE(fs::is_directory(root / "a/c"));
    EXPECT_EQ(b->text(0), "renamed");
    EXPECT_EQ(read("a/renamed/img.jpg"), "i");
    EXPECT_TRUE(failures.empty());
    // The root's label cannot be edited.
    pane->setCurrentItem(top());
    pane->handle_command(resources::kCmdRenameFolder);
    EXPECT_FALSE(pane->editing_label());
}

TEST_F(FolderTreePaneTest, TheWindowsKeysDoNotTakeReturnAndEscapeFromTheLabelEditor) {
    make_folder("a/b");
    create();
    // The frame binds Enter and Esc to commands of its own.
    int fired = 0;
    for (const char* key : {"Return", "Esc"}) {
        auto* shortcut = new QShortcut(QKeySequence(QString::fromLatin1(key)), pane.get());
        shortcut->setContext(Qt::WindowShortcut);
        QObject::connect(shortcut, &QShortcut::activated, [&] { ++fired; });
    }
    ASSERT_TRUE(pane->select_path(p_string(u"\\a\\b")));
    pane->handle_command(resources::kCmdRenameFolder);
    auto* editor = label_editor();
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    QTest::keyClicks(editor, "typed");
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_EQ(fired, 0);
    EXPECT_TRUE(fs::is_directory(root / "a/typed"));
    EXPECT_FALSE(pane->editing_label());
    // Escape ends an edit without renaming.
    pane->handle_command(resources::kCmdRenameFolder);
    editor = label_editor();
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor, "other");
    QTest::keyClick(editor, Qt::Key_Escape);
    QCoreApplication::processEvents();
    EXPECT_EQ(fired, 0);
    EXPECT_FALSE(pane->editing_label());
    EXPECT_TRUE(fs::is_directory(root / "a/typed"));
}

TEST_F(FolderTreePaneTest, FoldersMadeAndRemovedOutsideAppearAfterTheDrain) {
    make_folder("a/one");
    create();
    QTreeWidgetItem* a = child(top(), "a");
    pane->expandItem(a);
    ASSERT_EQ(texts(a), QStringList{"one"});
    make_folder("a/two");
    fs::remove(root / "a/one");
    EXPECT_TRUE(QTest::qWaitFor([&] { return texts(a) == QStringList{"two"}; }, 5000)) << texts(a).join(",").toStdString();
    // At the top as well.
    make_folder("later");
    EXPECT_TRUE(QTest::qWaitFor([&] { return child(top(), "later") != nullptr; }, 5000));
}

TEST_F(FolderTreePaneTest, DropCopiesOrMovesIntoTheFolderUnderThePointer) {
    make_file("a/pic.jpg");
    make_folder("b");
    create();
    p_filenode* a = FolderTreePane::node_of(child(top(), "a"));
    pane->expandItem(child(top(), "a"));
    p_irl irl(u"file:\\\\\\a\\pic.jpg");
    p_filenode* file = nullptr;
    ASSERT_EQ(mcp->openfile(irl, &file), P_OK);
    QTreeWidgetItem* b = child(top(), "b");
    DragState drag{global_center(b), {file}};

    drop_command = resources::kCmdDropMove;
    pane->drag_over(drag);
    EXPECT_EQ(pane->drop_highlight(), b);
    pane->drop(drag);
    ASSERT_EQ(operations.calls.size(), 1u);
    EXPECT_EQ(operations.calls[0].folder, FolderTreePane::node_of(b));
    EXPECT_EQ(operations.calls[0].files, std::vector<p_filenode*>{file});
    EXPECT_TRUE(operations.calls[0].move);
    EXPECT_EQ(frame.refreshes, 1);
    EXPECT_EQ(pane->drop_highlight(), nullptr);

    drop_command = resources::kCmdDropCopy;
    pane->drop(drag);
    ASSERT_EQ(operations.calls.size(), 2u);
    EXPECT_FALSE(operations.calls[1].move);

    drop_command = resources::kCmdDropCancel;
    pane->drop(drag);
    EXPECT_EQ(operations.calls.size(), 2u);

    // Below the last item: no menu at all.
    int shown = menus;
    drag.global_position = pane->viewport()->mapToGlobal(QPoint(10, pane->viewport()->height() - 20));
    pane->drop(drag);
    EXPECT_EQ(menus, shown);
    EXPECT_EQ(operations.calls.size(), 2u);
    (void)a;
}

TEST_F(FolderTreePaneTest, TheDropMenuOffersMoveCopyAndCancel) {
    make_folder("b");
    make_file("pic.jpg");
    create();
    p_filenode* file = nullptr;
    ASSERT_EQ(mcp->openfile(p_irl(u"file:\\\\\\pic.jpg"), &file), P_OK);
    // The program's own menu, not the test's stand-in.
    pane->choose_drop_command = [this](const QPoint& global) { return FolderTreePane::drop_menu(pane.get(), global); };
    QStringList seen;
    // Answers the menu once it is up.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu || !menu->isVisible()) return;
        poll.stop();
        for (QAction* action : menu->actions())
            seen << (action->isSeparator() ? QString("|") : action->objectName() + " " + action->text());
        for (QAction* action : menu->actions())
            if (action->objectName() == "m32858") menu->setActiveAction(action);
        QTest::keyClick(menu, Qt::Key_Return);
    });
    poll.start(20);
    pane->drop(DragState{global_center(child(top(), "b")), {file}});
    EXPECT_EQ(seen, (QStringList{"m32857 Move", "m32858 Copy", "|", "m32861 Cancel"}));
    ASSERT_EQ(operations.calls.size(), 1u);
    EXPECT_FALSE(operations.calls[0].move);
}

TEST_F(FolderTreePaneTest, HoveringOverACollapsedFolderExpandsItUntilTheDrop) {
    make_folder("a/inner");
    make_file("pic.jpg");
    create();
    QTreeWidgetItem* a = child(top(), "a");
    ASSERT_FALSE(a->isExpanded());
    p_filenode* file = nullptr;
    ASSERT_EQ(mcp->openfile(p_irl(u"file:\\\\\\pic.jpg"), &file), P_OK);
    DragState drag{global_center(a), {file}};
    pane->drag_over(drag);
    EXPECT_TRUE(pane->hover().expand_pending());
    EXPECT_TRUE(QTest::qWaitFor([&] { return a->isExpanded(); }, 5000));
    EXPECT_EQ(texts(a), QStringList{"inner"});
    EXPECT_EQ(pane->auto_expanded().size(), 1u);
    // Dropped onto empty space: nothing copied, the folder closes again.
    drag.global_position = pane->viewport()->mapToGlobal(QPoint(10, pane->viewport()->height() - 20));
    pane->drop(drag);
    EXPECT_FALSE(a->isExpanded());
    EXPECT_TRUE(operations.calls.empty());
    EXPECT_TRUE(pane->auto_expanded().empty());
}

TEST_F(FolderTreePaneTest, DraggingNearTheBottomScrollsOneItemAtATime) {
    for (int i = 0; i < 40; ++i) make_folder("f" + std::to_string(100 + i));
    make_file("pic.jpg");
    create();
    p_filenode* file = nullptr;
    ASSERT_EQ(mcp->openfile(p_irl(u"file:\\\\\\pic.jpg"), &file), P_OK);
    QTreeWidgetItem* first = pane->itemAt(QPoint(1, 1));
    ASSERT_EQ(first, top());
    QPoint bottom = pane->viewport()->mapToGlobal(QPoint(20, pane->viewport()->height() - 5));
    pane->drag_over(DragState{bottom, {file}});
    EXPECT_EQ(pane->hover().direction(), 15);
    // One step at once: the item after the first visible one is first now.
    EXPECT_EQ(pane->itemAt(QPoint(1, 1)), pane->itemBelow(first));
    // The timer keeps stepping while the pointer stays in the band.
    EXPECT_TRUE(QTest::qWaitFor([&] { return pane->itemAt(QPoint(1, 1))->text(0) == "f105"; }, 5000));
    // Out of the band: it stops.
    pane->drag_over(DragState{pane->viewport()->mapToGlobal(QPoint(20, 100)), {file}});
    QTreeWidgetItem* stopped = pane->itemAt(QPoint(1, 1));
    QTest::qWait(200);
    EXPECT_EQ(pane->itemAt(QPoint(1, 1)), stopped);
    pane->drag_left();
}

TEST_F(FolderTreePaneTest, FilesDroppedFromAnotherProgramAreCopiedLikeDraggedOnes) {
    make_file("incoming/one.jpg", "1");
    make_file("incoming/two.jpg", "2");
    make_folder("target");
    create();
    QTreeWidgetItem* target = child(top(), "target");
    auto* data = new QMimeData;
    data->setUrls({QUrl::fromLocalFile(QString::fromStdString((root / "incoming/one.jpg").string())),
                   QUrl::fromLocalFile(QString::fromStdString((root / "incoming/two.jpg").string())),
                   QUrl::fromLocalFile(QString::fromStdString((root / "incoming").string())),
                   QUrl("https://example.org/remote.jpg")});
    QPointF at = pane->visualItemRect(target).center();
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(pane->viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    drop_command = resources::kCmdDropCopy;
    QDropEvent dropped(at, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(pane->viewport(), &dropped);
    ASSERT_EQ(operations.calls.size(), 1u);
    EXPECT_EQ(operations.calls[0].folder, FolderTreePane::node_of(target));
    ASSERT_EQ(operations.calls[0].files.size(), 2u);  // the folder and the remote file are left out
    EXPECT_EQ(operations.calls[0].files[0]->getname().utf8(), "one.jpg");
    EXPECT_EQ(operations.calls[0].files[1]->getname().utf8(), "two.jpg");
    EXPECT_FALSE(operations.calls[0].move);
    // The other program is told it was a copy, so it never deletes its files.
    EXPECT_EQ(dropped.dropAction(), Qt::CopyAction);
    delete data;
}

TEST_F(FolderTreePaneTest, SelectionColoursFollowTheActivePane) {
    make_folder("a");
    create();
    pane->setCurrentItem(child(top(), "a"));
    QRect row = pane->visualItemRect(pane->currentItem());
    auto colour_in_row = [&] {
        QImage shot = pane->viewport()->grab().toImage();
        // Right of the text, inside the row.
        return shot.pixelColor(row.right() - 2 < shot.width() ? row.right() - 2 : shot.width() - 2, row.center().y());
    };
    // The style shades the fill by a unit or two.
    auto near = [](const QColor& a, const QColor& b) {
        return std::abs(a.red() - b.red()) <= 2 && std::abs(a.green() - b.green()) <= 2 &&
               std::abs(a.blue() - b.blue()) <= 2;
    };
    pane->set_active_look(true);
    EXPECT_TRUE(near(colour_in_row(), QColor(0, 0, 120))) << colour_in_row().name().toStdString();
    pane->set_active_look(false);
    EXPECT_TRUE(near(colour_in_row(), QColor(180, 180, 180))) << colour_in_row().name().toStdString();
}

TEST_F(FolderTreePaneTest, EveryPressMakesTheTreeActive) {
    make_folder("a");
    create();
    int before = frame.activations;
    QTest::mouseClick(pane->viewport(), Qt::LeftButton, {}, pane->visualItemRect(child(top(), "a")).center());
    EXPECT_GE(frame.activations, before + 2);  // press and release
    EXPECT_EQ(pane->currentItem(), child(top(), "a"));
    // The tap that selected the item started no label editing.
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    EXPECT_FALSE(pane->editing_label());
}

}  // namespace
}  // namespace qelvio::browser::testing
