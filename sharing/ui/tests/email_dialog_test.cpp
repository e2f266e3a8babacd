// The e-mail windows offscreen: dialog 187's controls and rules, the
// recipients dialog, and sending through the real dialog into a Maildir
// outbox read back by Python's e-mail parser, with scripted answers to the
// message boxes.
#include "sharing/ui/email_dialog.h"
#include "sharing/ui/send_by_email.h"

#include "platform/device_root.h"
#include "shell/command_line.h"
#include "shell/dialog_settings.h"
#include "shell/profile.h"
#include "shell/settings.h"
#include "platform/ui/tests/widget_checks.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>

inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace qelvio::sharing {
namespace {

using ui_testing::expect_unclipped;
using ui_testing::ModalScript;

// Fills dialog 187 and confirms it.
std::function<void(QWidget*)> fill(QString to, int reduction) {
    return [to, reduction](QWidget* modal) {
        ASSERT_EQ(modal->objectName(), "d187");
        modal->findChild<QComboBox*>("c1068")->setEditText(to);
        modal->findChild<QPlainTextEdit*>("c1045")->setPlainText(QString::fromUtf8("Bonjour \u2014 photos"));
        modal->findChild<QComboBox*>("c1072")->setCurrentIndex(reduction);
        modal->findChild<QPushButton*>("c1")->click();
    };
}

// A message box: its text is kept, then the button clicked.
std::function<void(QWidget*)> answer(QMessageBox::StandardButton which, std::vector<QString>* texts) {
    return [which, texts](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        texts->push_back(box->text());
        box->button(which)->click();
    };
}

struct RecordedProgress : decoding::ProgressWindow {
    std::vector<int> steps;
    QString text;
    bool closed = false;
    void create(std::u16string_view t, int, int) override { text = QString::fromStdU16String(std::u16string(t)); }
    void step(int position) override { steps.push_back(position); }
    void close() override { closed = true; }
};

class EmailUiTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        QDir(dir.path()).mkpath("Photos");
        qputenv("QELVIO_MAILDIR", path("Maildir").toUtf8());
        cache = std::make_unique<thumbnails::p_thumbcache>(*platform::to_device_path(path("thumbs").toStdString()));
        mcp.setcachehooks(cache.get());
    }
    void TearDown() override {
        mcp.setcachehooks(nullptr);
        cache->stopsave();
        qunsetenv("QELVIO_MAILDIR");
    }
    QString path(const QString& relative) const { return QDir(dir.path()).filePath(relative); }
    // A photo-like JPEG made by ImageMagick.
    void make_jpeg(const QString& name, int width, int height) {
        QString out = path("Photos/" + name);
        ASSERT_EQ(QProcess::execute("convert", {"-size", QString("%1x%2").arg(width).arg(height), "plasma:fractal",
                                                "-seed", "3", "-quality", "90", out}),
                  0);
    }
    std::vector<p_irl> images(const QStringList& names) {
        std::vector<p_irl> out;
        for (const QString& n : names) out.push_back(*shell::file_irl(path("Photos/" + n).toStdU16String()));
        return out;
    }
    QStringList outbox(const char* sub) const {
        return QDir(path(QString("Maildir/.Outbox/") + sub)).entryList(QDir::Files | QDir::Hidden);
    }
    // The attachments' temporary files of the sender; made tells that the
    // sender got as far as making them (so the folder must exist).
    QStringList temporaries(bool made = true) const {
        QDir folder(QString::fromLocal8Bit(qgetenv("XDG_CACHE_HOME")) + "/qelvio/tmp");
        if (made) EXPECT_TRUE(folder.exists());
        return folder.exists() ? folder.entryList(QDir::Files) : QStringList();
    }
    // Python's parser on the one outbox message; attachments decoded into
    // parts/1, parts/2...
    std::map<QString, QString> parsed() {
        QStringList names = outbox("new");
        EXPECT_EQ(names.size(), 1);
        if (names.size() != 1) return {};
        QDir(dir.path()).mkpath("parts");
        QProcess python;
        python.start("python3", {QString::fromLocal8Bit(qgetenv("QELVIO_SOURCE_DIR")) + "/sharing/mail/tests/read_outbox.py",
                                 path("Maildir/.Outbox/new/" + names[0]), path("parts")});
        EXPECT_TRUE(python.waitForFinished(30000));
        std::map<QString, QString> found;
        for (const QString& line : QString::fromUtf8(python.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts)) {
            QStringList f = line.split('\t');
            QString key = f.takeFirst();
            if (key == "attachment") key += f.takeFirst();
            found[key] = f.join('\t');
        }
        return found;
    }
    QString identify(const QString& file) {
        QProcess p;
        p.start("identify", {"-format", "%m %wx%h %Q", file});
        p.waitForFinished(30000);
        return QString::fromUtf8(p.readAllStandardOutput());
    }
    QByteArray bytes(const QString& file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
    }

    QTemporaryDir dir;
    p_mcp mcp;
    std::unique_ptr<thumbnails::p_thumbcache> cache;
    QWidget parent;
};

