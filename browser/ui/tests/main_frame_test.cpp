// The main frame with its widgets, offscreen: menus, buttons, keys,
// splitter, exit and close, open-file requests.
#include "browser/ui/folder_tree_pane.h"
#include "browser/ui/frame_client.h"
#include "browser/ui/image_list_pane.h"
#include "browser/ui/tests/frame_fixture.h"
#include "browser/ui/viewer_pane.h"
#include "decoding/source/image_source.h"
#include "platform/message_queue.h"
#include "platform/tests/scratch_dir.h"
#include "platform/text.h"
#include "platform/ui/tests/widget_checks.h"
#include "resources/command_ids.h"
#include "sharing/tests/beam_fixture.h"
#include "sharing/ui/infrared_window.h"
#include "shell/single_instance.h"

#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <set>
#include <thread>

namespace qelvio::browser::testing {
namespace {

TEST_F(FrameFixture, StartsInBrowserModeOnTheFolder) {
    create_frame();
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Qelvio Mobile"));
    EXPECT_EQ(frame->logic().mode(), FrameMode::browser);
    ASSERT_EQ(frame->image_list()->item_count(), 3);
    EXPECT_EQ(frame->image_list()->file_name(0), "a.jpg");
    EXPECT_EQ(frame->image_list()->file_name(1), "b.bmp");
    EXPECT_EQ(frame->image_list()->file_name(2), "c.jpg");
    // The tree selects the folder and shows its subfolder, no files.
    frame->folder_tree()->refresh();
    QTreeWidgetItem* shown = frame->folder_tree()->currentItem();
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->text(0), QDir(dir.path()).dirName());
    ASSERT_EQ(shown->childCount(), 1);
    EXPECT_EQ(shown->child(0)->text(0), "Holiday");
    EXPECT_TRUE(frame->image_list()->isVisible());
    EXPECT_FALSE(frame->viewer()->isVisible());
    // The menu bar of menu 128 with the seven menus' titles.
    EXPECT_EQ(frame->top_menu(0)->title(), "&File");
    EXPECT_EQ(frame->top_menu(6)->title(), "&View");
    auto exit = frame->menu_actions(32896);
    ASSERT_EQ(exit.size(), 1u);
    EXPECT_EQ(exit[0]->text(), "E&xit Qelvio");
    EXPECT_EQ(frame->button(32860)->toolTip(), "Fit the image to the screen");
}

TEST_F(FrameFixture, MenusAndButtonsPerMode) {
    create_frame();
    EXPECT_EQ(shown_menus(), (std::vector<int>{0, 1, 2, 4}));
    EXPECT_EQ(visible_buttons(), (std::vector<int>{32852}));
    ASSERT_TRUE(frame->view_index(1));
    EXPECT_EQ(frame->logic().mode(), FrameMode::viewer);
    EXPECT_EQ(shown_menus(), (std::vector<int>{0, 3, 6}));
    EXPECT_EQ(visible_buttons(), (std::vector<int>{32810, 32841, 32870, 32868, 32867, 32860}));
    EXPECT_TRUE(frame->viewer()->isVisible());
    EXPECT_FALSE(frame->image_list()->isVisible());
    frame->logic().set_viewer_command_visible(kEditingLayoutCommand, true);
    EXPECT_EQ(shown_menus(), (std::vector<int>{0, 5}));
    EXPECT_EQ(visible_buttons(), (std::vector<int>{32845, 32865, 32870, 32868, 32867, 32860}));
    frame->logic().set_viewer_command_visible(kEditingLayoutCommand, false);
    // Return to the browser from the menu.
    frame->menu_actions(32810).front()->trigger();
    EXPECT_EQ(frame->logic().mode(), FrameMode::browser);
    EXPECT_EQ(shown_menus(), (std::vector<int>{0, 1, 2, 4}));
    EXPECT_EQ(visible_buttons(), (std::vector<int>{32852}));
    EXPECT_EQ(frame->viewer()->image(), nullptr);
}

TEST_F(FrameFixture, ViewerShowsTheImageFitted) {
    create_frame();
    ASSERT_TRUE(frame->view_index(0));
    QImage shot = frame->viewer()->grab().toImage();
    // a.jpg is 96 x 64 of red: not enlarged, centred on white.
    const QPoint centre(shot.width() / 2, shot.height() / 2);
    QColor c = shot.pixelColor(centre);
    EXPECT_GT(c.red(), 150);
    EXPECT_LT(c.green(), 90);
    EXPECT_EQ(shot.pixelColor(centre + QPoint(60, 0)), QColor(Qt::white));
    EXPECT_EQ(shot.pixelColor(centre + QPoint(0, 40)), QColor(Qt::white));
    EXPECT_NE(shot.pixelColor(centre + QPoint(40, 0)), QColor(Qt::white));
}

TEST_F(FrameFixture, DualKeysReachTheModesCommand) {
    create_frame();
    frame->activateWindow();
    QApplication::setActiveWindow(frame.get());
    QCoreApplication::processEvents();
    ASSERT_EQ(QApplication::activeWindow(), frame.get())
        << (QApplication::activeWindow() ? QApplication::activeWindow()->metaObject()->className() : "none");
    struct Key {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int browser;
        int viewer;
    };
    const Key keys[] = {{Qt::Key_U, Qt::ControlModifier, 32902, 32847},
                        {Qt::Key_J, Qt::ControlModifier, 32898, 32853},
                        {Qt::Key_Return, Qt::AltModifier, 32894, 32881}};
    for (const Key& k : keys) {
        commands.clear();
        QTest::keyClick(frame.get(), k.key, k.modifiers);
        EXPECT_EQ(commands, (std::vector<int>{k.browser})) << k.browser;
    }
    ASSERT_TRUE(frame->view_index(0));
    for (const Key& k : keys) {
        commands.clear();
        // The viewer's command may open its dialog: closed unanswered, and
        // the frame is the active window again.
        QTimer::singleShot(0, [] {
            if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
        });
        QTest::keyClick(frame.get(), k.key, k.modifiers);
        QApplication::setActiveWindow(frame.get());
        EXPECT_EQ(commands, (std::vector<int>{k.viewer})) << k.viewer;
    }
    // Esc in viewer mode is 32810: back to the browser.
    commands.clear();
    QTest::keyClick(frame.get(), Qt::Key_Escape);
    EXPECT_EQ(commands, (std::vector<int>{32810}));
    EXPECT_EQ(frame->logic().mode(), FrameMode::browser);
    // Enter views the selected image.
    frame->image_list()->select_all(false);
    frame->image_list()->select(2, true);
    frame->make_active(kPaneImageList);
    QTest::keyClick(frame.get(), Qt::Key_Return);
    EXPECT_EQ(frame->logic().mode(), FrameMode::viewer);
    ASSERT_NE(frame->viewer()->image(), nullptr);
    p_string name;
    frame->viewer()->image()->locator().getfile(&name);
    EXPECT_EQ(text::to_utf8(static_cast<const char16_t*>(name)), "c.jpg");
}

TEST_F(FrameFixture, SplitterOnA240WideClient) {
    settings.splitpos = -1;
    create_frame({240, 320});
    QWidget* client = frame->client();
    ASSERT_EQ(client->width(), 240);
    EXPECT_EQ(settings.splitpos, 120);
    EXPECT_EQ(frame->folder_tree()->geometry(), QRect(0, 0, 120, client->height()));
    EXPECT_EQ(frame->image_list()->geometry().left(), 127);
    EXPECT_EQ(frame->image_list()->geometry().right(), 239);

    // A drag to x = 10 stops at 80; the moving bar shows while dragging.
    QTest::mousePress(client, Qt::LeftButton, {}, QPoint(122, 200));
    auto* bar = static_cast<FrameClient*>(client)->moving_bar();
    EXPECT_TRUE(bar->isVisible());
    QTest::mouseMove(client, QPoint(10, 200));
    EXPECT_EQ(bar->x(), 80);
    QTest::mouseRelease(client, Qt::LeftButton, {}, QPoint(10, 200));
    EXPECT_FALSE(bar->isVisible());
    EXPECT_EQ(settings.splitpos, 80);
    EXPECT_EQ(frame->folder_tree()->width(), 80);
    EXPECT_EQ(frame->image_list()->x(), 87);

    // Past the right side: width - 86.
    QTest::mousePress(client, Qt::LeftButton, {}, QPoint(82, 200));
    QTest::mouseMove(client, QPoint(239, 200));
    QTest::mouseRelease(client, Qt::LeftButton, {}, QPoint(239, 200));
    EXPECT_EQ(settings.splitpos, 240 - 86);
    EXPECT_EQ(frame->image_list()->x(), 240 - 86 + 7);

    // The collapse area at the top of the bar folds the tree away and back.
    QTest::mouseClick(client, Qt::LeftButton, {}, QPoint(156, 4));
    EXPECT_EQ(settings.splitpos, 0);
    EXPECT_EQ(settings.splitminormax, -1);
    QTest::mouseClick(client, Qt::LeftButton, {}, QPoint(2, 4));
    EXPECT_EQ(settings.splitpos, 154);
}

TEST_F(FrameFixture, ExitEndsTheLoopWithoutTheClosePrompt) {
    create_frame();
    ASSERT_TRUE(frame->view_index(0));
    int prompts = 0;
    frame->may_close = [&prompts] {
        ++prompts;
        return false;
    };
    frame->end_loop = [] { QCoreApplication::exit(0); };
    QTimer::singleShot(0, frame.get(), [this] { frame->menu_actions(32896).front()->trigger(); });
    // A safety net, not a result; owned by the test, so that it cannot end
    // an event loop of a later test.
    QTimer safety;
    safety.setSingleShot(true);
    QObject::connect(&safety, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    safety.start(5000);
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_EQ(prompts, 0);
    EXPECT_EQ(commands, (std::vector<int>{32896}));
}

TEST_F(FrameFixture, CloseRequestAsksTheViewer) {
    create_frame();
    int prompts = 0;
    bool allow = false;
    frame->may_close = [&] {
        ++prompts;
        return allow;
    };
    frame->close();
    EXPECT_EQ(prompts, 1);
    EXPECT_TRUE(frame->isVisible());  // Cancel keeps the program open
    allow = true;
    frame->close();
    EXPECT_FALSE(frame->isVisible());
}

TEST_F(FrameFixture, MultiSelectButtonShowsPressed) {
    create_frame();
    QAction* button = frame->button(32852);
    button->trigger();
    EXPECT_TRUE(frame->logic().multi_select());
    EXPECT_TRUE(button->isChecked());
    button->trigger();
    EXPECT_FALSE(frame->logic().multi_select());
    EXPECT_FALSE(button->isChecked());
}

TEST_F(FrameFixture, MenuStatesComeFromTheReceivingPane) {
    create_frame();
    frame->make_active(kPaneImageList);
    frame->image_list()->select_all(false);
    frame->update_menu_states(frame->top_menu(1));
    frame->update_menu_states(frame->top_menu(4));
    EXPECT_TRUE(frame->menu_actions(32832).front()->isEnabled());   // Select All: the list takes it
    EXPECT_TRUE(frame->menu_actions(32833).front()->isEnabled());   // Unselect All: always
    EXPECT_FALSE(frame->menu_actions(32805).front()->isEnabled());  // nobody takes Delete yet
    EXPECT_FALSE(frame->menu_actions(32907).front()->isEnabled());  // View Image: exactly one selected
    frame->menu_actions(32832).front()->trigger();
    EXPECT_EQ(frame->image_list()->model().selected_count(), 3);
    frame->update_menu_states(frame->top_menu(1));
    EXPECT_TRUE(frame->menu_actions(32833).front()->isEnabled());
}

TEST_F(FrameFixture, OpenRequestFromAnotherThreadOpensTheFile) {
    create_frame();
    QDir d(dir.path());
    d.mkpath("Other");
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::white);
    ASSERT_TRUE(image.save(d.filePath("Other/z.jpg"), "JPEG"));
    // The listener's thread queues the locator and posts message 1027.
    shell::InstanceListener listener;
    const std::string socket = QDir(cache_dir.path()).filePath("test.sock").toStdString();
    ASSERT_EQ(listener.start(
                  [this](const p_irl& irl) {
                      requests.push(irl);
                      frame->message_target().post(shell::kOpenFileRequestMessage, 0, 0);
                  },
                  socket),
              shell::kInstanceOk);
    int32_t sent = -99;
    std::thread sender([&] { sent = shell::send_open_request(d.filePath("Other/z.jpg").toStdU16String(), 5000, socket); });
    for (int i = 0; i < 500 && frame->logic().mode() != FrameMode::viewer; ++i) QTest::qWait(10);
    sender.join();
    EXPECT_EQ(sent, shell::kInstanceOk);
    ASSERT_EQ(frame->logic().mode(), FrameMode::viewer);
    ASSERT_NE(frame->viewer()->image(), nullptr);
    p_string name;
    frame->viewer()->image()->locator().getfile(&name);
    EXPECT_EQ(text::to_utf8(static_cast<const char16_t*>(name)), "z.jpg");
    // The folder of the file is the one shown, and remembered.
    EXPECT_EQ(frame->image_list()->item_count(), 1);
    EXPECT_EQ(QString::fromStdU16String(settings.lastdirectory), QString::fromStdU16String(
        std::u16string(static_cast<const char16_t*>(irl_of(d.filePath("Other"))))));
}

TEST_F(FrameFixture, MessagePendingForAClosedFrameIsDropped) {
    create_frame();
    requests.push(irl_of(QDir(dir.path()).filePath("a.jpg")));
    frame->message_target().post(shell::kOpenFileRequestMessage, 0, 0);
    frame.reset();  // the window goes before the event is delivered
    QTest::qWait(20);
    // Nobody took the request: it waits for the next window.
    EXPECT_EQ(requests.take().size(), 1u);
}

TEST_F(FrameFixture, StartLocatorOpensTheFileInTheViewer) {
    create_frame({800, 560}, irl_of(QDir(dir.path()).filePath("b.bmp")));
    EXPECT_EQ(frame->logic().mode(), FrameMode::viewer);
    EXPECT_EQ(frame->shown_index(), 1);
    EXPECT_EQ(shown_menus(), (std::vector<int>{0, 3, 6}));
}

TEST_F(FrameFixture, FullScreenHidesTheCommandBar) {
    create_frame();
    ASSERT_TRUE(frame->view_index(0));
    frame->menu_actions(32771).front()->trigger();
    EXPECT_FALSE(frame->command_bar()->isVisible());
    EXPECT_TRUE(frame->findChild<QWidget*>("leave_full_screen")->isVisible());
    frame->menu_actions(32810).front()->trigger();  // through the menu action, still routed
    EXPECT_EQ(frame->logic().mode(), FrameMode::browser);
    EXPECT_TRUE(frame->command_bar()->isVisible());
    EXPECT_TRUE(frame->logic().full_screen());
    ASSERT_TRUE(frame->view_index(1));
    EXPECT_FALSE(frame->command_bar()->isVisible());
}

}  // namespace
}  // namespace qelvio::browser::testing

