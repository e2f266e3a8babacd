// Dialog 176, the overwrite prompt: "Overwrite '%s'?" with the existing
// file's thumbnail and date on the left, the incoming file's on the right,
// and the buttons Yes, No, Cancel and, when the operation involves two or
// more files, Yes to all and No to all (otherwise that row is hidden and
// the dialog is shorter).
//
// The thumbnails come from the images' objects in the thumbnail cache; a
// missing one is decoded on the object's worker and drawn when message 2258
// arrives, so the dialog never waits for a decode. User-interface thread
// only.
#pragma once

#include "platform/ui/qt_message_target.h"
#include "qelvio/p_fileops.h"

#include <QDialog>
#include <QImage>
#include <QPointer>

class QLabel;
class QTimer;

namespace qelvio::decoding {
class p_ImageSource;
}
namespace qelvio::thumbnails {
class p_thumbcache;
}

namespace qelvio::browser {

// A picture box that shows an image fitted into it (never enlarged) and
// centred.
class PictureBox : public QWidget {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent);
    void set_image(const QImage& image);
    const QImage& image() const { return image_; }
    // Where the image is drawn inside the box.
    QRect image_rect() const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage image_;
};

class OverwriteDialog : public QDialog {
    Q_OBJECT
public:
    // cache may be null (no thumbnails then).
    OverwriteDialog(bool multi, thumbnails::p_thumbcache* cache, QWidget* parent);
    ~OverwriteDialog() override;

    // Fills the dialog for one clash (title, dates, thumbnails) without
    // showing it.
    void prepare(const p_irl& incoming, const p_irl& existing);
    // prepare(), then shows the dialog modally; the answer 0 Yes, 1 Yes to
    // all, 2 No, 3 No to all, 4 Cancel (also for Escape and closing).
    int ask(const p_irl& incoming, const p_irl& existing);
    int answer() const { return answer_; }

    // The user's date and time of a file time: the short date, ", ", and
    // the time without seconds.
    static QString date_text(uint64_t file_time);

protected:
    bool event(QEvent* event) override;
    void reject() override;

private:
    void answer_with(int answer);
    // Takes the thumbnails that are ready; true when none is still coming.
    bool take_thumbnails();

    thumbnails::p_thumbcache* cache_;
    platform::QtMessageTarget target_;
    QTimer* poll_;
    PictureBox* boxes_[2];  // existing (1121), incoming (1123)
    QLabel* texts_[2];      // 1042, 1045
    decoding::p_ImageSource* images_[2] = {};
    bool pending_[2] = {};
    int answer_ = P_ANSWER_YES;
};

// The overwrite prompt of one operation, over one dialog reused for every
// clash in it.
class OverwritePrompt : public p_overwriteprompt {
public:
    OverwritePrompt(bool multi, thumbnails::p_thumbcache* cache, QWidget* parent);
    ~OverwritePrompt() override;
    OverwriteDialog& dialog() { return *dialog_; }

protected:
    int show(const p_irl& source, const p_irl& existing) override;

private:
    QPointer<OverwriteDialog> dialog_;
};

}  // namespace qelvio::browser