TEST_F(EmailUiTest, DialogShowsItsControlsAndRefusesAnEmptyRecipientField) {
    shell::save_dialog_setting(shell::kEmailResolution, 3);
    shell::write_profile_int(u"emaildlg", u"tocount", 1);
    shell::write_profile_string(u"emaildlg", u"to0", u"earlier@example.org");
    {
        EmailDialog dialog({u"dsc00012.jpg", u"MyDsc.gif"}, &parent);
        std::vector<QString> refused;
        dialog.refuse = [&refused](const QString& text) { refused.push_back(text); };
        EXPECT_EQ(dialog.windowTitle(), "E-mail");
        auto* to = dialog.findChild<QComboBox*>("c1068");
        EXPECT_TRUE(to->isEditable());
        EXPECT_EQ(to->count(), 1);
        EXPECT_EQ(to->itemText(0), "earlier@example.org");
        EXPECT_EQ(to->currentText(), "");
        EXPECT_EQ(dialog.findChild<QLineEdit*>("c1069")->text(), "Images from Qelvio");
        EXPECT_EQ(dialog.findChild<QPlainTextEdit*>("c1045")->toPlainText(), "");
        auto* attached = dialog.findChild<QListWidget*>("c1108");
        ASSERT_EQ(attached->count(), 2);
        EXPECT_EQ(attached->item(0)->text(), "dsc00012.jpg");
        EXPECT_EQ(attached->item(1)->text(), "MyDsc.gif");
        auto* reduction = dialog.findChild<QComboBox*>("c1072");
        ASSERT_EQ(reduction->count(), 6);
        EXPECT_EQ(reduction->itemText(2), "Small (.5 mpixel)");
        EXPECT_EQ(reduction->currentIndex(), 3);
        EXPECT_FALSE(dialog.findChild<QPushButton*>("c1073")->isVisibleTo(&dialog));

        // Blank or separators only: the hint, the dialog stays open and
        // nothing is stored.
        dialog.show();
        for (QString blank : {"", "  ", " ; ;"}) {
            to->setEditText(blank);
            dialog.findChild<QPushButton*>("c1")->click();
            EXPECT_TRUE(dialog.isVisible()) << blank.toStdString();
        }
        ASSERT_EQ(refused.size(), 3u);
        EXPECT_EQ(refused[0], "Provide one or more recipients, each separated by a semicolon.");
        EXPECT_EQ(shell::get_profile_int(u"emaildlg", u"tocount", 0), 1);

        to->setEditText("ann@example.org");
        reduction->setCurrentIndex(2);
        dialog.findChild<QPushButton*>("c1")->click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(dialog.request().to, u"ann@example.org");
        EXPECT_EQ(dialog.request().reduction, 2);
    }
    EXPECT_EQ(shell::get_profile_string(u"emaildlg", u"to0", u""), u"ann@example.org");
    EXPECT_EQ(shell::get_profile_string(u"emaildlg", u"to1", u""), u"earlier@example.org");
    EXPECT_EQ(shell::load_dialog_setting(shell::kEmailResolution), 2);

    // A cancelled dialog writes back the index it loaded, not the one shown.
    {
        EmailDialog dialog({u"a.jpg"}, &parent);
        dialog.findChild<QComboBox*>("c1072")->setCurrentIndex(5);
        dialog.reject();
    }
    EXPECT_EQ(shell::load_dialog_setting(shell::kEmailResolution), 2);
}