namespace qelvio::browser::testing {
namespace {

TEST_F(FrameFixture, AFolderSelectedInTheTreeOpensInTheList) {
    QImage image(20, 20, QImage::Format_RGB32);
    image.fill(Qt::gray);
    ASSERT_TRUE(image.save(QDir(dir.path()).filePath("Holiday/sea.jpg"), "JPEG"));
    create_frame();
    frame->folder_tree()->refresh();
    QTreeWidgetItem* shown = frame->folder_tree()->currentItem();
    ASSERT_NE(shown, nullptr);
    ASSERT_EQ(shown->childCount(), 1);
    frame->folder_tree()->setCurrentItem(shown->child(0));
    ASSERT_EQ(frame->image_list()->item_count(), 1);
    EXPECT_EQ(frame->image_list()->file_name(0), "sea.jpg");
    EXPECT_EQ(frame->folder_tree()->currentItem(), shown->child(0));
    EXPECT_EQ(QString::fromStdU16String(settings.lastdirectory), QString::fromUtf16(static_cast<const char16_t*>(irl_of(QDir(dir.path()).filePath("Holiday")))));
}

TEST_F(FrameFixture, TheFolderShownLastIsRememberedByItsNewName) {
    create_frame();
    frame->folder_tree()->refresh();
    QTreeWidgetItem* shown = frame->folder_tree()->currentItem();
    ASSERT_NE(shown, nullptr);
    frame->folder_tree()->setCurrentItem(shown->child(0));  // Holiday
    p_filenode* holiday = frame->image_list()->folder();
    ASSERT_NE(holiday, nullptr);
    ASSERT_EQ(holiday->rename(u"Summer"), P_OK);
    frame->refresh();
    frame.reset();  // the program ends: the settings are about to be written
    EXPECT_EQ(QString::fromStdU16String(settings.lastdirectory),
              QString::fromUtf16(static_cast<const char16_t*>(irl_of(QDir(dir.path()).filePath("Summer")))));
}

TEST_F(FrameFixture, RefreshTakesInNewFiles) {
    create_frame();
    ASSERT_EQ(frame->image_list()->item_count(), 3);
    QImage image(20, 20, QImage::Format_RGB32);
    image.fill(Qt::gray);
    ASSERT_TRUE(image.save(QDir(dir.path()).filePath("d.jpg"), "JPEG"));
    QDir(dir.path()).mkpath("Later");
    frame->refresh();
    EXPECT_EQ(frame->image_list()->item_count(), 4);
    EXPECT_EQ(frame->image_list()->index_of("d.jpg"), 3);
    QTreeWidgetItem* shown = frame->folder_tree()->currentItem();
    ASSERT_NE(shown, nullptr);
    ASSERT_EQ(shown->childCount(), 2);
    EXPECT_EQ(shown->child(1)->text(0), "Later");
}

}  // namespace
}  // namespace qelvio::browser::testing

