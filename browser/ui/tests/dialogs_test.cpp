// The options sheet, the About box, the dialog base with its help button,
// the help window, the progress window and the busy indicator's window,
// offscreen.
#include "browser/progress_layout.h"
#include "browser/ui/busy_window.h"
#include "browser/ui/progress_window.h"
#include "browser/ui/tests/frame_fixture.h"
#include "shell/startup.h"
#include "shell/ui/about_box.h"
#include "shell/ui/help_window.h"
#include "shell/ui/options_page.h"
#include "shell/ui/record_key.h"
#include "platform/ui/combo_list.h"
#include "platform/ui/message_box.h"
#include "platform/ui/tests/widget_checks.h"

#include <QMessageBox>
#include "shell/mru_list.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

namespace qelvio::browser::testing {
namespace {

struct CountingObserver : shell::SettingsObserver {
    std::vector<int> codes;
    void settings_changed(int code) override { codes.push_back(code); }
};

template <class T>
T* child(QWidget* parent, const char* name) {
    T* w = parent->findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
}

TEST(OptionsSheet, ShowsTheSettingsAndAppliesThemOnOk) {
    shell::Settings settings;
    settings.slide_interval = 12.34f;
    settings.auto_audio = false;
    settings.savequality = 2;
    CountingObserver observer;
    settings.add_observer(&observer);
    shell::OptionsSheet sheet(settings);
    EXPECT_EQ(sheet.windowTitle(), "Options");
    EXPECT_EQ(sheet.findChild<QTabWidget*>()->tabText(0), "Options");
    auto* interval = child<QLineEdit>(&sheet, "c1008");
    EXPECT_EQ(interval->text(), "12.34");
    EXPECT_TRUE(child<QCheckBox>(&sheet, "c1011")->isChecked());
    EXPECT_FALSE(child<QCheckBox>(&sheet, "c1115")->isChecked());
    EXPECT_FALSE(child<QCheckBox>(&sheet, "mail_program")->isChecked());
    auto* quality = child<QComboBox>(&sheet, "c1037");
    EXPECT_EQ(quality->currentIndex(), 2);
    EXPECT_EQ(quality->itemText(0), "Low");
    EXPECT_EQ(child<QPushButton>(&sheet, "c1076")->text(), "Open images with Qelvio Mobile");
    ASSERT_NE(sheet.findChild<QPushButton*>("help"), nullptr);  // topic "options"
    ui_testing::expect_unclipped(sheet, "options_sheet");

    interval->setText("2.5");
    child<QCheckBox>(&sheet, "c1092")->setChecked(false);
    quality->setCurrentIndex(0);
    child<QCheckBox>(&sheet, "mail_program")->setChecked(true);
    sheet.show();
    QTest::mouseClick(child<QPushButton>(&sheet, "c1"), Qt::LeftButton);
    EXPECT_FLOAT_EQ(settings.slide_interval, 2.5f);
    EXPECT_FALSE(settings.thumb_annoticons);
    EXPECT_EQ(settings.savequality, 0);
    EXPECT_TRUE(settings.mail_program);
    EXPECT_EQ(observer.codes, (std::vector<int>{7}));
    settings.remove_observer(&observer);
}

TEST(OptionsSheet, CancelChangesNothing) {
    shell::Settings settings;
    shell::OptionsSheet sheet(settings);
    child<QLineEdit>(&sheet, "c1008")->setText("9");
    sheet.reject();
    EXPECT_FLOAT_EQ(settings.slide_interval, 3.0f);
}

TEST(OptionsSheet, SpinButtonStepsWholeSecondsInRange) {
    shell::Settings settings;
    settings.slide_interval = 9998.5f;
    shell::OptionsSheet sheet(settings);
    sheet.show();
    QWidget* spin = child<QWidget>(&sheet, "c1009");
    auto* up = spin->findChild<QToolButton*>("up");
    QTest::mouseClick(up, Qt::LeftButton);
    QTest::mouseClick(up, Qt::LeftButton);
    EXPECT_EQ(child<QLineEdit>(&sheet, "c1008")->text(), "9999");
}

TEST(OptionsSheet, AssociateButtonRegistersAndTellsTheUser) {
    shell::Settings settings;
    shell::OptionsSheet sheet(settings);
    sheet.show();
    int calls = 0;
    sheet.page()->associate = [&calls] {
        ++calls;
        return true;
    };
    QString shown;
    QTimer::singleShot(0, [&shown] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            for (QLabel* label : box->findChildren<QLabel*>())
                if (!label->text().isEmpty()) shown = label->text();
            box->close();
        }
    });
    QTest::mouseClick(child<QPushButton>(&sheet, "c1076"), Qt::LeftButton);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(shown, "Image files will now be opened with Qelvio.");
}

