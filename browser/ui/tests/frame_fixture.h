// A main frame over a folder of small images made by the test: the
// process-wide objects it needs, the frame, and helpers to read what the
// command bar shows.
#pragma once

#include "browser/ui/main_frame.h"
#include "platform/device_root.h"
#include "qelvio/p_mcp.h"
#include "shell/command_line.h"
#include "shell/settings.h"
#include "thumbnails/p_thumbcache.h"

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QToolBar>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace qelvio::browser::testing {

struct FrameFixture : ::testing::Test {
    QTemporaryDir dir;
    QTemporaryDir cache_dir;
    shell::Settings settings;
    p_mcp mcp;
    std::unique_ptr<thumbnails::p_thumbcache> cache;
    OpenRequests requests;
    std::unique_ptr<MainFrame> frame;
    std::vector<int> commands;

    // Three images (two JPEG, one BMP), a text file and a subfolder.
    void make_folder() {
        QDir d(dir.path());
        d.mkpath("Holiday");
        QImage image(96, 64, QImage::Format_RGB32);
        image.fill(QColor(200, 40, 40));
        ASSERT_TRUE(image.save(d.filePath("a.jpg"), "JPEG"));
        image.fill(QColor(40, 200, 40));
        ASSERT_TRUE(image.save(d.filePath("b.bmp"), "BMP"));
        image.fill(QColor(40, 40, 200));
        ASSERT_TRUE(image.save(d.filePath("c.jpg"), "JPEG"));
        QFile text(d.filePath("notes.txt"));
        ASSERT_TRUE(text.open(QIODevice::WriteOnly));
        text.write("not an image");
    }

    p_irl irl_of(const QString& local) { return *shell::file_irl(local.toStdU16String()); }

    void create_frame(QSize size = {800, 560}, std::optional<p_irl> start = std::nullopt) {
        cache = std::make_unique<thumbnails::p_thumbcache>(
            *platform::to_device_path(QDir(cache_dir.path()).filePath("thumbs").toStdString()));
        settings.lastdirectory = static_cast<const char16_t*>(irl_of(dir.path()));
        frame = std::make_unique<MainFrame>(settings, mcp, *cache, requests);
        frame->initial_size = size;
        frame->command_seen = [this](int id) { commands.push_back(id); };
        frame->create(start);
        frame->show();
    }

    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        make_folder();
    }
    void TearDown() override {
        frame.reset();
        if (cache) cache->stopsave();
    }

    // The shown top menus, by their index in menu 128.
    std::vector<int> shown_menus() {
        std::vector<int> out;
        for (QAction* action : frame->menuBar()->actions())
            for (int i = 0; i < 7; ++i)
                if (frame->top_menu(i)->menuAction() == action) out.push_back(i);
        return out;
    }

    // The buttons that stand visible on the command bar, in order.
    std::vector<int> visible_buttons() {
        QCoreApplication::processEvents();  // the bar lays itself out later
        std::vector<int> out;
        for (QAction* action : frame->command_bar()->actions()) {
            if (action->isSeparator()) continue;
            QWidget* w = frame->command_bar()->widgetForAction(action);
            if (w && w->isVisible()) out.push_back(action->objectName().mid(1).toInt());
        }
        return out;
    }
};

}  // namespace qelvio::browser::testing