namespace qelvio::browser::testing {
namespace {

p_string shown_name(MainFrame& frame) {
    p_string name;
    if (frame.viewer()->image()) frame.viewer()->image()->locator().getfile(&name);
    return name;
}

TEST_F(FrameFixture, SlideShowStepsAndStops) {
    settings.slide_interval = 0.05f;
    create_frame();
    frame->menu_actions(32802).front()->trigger();  // View, Slide Show (All)
    ASSERT_EQ(frame->logic().mode(), FrameMode::viewer);
    EXPECT_TRUE(frame->viewer()->slideshow_running());
    EXPECT_EQ(visible_buttons(), (std::vector<int>{32810, 32797, 32870, 32868, 32867}));
    EXPECT_EQ(text::to_utf8(static_cast<const char16_t*>(shown_name(*frame))), "a.jpg");
    std::vector<std::string> seen;
    for (int i = 0; i < 300 && seen.size() < 3; ++i) {
        QTest::qWait(10);
        std::string name = text::to_utf8(static_cast<const char16_t*>(shown_name(*frame)));
        if (seen.empty() || seen.back() != name) seen.push_back(name);
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"a.jpg", "b.bmp", "c.jpg"}));
    frame->button(32797)->trigger();  // Stop the slideshow
    EXPECT_FALSE(frame->viewer()->slideshow_running());
    EXPECT_EQ(visible_buttons(), (std::vector<int>{32810, 32841, 32870, 32868, 32867, 32860}));
    const std::string stopped_at = seen.back();
    QTest::qWait(200);
    EXPECT_EQ(text::to_utf8(static_cast<const char16_t*>(shown_name(*frame))), stopped_at);
}