// Through the frame: Alt+O's command opens the sheet; the change is kept in
// memory and written to the profile by the exit step.
TEST_F(FrameFixture, OptionsChangeASettingAndItIsSaved) {
    create_frame();
    frame.reset();
    // The exit step saves the process-wide object. Copied once the first
    // frame is gone: a copy carries the observers registered with it.
    shell::settings() = settings;
    frame = std::make_unique<MainFrame>(shell::settings(), mcp, *cache, requests);
    frame->create(std::nullopt);
    frame->show();
    QTimer::singleShot(0, [] {
        QWidget* sheet = QApplication::activeModalWidget();
        ASSERT_NE(sheet, nullptr);
        sheet->findChild<QLineEdit*>("c1008")->setText("7.25");
        sheet->findChild<QPushButton*>("c1")->click();
    });
    frame->logic().dispatch(32808);
    EXPECT_FLOAT_EQ(shell::settings().slide_interval, 7.25f);
    ASSERT_EQ(shell::save_settings_at_exit(), 0);
    shell::Settings reloaded;
    reloaded.load();
    EXPECT_FLOAT_EQ(reloaded.slide_interval, 7.25f);
    // On disk: the profile's hive holds the stored hundredths.
    QFile hive(QDir(qEnvironmentVariable("XDG_CONFIG_HOME")).filePath("qelvio/user.reg"));
    ASSERT_TRUE(hive.open(QIODevice::ReadOnly));
    const QByteArray text = hive.readAll();
    EXPECT_TRUE(text.contains("slide_interval")) << text.constData();
    EXPECT_TRUE(text.contains("000002d5")) << text.constData();  // 725
}

TEST(AboutBox, TitlePictureVersionAndHiddenDate) {
    shell::AboutBox about;
    EXPECT_EQ(about.windowTitle(), "About Qelvio Mobile");
    auto* picture = child<QLabel>(&about, "picture209");
    EXPECT_EQ(picture->pixmap().size(), QSize(48, 48));
    EXPECT_EQ(child<QLabel>(&about, "version")->text(), "Version 1.0.1");
    about.show();
    auto* date = child<QLineEdit>(&about, "build_date");
    EXPECT_EQ(date->text(), "Oct 18 2001");
    EXPECT_FALSE(date->isVisible());
    EXPECT_EQ(about.findChild<QPushButton*>("help"), nullptr);  // no topic: no help button
    EXPECT_NE(about.findChild<QPushButton*>("c1"), nullptr);
}

TEST(DialogBase, HelpButtonOpensTheHelpAtTheTopic) {
    shell::HelpWindow help;
    shell::DialogBase dialog(nullptr);
    EXPECT_EQ(dialog.findChild<QPushButton*>("help"), nullptr);
    dialog.show();
    dialog.set_help_topic(u"resize");  // on an open dialog: the button comes at once
    auto* button = dialog.findChild<QPushButton*>("help");
    ASSERT_NE(button, nullptr);
    EXPECT_TRUE(button->isVisible());
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(help.topic(), "resize");
    EXPECT_TRUE(help.isVisible());
    // The page was opened at the anchor: the topic's heading is in view.
    EXPECT_TRUE(help.source().toString().endsWith("#resize"));
    dialog.set_help_topic(nullptr);
    EXPECT_EQ(dialog.findChild<QPushButton*>("help"), nullptr);
    dialog.request_help();  // a dialog without topic: the contents
    EXPECT_EQ(help.topic(), "Main_Contents");
}

TEST(HelpFile, HasAnAnchorPerTopic) {
    QFile file(":/help/qelvio.html");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(file.readAll());
    for (const char16_t* topic : shell::kHelpTopics)
        EXPECT_TRUE(html.contains("<a name=\"" + QString::fromUtf16(topic) + "\">"))
            << QString::fromUtf16(topic).toStdString();
}

