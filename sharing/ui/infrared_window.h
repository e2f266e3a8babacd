// Dialog 193, the beaming window: a modeless window that owns the beaming
// engine, starts it sending or receiving, shows the totals of the queue and
// the progress of the current file, and answers the engine's questions.
// The main frame makes it hidden at start and shows or hides it with its
// infrared buttons; the image list's Send and Receive commands hand it work.
//
// Hiding the window never pauses a transfer. Sending while receiving (or
// the reverse) is refused without a message.
//
// User-interface thread only; the engine's worker only posts messages.
#pragma once

#include "platform/ui/qt_message_target.h"
#include "qelvio/p_irl.h"
#include "sharing/infrared_engine.h"
#include "sharing/infrared_window_state.h"
#include "shell/ui/dialog_base.h"

#include <functional>
#include <optional>
#include <vector>

class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class p_filenode;

namespace qelvio::sharing {

class InfraredWindow : public shell::DialogBase {
    Q_OBJECT
public:
    explicit InfraredWindow(QWidget* parent, InfraredOptions options = {});
    ~InfraredWindow() override;

    // Queues the files of these nodes (nodes outside the "file" store are
    // left out) and starts sending unless the engine sends already; shows
    // the window. Does nothing while receiving.
    void send(const std::vector<p_filenode*>& files);
    // Starts receiving unless the engine receives already; shows the
    // window. Does nothing while sending.
    void receive();
    // Button 1055: stops the engine.
    void stop_transfer();
    // Button 1056: the engine skips the current file.
    void skip_file();

    // The engine's mode: 0 idle, 1 sending, 2 receiving.
    int mode() const { return engine_.mode(); }
    // The file whose sending started last and has not ended (none while
    // receiving); the editor and the JPEG transform leave it alone.
    const std::optional<p_irl>& file_being_sent() const { return being_sent_; }
    bool is_being_sent(const p_irl& locator) const;

    const InfraredWindowState& state() const { return state_; }
    InfraredEngine& engine() { return engine_; }

    // ---- the frame's hooks ----
    // The transfer started, stopped or the window was shown or hidden: the
    // frame shows the window when show_now is set and the engine runs,
    // hides it when the engine is idle, and sets its infrared buttons.
    std::function<void(bool show_now)> state_changed;
    // The image list should redraw the item of this file (it is drawn in
    // red while it is being sent).
    std::function<void(const p_irl& file)> item_changed;
    // A file arrived complete in the receiving folder, under this name.
    std::function<void(const std::u16string& name)> file_received;
    // Asks whether the arriving image may replace the existing one with
    // that name (a message box unless replaced; tests script it).
    std::function<bool(const std::u16string& name)> ask_overwrite;
    // Tells the user that the link failed and the transfer stopped (a
    // message box unless replaced).
    std::function<void(const QString&)> tell;

public slots:
    // Button 3 and Esc: hides the window; the transfer goes on.
    void reject() override;

protected:
    bool event(QEvent* event) override;

private:
    void handle(uint32_t number, std::intptr_t first);
    void start(int mode);
    void show_waiting_text();
    // Shrinks or grows the window to what it shows.
    void fit_contents();
    // Sets the texts and bars from state_.
    void show_state();
    void set_title_of_file();
    void notify(bool show_now);
    // The file being sent is no longer: the image list redraws it.
    void end_being_sent();
    // The engine stopped (by the user or on a failure): the title says so
    // and the frame hides the window and its buttons.
    void show_stopped();

    InfraredEngine engine_;
    InfraredWindowState state_;
    std::optional<p_irl> being_sent_;
    // The mode the engine was last started in. The worker runs ahead of its
    // messages, so they are read as this side's, not the engine's mode now.
    int role_ = kIdle;
    int run_ = 0;  // counts starts and stops, so a late failure is told only for its own run
    platform::QtMessageTarget target_;

    QLabel* waiting_;           // 1101
    QLabel* files_remaining_;   // 1097
    QLabel* queue_remaining_;   // 1098
    QProgressBar* queue_bar_;   // 1059
    QGroupBox* file_group_;     // 1099
    QLabel* file_remaining_;    // 1100
    QProgressBar* file_bar_;    // 1060
    QLabel* resumed_;           // 1102
    QLabel* between_files_;     // 1104
};

}  // namespace qelvio::sharing