TEST_F(FrameFixture, SlideShowOfTheSelectedSkipsTheOthers) {
    settings.slide_interval = 0.05f;
    create_frame();
    frame->image_list()->select_all(false);
    frame->image_list()->select(1, true);
    frame->image_list()->select(2, true);
    frame->logic().dispatch(32803);
    ASSERT_TRUE(frame->viewer()->slideshow_running());
    EXPECT_EQ(frame->shown_index(), 1);  // from the first selected
    std::set<int> shown;
    // Until both were shown (a loaded machine is slow), then a few more slides.
    int extra = 0;
    for (int i = 0; i < 300 && extra < 30; ++i) {
        QTest::qWait(10);
        shown.insert(frame->shown_index());
        if (shown.size() >= 2) ++extra;
    }
    EXPECT_EQ(shown, (std::set<int>{1, 2}));
    // Viewing kept the selection; back to the browser ends the show.
    EXPECT_EQ(frame->image_list()->model().selected_count(), 2);
    frame->logic().dispatch(32810);
    EXPECT_EQ(frame->logic().mode(), FrameMode::browser);
    EXPECT_FALSE(frame->viewer()->slideshow_running());
}

}  // namespace
}  // namespace qelvio::browser::testing

namespace qelvio::browser::testing {
namespace {

TEST_F(FrameFixture, MissingStartFileFallsBackToTheLastFolder) {
    QTimer::singleShot(0, [] {
        // "The image can't be displayed." is shown; the user confirms it.
        if (QWidget* box = QApplication::activeModalWidget()) box->close();
    });
    create_frame({800, 560}, irl_of(QDir(dir.path()).filePath("gone/none.jpg")));
    EXPECT_EQ(frame->logic().mode(), FrameMode::browser);
    EXPECT_EQ(frame->image_list()->item_count(), 3);  // lastdirectory: the fixture's folder
    EXPECT_EQ(shown_menus(), (std::vector<int>{0, 1, 2, 4}));
}

}  // namespace
}  // namespace qelvio::browser::testing