TEST(ProgressWindow, GeometryTitleRangeAndStep) {
    ProgressWindow progress(QStringLiteral("Copying images..."), 0, 0);
    EXPECT_EQ(progress.windowTitle(), "Progress");
    EXPECT_EQ(progress.minimum(), 0);
    EXPECT_EQ(progress.maximum(), 1);  // 0 ... 0 behaves as 0 ... 1
    QRect screen = QGuiApplication::primaryScreen()->geometry();
    ProgressLayout l = progress_layout(screen.width(), screen.height());
    EXPECT_EQ(progress.geometry(), QRect(l.window.left, l.window.top, l.window.width(), 58));
    EXPECT_EQ(progress.findChild<QProgressBar*>("bar")->geometry(), QRect(4, 36, l.window.width() - 8, 14));
    EXPECT_EQ(progress.findChild<QLabel*>("text")->geometry(), QRect(4, 4, l.window.width() - 8, 28));
    EXPECT_TRUE(progress.isVisible());
    // A step moves the bar and runs no other window's events.
    bool other_ran = false;
    QTimer::singleShot(0, [&other_ran] { other_ran = true; });
    progress.step(1);
    EXPECT_EQ(progress.position(), 1);
    EXPECT_FALSE(other_ran);
    QTest::qWait(10);
    EXPECT_TRUE(other_ran);
}

TEST(BusyWindow, ShowsTheFramesOfTheAnimation) {
    BusyWindow& window = busy_window();
    {
        BusyScope outer;
        {
            BusyScope inner;  // nested: one animation
            EXPECT_EQ(busy_indicator().nesting(), 2);
        }
        EXPECT_TRUE(busy_indicator().animating());
        for (int i = 0; i < 100 && !window.isVisible(); ++i) QTest::qWait(5);
        EXPECT_TRUE(window.isVisible());
        EXPECT_EQ(window.frame(), 0);
        EXPECT_EQ(window.objectName(), "p_progress");
        EXPECT_EQ(window.size(), QSize(32, 24));
        QRect screen = QGuiApplication::primaryScreen()->geometry();
        EXPECT_EQ(window.pos(), QPoint(screen.width() / 2 - 16, screen.height() / 2 - 12));
    }
    EXPECT_FALSE(busy_indicator().animating());
    QTest::qWait(10);
    EXPECT_FALSE(window.isVisible());
}

}  // namespace
}  // namespace qelvio::browser::testing

namespace qelvio::shell {
namespace {

TEST(RecordKey, HeldKeyReachesOnlyTheClaimingWindow) {
    QWidget viewer, other;
    viewer.show();
    other.show();
    std::vector<bool> seen;
    record_key().claim(kRecordKeyId, &viewer, [&seen](bool down) { seen.push_back(down); });
    QTest::keyPress(&viewer, static_cast<Qt::Key>(kRecordKey));
    QKeyEvent repeat(QEvent::KeyPress, kRecordKey, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(&viewer, &repeat);  // auto-repeat: no new start
    QTest::keyRelease(&viewer, static_cast<Qt::Key>(kRecordKey));
    QTest::keyPress(&other, static_cast<Qt::Key>(kRecordKey));  // not the claiming window
    // The release is told once no repeat's press followed it.
    EXPECT_EQ(seen, (std::vector<bool>{true}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return seen.size() == 2; }));
    EXPECT_EQ(seen, (std::vector<bool>{true, false}));
    record_key().release(kRecordKeyId + 1, &viewer);  // another number: kept
    EXPECT_EQ(record_key().holder(), &viewer);
    record_key().release(kRecordKeyId, &viewer);
    EXPECT_EQ(record_key().holder(), nullptr);
    QTest::keyPress(&viewer, static_cast<Qt::Key>(kRecordKey));
    EXPECT_EQ(seen.size(), 2u);
}

// A held key's repeats that come unmarked, as a release and a press with
// the same time (X11 without detectable auto-repeat): the key stays down
// until a release without such a press. A release and a later press are
// two strokes.
TEST(RecordKey, UnmarkedRepeatsOfAHeldKeyAreNoStrokes) {
    QWidget viewer;
    viewer.show();
    std::vector<bool> seen;
    record_key().claim(kRecordKeyId, &viewer, [&seen](bool down) { seen.push_back(down); });
    auto send = [&viewer](QEvent::Type type, quint64 time) {
        QKeyEvent key(type, kRecordKey, Qt::NoModifier);
        key.setTimestamp(time);
        QApplication::sendEvent(&viewer, &key);
    };
    send(QEvent::KeyPress, 1000);
    for (quint64 time : {1660, 1700, 1740}) {
        send(QEvent::KeyRelease, time);
        send(QEvent::KeyPress, time);
    }
    QTest::qWait(RecordKey::kRepeatGraceMs + 50);
    EXPECT_EQ(seen, (std::vector<bool>{true}));
    send(QEvent::KeyRelease, 3000);
    EXPECT_TRUE(QTest::qWaitFor([&] { return seen.size() == 2; }));
    EXPECT_EQ(seen, (std::vector<bool>{true, false}));
    // Let go and pressed again at once: both strokes are told, in order.
    send(QEvent::KeyPress, 4000);
    send(QEvent::KeyRelease, 4100);
    send(QEvent::KeyPress, 4120);
    EXPECT_EQ(seen, (std::vector<bool>{true, false, true, false, true}));
    // A release waiting when the claim goes is nobody's.
    send(QEvent::KeyRelease, 5000);
    record_key().release(kRecordKeyId, &viewer);
    QTest::qWait(RecordKey::kRepeatGraceMs + 50);
    EXPECT_EQ(seen.size(), 5u);
}

}  // namespace
}  // namespace qelvio::shell