TEST_F(EmailUiTest, RecipientsDialogJoinsTheSelectedAddresses) {
    RecipientsDialog none(&parent);
    EXPECT_EQ(none.windowTitle(), "Add recipients");
    EXPECT_FALSE(none.findChild<QTreeWidget*>("contacts")->isVisibleTo(&none));
    EXPECT_EQ(none.findChild<QLabel*>("nocontacts")->text(), "There are no contacts in the database.");
    EXPECT_TRUE(none.findChild<QLabel*>("nocontacts")->isVisibleTo(&none));

    RecipientsDialog some(&parent, {{u"Ann", u"ann@example.org"}, {u"Bob", u"bob@example.net"}, {u"Cy", u"cy@example.com"}});
    auto* list = some.findChild<QTreeWidget*>("contacts");
    EXPECT_EQ(list->headerItem()->text(0), "Name");
    EXPECT_EQ(list->headerItem()->text(1), "E-mail address");
    list->topLevelItem(0)->setSelected(true);
    list->topLevelItem(2)->setSelected(true);
    EXPECT_EQ(some.addresses(), "ann@example.org; cy@example.com");
    // The addresses take the place of the selected part of the field.
    EXPECT_EQ(replace_selected("x@y.org; OLD; z@w.org", 9, 3, "a@b.org"), "x@y.org; a@b.org; z@w.org");
    EXPECT_EQ(replace_selected("x@y.org; ", 9, 0, "a@b.org"), "x@y.org; a@b.org");
    EXPECT_EQ(replace_selected("abc", 7, 4, "d"), "abcd");
}

TEST_F(EmailUiTest, SendsSmallIntoTheOutboxThroughTheDialog) {
    make_jpeg("dsc00012.jpg", 1600, 1200);
    make_jpeg("tiny.jpg", 400, 300);
    std::vector<QString> texts;
    RecordedProgress progress;
    {
        ModalScript script({fill("Ann Example <ann@example.org>; bob@example.net", 2),
                            answer(QMessageBox::Ok, &texts)});
        MaildirStore store(path("Maildir").toStdString(), "qelvio@example.com");
        auto result = send_by_email(&parent, images({"dsc00012.jpg", "tiny.jpg"}), *cache, store, &progress);
        ASSERT_TRUE(result);
        EXPECT_EQ(result->attached, 2);
    }
    EXPECT_EQ(texts, std::vector<QString>{"The e-mail has been stored in your Outbox."});
    EXPECT_EQ(progress.text, "Sending e-mail...");
    EXPECT_EQ(progress.steps, (std::vector<int>{1, 2}));
    EXPECT_TRUE(progress.closed);
    auto found = parsed();
    EXPECT_EQ(found["defects"], "0");
    EXPECT_EQ(found["to"], "Ann Example <ann@example.org>, bob@example.net");
    EXPECT_EQ(found["subject"], "Images from Qelvio");
    EXPECT_EQ(found["body"], QString::fromUtf8("utf-8\tBonjour \u2014 photos"));
    EXPECT_EQ(found["attachment1"], "dsc00012.jpg\timage/jpeg\tbase64");
    EXPECT_EQ(found["attachment2"], "tiny.jpg\timage/jpeg\tbase64");
    EXPECT_EQ(identify(path("parts/1")), "JPEG 576x432 50");
    EXPECT_EQ(bytes(path("parts/2")), bytes(path("Photos/tiny.jpg")));
    EXPECT_TRUE(outbox("tmp").isEmpty());
    EXPECT_TRUE(temporaries().isEmpty());
    EXPECT_EQ(shell::load_dialog_setting(shell::kEmailResolution), 2);
}

TEST_F(EmailUiTest, YesToCannotSendOnTheSecondOfThreeDiscardsTheMessage) {
    for (QString n : {"a.jpg", "b.jpg", "c.jpg"}) make_jpeg(n, 320, 240);
    std::vector<p_irl> selected = images({"a.jpg", "b.jpg", "c.jpg"});
    // The second image went away after it was selected.
    ASSERT_TRUE(QFile::remove(path("Photos/b.jpg")));
    std::vector<QString> texts;
    {
        ModalScript script({fill("ann@example.org", 0), answer(QMessageBox::Yes, &texts)});
        MaildirStore store(path("Maildir").toStdString(), "qelvio@example.com");
        auto result = send_by_email(&parent, selected, *cache, store, nullptr);
        ASSERT_TRUE(result);
        EXPECT_EQ(result->message, 0);
    }
    // Only the question: no 35029 afterwards.
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_TRUE(texts[0].startsWith("The image 'b.jpg' cannot be sent")) << texts[0].toStdString();
    EXPECT_TRUE(outbox("new").isEmpty());
    EXPECT_TRUE(outbox("tmp").isEmpty());
    EXPECT_TRUE(temporaries().isEmpty());
}