namespace qelvio::browser::testing {
namespace {

TEST_F(FrameFixture, OpeningAFileThatIsNoImageSaysSo) {
    create_frame();
    QString said;
    QTimer::singleShot(0, [&said] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            said = box->text();
            box->close();
        }
    });
    frame->open_locator(irl_of(QDir(dir.path()).filePath("notes.txt")));
    EXPECT_EQ(said, "The image can't be displayed.");
    EXPECT_EQ(frame->logic().mode(), FrameMode::browser);
    EXPECT_EQ(frame->image_list()->item_count(), 3);
}

}  // namespace
}  // namespace qelvio::browser::testing

namespace qelvio::browser::testing {
namespace {

// Receiving from the image menu into the shown folder (the pictures
// folder here): the window and the frame's two buttons follow the
// transfer, and a beamed image joins the list.
TEST_F(FrameFixture, ABeamedImageJoinsTheReceivingFolder) {
    QTemporaryDir config, data, source;
    QDir(config.path()).mkpath(".");
    {
        QFile dirs(QDir(config.path()).filePath("user-dirs.dirs"));
        ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
        dirs.write(("XDG_PICTURES_DIR=\"" + dir.path() + "\"\n").toUtf8());
    }
    qelvio::testing::ScopedEnv env[] = {{"XDG_CONFIG_HOME", config.path().toStdString()},
                                        {"XDG_DATA_HOME", data.path().toStdString()},
                                        {"QELVIO_BEAM_LISTEN", "127.0.0.1"},
                                        {"QELVIO_BEAM_PORT", "0"}};
    create_frame();
    ASSERT_EQ(frame->image_list()->item_count(), 3);
    auto press = [&](int id) {
        for (QAction* action : frame->command_bar()->actions())
            if (action->objectName().mid(1).toInt() == id) action->trigger();
    };
    frame->menu_actions(32880).front()->trigger();  // Receive via Infrared
    sharing::InfraredWindow* window = frame->infrared_window();
    EXPECT_EQ(window->mode(), sharing::kReceiving);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(visible_buttons(), (std::vector<int>{32852, 32904}));
    press(32904);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(visible_buttons(), (std::vector<int>{32852, 32903}));
    EXPECT_FALSE(frame->image_list()->command_state(32879)->enabled);  // no sending while receiving

    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    const QString beamed = QDir(source.path()).filePath("beamed.jpg");
    ASSERT_TRUE(image.save(beamed, "JPEG"));
    sharing::InfraredOptions options;
    options.transport.peers = {"127.0.0.1:" + std::to_string(window->engine().listening_ports().second)};
    sharing::InfraredEngine sender(options);
    platform::MessageQueue queue;
    ASSERT_EQ(sender.queue_file(*platform::to_device_path(beamed.toStdString())), 0);
    ASSERT_EQ(sender.start(sharing::kSending, &queue), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return frame->image_list()->item_count() == 4; }, 20000));
    QStringList names;
    for (int i = 0; i < 4; ++i) names << frame->image_list()->file_name(i);
    EXPECT_EQ(names, (QStringList{"a.jpg", "b.bmp", "beamed.jpg", "c.jpg"}));
    QFile original(beamed), arrived(QDir(dir.path()).filePath("beamed.jpg"));
    ASSERT_TRUE(original.open(QIODevice::ReadOnly) && arrived.open(QIODevice::ReadOnly));
    EXPECT_EQ(arrived.readAll(), original.readAll());
    sender.stop();

