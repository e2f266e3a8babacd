// An image list pane alone over a folder of JPEGs made by the test, with a
// recording frame and recording file operations in place of the real ones.
#pragma once

#include "browser/ui/file_operations_ui.h"
#include "browser/ui/frame_calls.h"
#include "browser/ui/image_list_pane.h"
#include "browser/ui/tests/stub_frame.h"
#include "platform/device_root.h"
#include "qelvio/p_filetree.h"
#include "qelvio/p_mcp.h"
#include "shell/command_line.h"
#include "shell/settings.h"
#include "thumbnails/p_thumbcache.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace qelvio::browser::testing {

struct RecordingFrame : StubFrame {
    bool multi = false;
    int active = 0;
    std::vector<int> viewed;
    bool view_index(int index) override {
        viewed.push_back(index);
        return true;
    }
    void make_active(int pane) override { active = pane; }
    bool multi_select() const override { return multi; }
};

struct RecordingFileOperations : FileOperationsUi {
    std::vector<std::vector<p_filenode*>> drags;
    std::vector<QPoint> drag_starts;
    std::vector<std::vector<p_filenode*>> deletes;
    void cut(const std::vector<p_filenode*>&) override {}
    void copy(const std::vector<p_filenode*>&) override {}
    bool can_paste() const override { return false; }
    void paste(p_filenode*) override {}
    void delete_files(const std::vector<p_filenode*>& files) override { deletes.push_back(files); }
    void rename(const std::vector<p_filenode*>&) override {}
    void drag(const std::vector<p_filenode*>& files, QPoint start) override {
        drags.push_back(files);
        drag_starts.push_back(start);
    }
    void copy_or_move_into(p_filenode*, const std::vector<p_filenode*>&, bool) override {}
};

struct ListFixture : ::testing::Test {
    QTemporaryDir dir;
    QTemporaryDir cache_dir;
    shell::Settings settings;
    p_mcp mcp;
    std::unique_ptr<thumbnails::p_thumbcache> cache;
    RecordingFrame frame;
    RecordingFileOperations operations;
    std::unique_ptr<ImageListPane> pane;

    static void run(const std::string& command) { ASSERT_EQ(std::system(command.c_str()), 0) << command; }
    QString path(const QString& name) const { return QDir(dir.path()).filePath(name); }
    // A solid-colour JPEG of the size, its time set to the date.
    void make_jpeg(const QString& name, const char* colour, const char* size = "96x64",
                   const char* date = "2024-03-05 12:00") {
        run("convert -size " + std::string(size) + " xc:'" + colour + "' -quality 90 '" + path(name).toStdString() +
            "' && touch -d '" + date + "' '" + path(name).toStdString() + "'");
    }
    p_irl irl_of(const QString& local) { return *shell::file_irl(local.toStdU16String()); }
    p_filenode* node_of(const QString& local) {
        p_filenode* node = nullptr;
        return mcp.openfile(irl_of(local), &node) >= 0 ? node : nullptr;
    }
    void create_pane(QSize size) {
        cache = std::make_unique<thumbnails::p_thumbcache>(
            *platform::to_device_path(QDir(cache_dir.path()).filePath("thumbs").toStdString()));
        pane = std::make_unique<ImageListPane>(frame, settings, *cache, operations, nullptr);
        pane->resize(size);
        pane->show();
        ASSERT_EQ(pane->open(node_of(dir.path())), 0);
        QCoreApplication::processEvents();
    }
    void TearDown() override {
        pane.reset();
        if (cache) cache->stopsave();
    }
    // Waits until every visible item's thumbnail was decoded (or failed, or
    // no decoder claims the file).
    bool wait_for_thumbnails() {
        for (int i = 0; i < 500; ++i) {
            QTest::qWait(10);
            if (pane->loading_index() >= 0) continue;
            bool all = true;
            const VisibleRange v = pane->visible_range();
            for (int k = v.first; k <= v.last; ++k) {
                const ListItem& item = pane->model().items()[k];
                if (!item.image->thumbnail_bitmap() && !item.image->undecodable() && item.image->format_entry())
                    all = false;
            }
            if (all) return true;
        }
        return false;
    }
    std::vector<QString> names() const {
        std::vector<QString> out;
        for (int i = 0; i < pane->item_count(); ++i) out.push_back(pane->file_name(i));
        return out;
    }
    std::string states() const {
        std::string out;
        for (const ListItem& item : pane->model().items()) out += static_cast<char>('0' + item.state);
        return out;
    }
    // The centre of item i's cell in pane coordinates (grid mode).
    QPoint cell_centre(int i) const {
        GridGeometry g{pane->columns(), GridGeometry::cell_height_for(settings.thumb_filenames)};
        const ListRect r = g.cell(i);
        return {(r.left + r.right) / 2, (r.top + r.bottom) / 2 - pane->scroll_position()};
    }
};

}  // namespace qelvio::browser::testing
