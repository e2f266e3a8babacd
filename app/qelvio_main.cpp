// qelvio: the program a user starts. Start-up in order: the command line's
// path becomes the locator to open; a running copy, if there is one, gets
// the path over the single-instance channel and this start ends; without a
// path the start-up picture covers the screen; the settings are loaded; the
// process-wide objects are made; the main window is created and shown.
// Exit saves the settings, then the thumbnail cache.
#include "browser/frame_logic.h"
#include "browser/timing.h"
#include "browser/ui/main_frame.h"
#include "browser/ui/open_requests.h"
#include "decoding/source/image_source.h"
#include "platform/text.h"
#include "qelvio/p_mcp.h"
#include "shell/command_line.h"
#include "shell/known_folders.h"
#include "shell/settings.h"
#include "shell/single_instance.h"
#include "shell/startup.h"
#include "shell/ui/help_window.h"
#include "shell/ui/startup_picture.h"
#include "thumbnails/p_thumbcache.h"

#include <QApplication>
#include <QScreen>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

using namespace qelvio;

namespace {

// The command line after the program's name, as one text.
std::string command_line_text(int argc, char** argv) {
    std::string text;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) text += ' ';
        text += argv[i];
    }
    return text;
}

// The path to hand to a running copy: device paths and locators as they
// are, local paths made absolute (the running copy has another current
// folder).
std::u16string path_for_running_copy(const std::string& text) {
    std::u16string wide = text::to_utf16(text);
    std::u16string inner(shell::command_line_path(wide));
    std::string utf8 = text::to_utf8(inner);
    if (utf8.rfind("file:\\\\", 0) == 0) {
        utf8.erase(0, 7);
        if (utf8.empty() || utf8.front() != '\\') utf8.insert(utf8.begin(), '\\');
    } else if (!utf8.empty() && utf8.front() != '\\') {
        utf8 = std::filesystem::absolute(utf8).lexically_normal().string();
    }
    return text::to_utf16(utf8);
}

// SIGTERM and SIGINT end the message loop as Exit does, so the settings
// and the thumbnails are still saved. The handler only writes a byte to a
// pipe; the user-interface thread reads it.
int signal_pipe[2] = {-1, -1};

void on_signal(int) {
    const char byte = 1;
    [[maybe_unused]] ssize_t n = write(signal_pipe[1], &byte, 1);
}

void end_loop_on_signals(QObject* owner) {
    if (pipe2(signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    auto* notifier = new QSocketNotifier(signal_pipe[0], QSocketNotifier::Read, owner);
    QObject::connect(notifier, &QSocketNotifier::activated, owner, [] {
        char byte;
        while (read(signal_pipe[0], &byte, 1) > 0) {
        }
        QCoreApplication::exit(0);
    });
    struct sigaction action {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

bool has_display() {
    return std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY") || std::getenv("QT_QPA_PLATFORM");
}

}  // namespace

int main(int argc, char** argv) {
    browser::timing_mark("process started");
    if (!has_display()) {
        std::fputs("qelvio: no display (DISPLAY is not set); run it under X, or with QT_QPA_PLATFORM=offscreen\n", stderr);
        return 1;
    }
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("qelvio"));
    app.setWindowIcon(QIcon(":/bitmaps/qelvio.png"));
    end_loop_on_signals(&app);

    const std::string command_line = command_line_text(argc, argv);
    std::optional<p_irl> initial;
    if (!command_line.empty()) {
        std::u16string wide = text::to_utf16(command_line);
        initial = wide.find(u'"') != std::u16string::npos ? shell::initial_irl(wide) : shell::file_irl(wide);
    }

    // One copy runs: a second start hands its path over and ends.
    browser::OpenRequests requests;
    platform::MessageTarget* frame_target = nullptr;
    shell::InstanceListener listener;
    int32_t listening = listener.start([&requests, &frame_target](const p_irl& irl) {
        requests.push(irl);
        if (frame_target) frame_target->post(shell::kOpenFileRequestMessage, 0, 0);
    });
    if (listening == shell::kInstanceRunning) {
        if (command_line.empty()) {
            std::fputs("qelvio: already running\n", stderr);
            return 0;
        }
        int32_t sent = shell::send_open_request(path_for_running_copy(command_line));
        if (sent != shell::kInstanceOk) {
            std::fprintf(stderr, "qelvio: the running copy did not take %s (%d)\n", command_line.c_str(), sent);
            return 1;
        }
        return 0;
    }
    if (listening != shell::kInstanceOk)
        std::fputs("qelvio: cannot listen for open requests; a second start opens another window\n", stderr);

    shell::StartupState startup = shell::begin_startup(initial);
    shell::StartupPicture* picture = nullptr;
    if (startup.show_start_picture) {
        picture = new shell::StartupPicture;
        picture->show();
    }

    // Process-wide objects: the store registry, the thumbnail cache with
    // memory limits for this screen.
    QScreen* screen = QGuiApplication::primaryScreen();
    const QSize screen_size = screen ? screen->size() : QSize(240, 320);
    decoding::p_ImageSource::set_screen_bits_per_pixel(screen ? screen->depth() : 24);
    browser::ScreenLimits limits = browser::limits_for_screen(screen_size.width(), screen_size.height());
    decoding::ImageSourceLimits image_limits;
    image_limits.viewing = limits.viewing;
    image_limits.editing = limits.editing;
    image_limits.tiles = limits.tiles;
    p_mcp mcp;
    std::u16string thumbnail_folder = shell::well_known_folder(shell::kThumbnailFolder).value_or(u"\\tmp");
    thumbnails::p_thumbcache cache(thumbnail_folder, image_limits, thumbnails::kDesktopStored);
    mcp.setcachehooks(&cache);

    int code = 0;
    {
        shell::HelpWindow help;
        browser::MainFrame frame(shell::settings(), mcp, cache, requests);
        frame.create(startup.initial);
        frame_target = &frame.message_target();
        frame.show();
        browser::timing_mark("window shown");
        // QELVIO_SCREENSHOT=FILE: save a picture of the window once it has
        // drawn itself, then exit (used by `make run` without a display).
        const QString screenshot = qEnvironmentVariable("QELVIO_SCREENSHOT");
        if (!screenshot.isEmpty()) {
            QTimer::singleShot(500, &frame, [&frame, screenshot] {
                if (!frame.grab().save(screenshot)) {
                    std::fprintf(stderr, "qelvio: cannot write %s\n", screenshot.toUtf8().constData());
                    QCoreApplication::exit(1);
                    return;
                }
                QCoreApplication::exit(0);
            });
        }
        code = app.exec();
        frame_target = nullptr;
        listener.stop();
        cache.stopsave();
    }
    shell::save_settings_at_exit();
    cache.save(true, false);
    mcp.setcachehooks(nullptr);
    browser::timing_mark("exited");
    return code;
}