    window->stop_transfer();
    EXPECT_EQ(visible_buttons(), (std::vector<int>{32852}));
    EXPECT_FALSE(window->isVisible());
}

}  // namespace
}  // namespace qelvio::browser::testing

namespace qelvio::browser::testing {
namespace {

// Pure red pixels in a cell of the list's first row: the colour of the
// image that is being sent.
int red_pixels(ImageListPane& list, int cell) {
    const QImage shot = list.grab().toImage();
    int red = 0;
    for (int y = 4; y < 94 && y < shot.height(); ++y)
        for (int x = 4 + cell * 72; x < 4 + (cell + 1) * 72 && x < shot.width(); ++x)
            if (shot.pixelColor(x, y) == QColor(255, 0, 0)) ++red;
    return red;
}

// While an image is in transfer it is drawn red in the list and the editor
// leaves it alone; once it has gone it is drawn as before.
TEST_F(FrameFixture, AnImageBeingSentIsDrawnRedAndCannotBeEdited) {
    // The receiver holds c.jpg already and does not answer its question
    // yet, so the sender keeps the file in transfer.
    QTemporaryDir inbox, partial, data;
    ASSERT_TRUE(QFile::copy(QDir(dir.path()).filePath("c.jpg"), QDir(inbox.path()).filePath("c.jpg")));
    sharing::InfraredOptions receiving;
    receiving.transport.peers = {};
    receiving.transport.discovery_port = 0;
    receiving.transport.listen_address = "127.0.0.1";
    receiving.receive_folder = *platform::to_device_path(inbox.path().toStdString());
    receiving.partial_folder = *platform::to_device_path(partial.path().toStdString());
    sharing::InfraredEngine receiver(receiving);
    sharing::testing::Recorder heard;
    ASSERT_EQ(receiver.start(sharing::kReceiving, &heard), 0);
    qelvio::testing::ScopedEnv env[] = {
        {"QELVIO_BEAM_PEERS", "127.0.0.1:" + std::to_string(receiver.listening_ports().second)},
        {"XDG_DATA_HOME", data.path().toStdString()}};
    create_frame();
    ImageListPane* list = frame->image_list();
    EXPECT_EQ(red_pixels(*list, 2), 0);
    list->select(2, true);
    frame->menu_actions(32879).front()->trigger();  // Send via Infrared
    sharing::InfraredWindow* window = frame->infrared_window();
    EXPECT_EQ(window->mode(), sharing::kSending);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !heard.firsts(3026).empty() && window->file_being_sent(); }, 20000));
    EXPECT_EQ(window->findChild<QGroupBox*>("c1099")->title(), "Sending c.jpg");
    EXPECT_GT(red_pixels(*list, 2), 20);
    EXPECT_EQ(red_pixels(*list, 0), 0);
    EXPECT_FALSE(list->command_state(32880)->enabled);  // no receiving while sending

    ASSERT_TRUE(frame->view_index(2));
    QString told;
    {
        ui_testing::ModalScript script({[&](QWidget* modal) {
            told = qobject_cast<QMessageBox*>(modal)->text();
            qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Ok)->click();
        }});
        frame->logic().dispatch(resources::kCmdEdit);
    }
    EXPECT_EQ(told, "The image is being sent via infrared; it cannot be edited until its transfer is complete.");
    EXPECT_FALSE(frame->viewer()->editing().editing());
    frame->menu_actions(32810).front()->trigger();  // back to the browser

    receiver.set_overwrite_answer(true);
    // The frame hides the window once the sender has finished.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->isVisible() && !window->file_being_sent(); }, 20000));
    EXPECT_EQ(window->mode(), sharing::kIdle);
    EXPECT_EQ(red_pixels(*list, 2), 0);
    QFile original(QDir(dir.path()).filePath("c.jpg")), arrived(QDir(inbox.path()).filePath("c.jpg"));
    ASSERT_TRUE(original.open(QIODevice::ReadOnly) && arrived.open(QIODevice::ReadOnly));
    EXPECT_EQ(arrived.readAll(), original.readAll());
    receiver.stop();
}

}  // namespace
}  // namespace qelvio::browser::testing