TEST_F(EmailUiTest, CancelledDialogSendsNothing) {
    make_jpeg("a.jpg", 64, 48);
    ModalScript script({[](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); }});
    MaildirStore store(path("Maildir").toStdString(), "qelvio@example.com");
    EXPECT_FALSE(send_by_email(&parent, images({"a.jpg"}), *cache, store, nullptr));
    EXPECT_FALSE(QDir(path("Maildir")).exists());
}

TEST_F(EmailUiTest, DialogsShowEveryControlUnclipped) {
    EmailDialog email({u"dsc00012.jpg", u"a rather long image name of a holiday.jpg", u"MyDsc.gif"}, &parent);
    email.findChild<QComboBox*>("c1068")->setEditText("Ann Example <ann@example.org>; bob@example.net");
    expect_unclipped(email, "dialog187");
    // The To field ends where the subject does: the hidden recipients
    // button leaves no gap after it.
    auto right = [&email](const char* name) {
        auto* control = email.findChild<QWidget*>(name);
        return control->mapTo(&email, QPoint(control->width(), 0)).x();
    };
    EXPECT_EQ(right("c1068"), right("c1069"));
    RecipientsDialog none(&parent);
    expect_unclipped(none, "dialog189");
}

TEST_F(EmailUiTest, UnreachableStoreShowsItsMessage) {
    make_jpeg("a.jpg", 64, 48);
    QFile plain(path("not-a-folder"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    std::vector<QString> texts;
    ModalScript script({fill("ann@example.org", 0), answer(QMessageBox::Ok, &texts)});
    MaildirStore store(path("not-a-folder/Maildir").toStdString(), "qelvio@example.com");
    auto result = send_by_email(&parent, images({"a.jpg"}), *cache, store, nullptr);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->message, 35034);
    EXPECT_EQ(texts, std::vector<QString>{"The mail store is not accessible; the e-mail cannot be sent."});
    EXPECT_TRUE(temporaries(false).isEmpty());  // the store failed before any was made
}

TEST_F(EmailUiTest, MailProgramSettingHandsTheMessageToTheDesktop) {
    make_jpeg("a.jpg", 64, 48);
    // A stand-in for xdg-email first on the path, recording its arguments.
    QDir(dir.path()).mkpath("bin");
    QFile fake(path("bin/xdg-email"));
    ASSERT_TRUE(fake.open(QIODevice::WriteOnly));
    fake.write(QString("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '%1'\n").arg(path("args.txt")).toUtf8());
    fake.close();
    fake.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QByteArray old_path = qgetenv("PATH");
    qputenv("PATH", path("bin").toUtf8() + ":" + old_path);
    shell::settings().mail_program = true;
    {
        // Only the dialog: the mail program's window replaces the outbox note.
        ModalScript script({fill("ann@example.org", 0)});
        send_by_email(&parent, images({"a.jpg"}), *cache, nullptr);
    }
    shell::settings().mail_program = false;
    qputenv("PATH", old_path);
    QStringList args = QString::fromUtf8(bytes(path("args.txt"))).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(args.size(), 8) << args.join(' ').toStdString();
    EXPECT_EQ(args.mid(0, 3), (QStringList{"--utf8", "--subject", "Images from Qelvio"}));
    EXPECT_EQ(args[5], "--attach");
    EXPECT_TRUE(args[6].endsWith("/1/a.jpg"));
    EXPECT_EQ(bytes(args[6]), bytes(path("Photos/a.jpg")));
    EXPECT_EQ(args[7], "ann@example.org");
    EXPECT_FALSE(QDir(path("Maildir")).exists());
    EXPECT_TRUE(temporaries().isEmpty());
}

}  // namespace
}  // namespace qelvio::sharing