namespace qelvio::platform {
namespace {

// A most-recently-used list through a real editable combo box: saved, then
// loaded into a fresh one.
TEST(ComboList, MruListRoundTripThroughAComboBox) {
    QComboBox first;
    first.setEditable(true);
    ComboList list(first);
    for (const char* text : {"Ann", "Bob", "Cy"}) {
        first.setEditText(text);
        ASSERT_EQ(shell::save_list(list, shell::kFindFileName), 0);
    }
    first.setEditText("bob");  // differs in case from an entry: moves it up
    ASSERT_EQ(shell::save_list(list, shell::kFindFileName), 0);
    EXPECT_EQ(first.currentText(), "bob");
    QComboBox second;
    second.setEditable(true);
    second.setEditText("typed");
    ComboList loaded(second);
    shell::load_list(loaded, shell::kFindFileName);
    ASSERT_EQ(second.count(), 3);
    EXPECT_EQ(second.itemText(0), "bob");
    EXPECT_EQ(second.itemText(1), "Cy");
    EXPECT_EQ(second.itemText(2), "Ann");
    EXPECT_TRUE(second.updatesEnabled());
}

}  // namespace
}  // namespace qelvio::platform

namespace qelvio::platform {
namespace {

// The core's yes/no/cancel question as a message box: the string-table
// text, the question icon, and each button's answer.
TEST(MessageBoxQuestion, ButtonsGiveTheirAnswers) {
    MessageBoxQuestion question(nullptr);
    struct Case {
        QMessageBox::StandardButton button;
        int answer;
    };
    for (Case c : {Case{QMessageBox::Yes, kAnswerYes}, Case{QMessageBox::No, kAnswerNo},
                   Case{QMessageBox::Cancel, kAnswerCancel}}) {
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QTimer::singleShot(0, [&text, &icon, c] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            text = box->text();
            icon = box->icon();
            box->button(c.button)->click();
        });
        EXPECT_EQ(question.ask_yes_no_cancel(35068), c.answer);
        EXPECT_EQ(text, "Image files will now be opened with Qelvio.");
        EXPECT_EQ(icon, QMessageBox::Question);
    }
}

// A question about one image names it and, asked with Yes and No, offers no
// Cancel.
TEST(MessageBoxQuestion, NamesTheImageAndShowsOnlyTheButtonsAsked) {
    MessageBoxQuestion question(nullptr);
    QString text;
    bool has_cancel = true;
    QTimer::singleShot(0, [&text, &has_cancel] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        text = box->text();
        has_cancel = box->button(QMessageBox::Cancel) != nullptr;
        box->button(QMessageBox::No)->click();
    });
    EXPECT_EQ(question.ask(35033, u"dsc00012.jpg", kButtonsYesNo), kAnswerNo);
    EXPECT_TRUE(text.startsWith("The image 'dsc00012.jpg' cannot be sent")) << text.toStdString();
    EXPECT_FALSE(has_cancel);
}

}  // namespace
}  // namespace qelvio::platform
