// qelvio-cli mail: sends images by e-mail into the message store's outbox
// (a Maildir), reduced as the e-mail dialog reduces them.
#include "app/cli/command.h"
#include "app/cli/image_session.h"
#include "app/cli/locate.h"

#include "resources/string_table.h"
#include "shell/dialog_settings.h"
#include "sharing/mail/mail_sender.h"
#include "sharing/mail/reduction.h"

#include <cstdio>
#include <iostream>

namespace qelvio::cli {
namespace {

constexpr const char* kUsage =
    "usage: qelvio-cli mail --to RECIPIENTS [--subject T] [--text T] [--reduce 0-5] "
    "[--answer ask|yes|no|cancel] FILE...\n";

std::string text_of(int id) { return text::to_utf8(resources::load_string(id)); }

// The questions: asked on the terminal, or answered by --answer.
class MailQuestion : public platform::UserQuestion {
public:
    explicit MailQuestion(int fixed) : answer(fixed) {}
    int ask_yes_no_cancel(int id) override { return ask(id, u"", platform::kButtonsYesNoCancel); }
    int ask(int id, std::u16string_view argument, int buttons) override {
        p_string message;
        message.format(resources::load_string(id), std::u16string(argument).c_str());
        std::fprintf(stderr, "%s\n", message.utf8().c_str());
        bool three = buttons == platform::kButtonsYesNoCancel;
        if (answer) {
            if (!three && answer == platform::kAnswerCancel) return platform::kAnswerNo;
            return answer;
        }
        for (;;) {
            std::fputs(three ? "[y]es [n]o [c]ancel: " : "[y]es [n]o: ", stderr);
            std::string line;
            if (!std::getline(std::cin, line)) return three ? platform::kAnswerCancel : platform::kAnswerNo;
            if (line == "y") return platform::kAnswerYes;
            if (line == "n") return platform::kAnswerNo;
            if (line == "c" && three) return platform::kAnswerCancel;
        }
    }

private:
    int answer;  // 0: ask
};

// One line per image on the terminal.
class TerminalProgress : public decoding::ProgressWindow {
public:
    void create(std::u16string_view text, int, int maximum) override {
        total = maximum;
        std::fprintf(stderr, "%s\n", text::to_utf8(text).c_str());
    }
    void step(int position) override { std::fprintf(stderr, "  %d/%d\n", position, total); }
    void close() override {}

private:
    int total = 0;
};

}  // namespace

int run_mail(const Args& args) {
    sharing::MailRequest request;
    request.subject = resources::load_string(35036);
    request.reduction = shell::load_dialog_setting(shell::kEmailResolution);
    int answer = 0;
    std::vector<std::string> files;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        bool has_value = i + 1 < args.size();
        if (a == "--to" && has_value) request.to = text::to_utf16(args[++i]);
        else if (a == "--subject" && has_value) request.subject = text::to_utf16(args[++i]);
        else if (a == "--text" && has_value) request.text = text::to_utf16(args[++i]);
        else if (a == "--reduce" && has_value) {
            const std::string& v = args[++i];
            if (v.size() != 1 || v[0] < '0' || v[0] >= '0' + sharing::kReductionCount) {
                std::fputs(kUsage, stderr);
                return 2;
            }
            request.reduction = v[0] - '0';
        } else if (a == "--answer" && has_value) {
            const std::string& v = args[++i];
            if (v == "yes") answer = platform::kAnswerYes;
            else if (v == "no") answer = platform::kAnswerNo;
            else if (v == "cancel") answer = platform::kAnswerCancel;
            else if (v != "ask") {
                std::fputs(kUsage, stderr);
                return 2;
            }
        } else if (a.rfind("--", 0) == 0) {
            std::fputs(kUsage, stderr);
            return 2;
        } else {
            files.push_back(a);
        }
    }
    if (files.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (request.to.find_first_not_of(u" ;,") == std::u16string::npos) {
        std::fprintf(stderr, "qelvio-cli mail: %s\n", text_of(35039).c_str());
        return 2;
    }
    if (request.reduction < 0 || request.reduction >= sharing::kReductionCount) request.reduction = 0;

    ImageSession session;
    for (const std::string& file : files) {
        p_filenode* node = locate(session.tree(), file, "mail");
        if (!node) return 1;
        if (node->isdirectory()) return report("mail", P_INVALID_LOCATION, file);
        p_irl locator;
        node->getirl(locator);
        request.images.push_back(locator);
    }
    sharing::MaildirStore store;
    MailQuestion question(answer);
    TerminalProgress progress;
    sharing::MailResult result = sharing::send_mail(request, store, session.cache(), question, &progress);
    for (const auto& name : result.left_out)
        std::fprintf(stderr, "qelvio-cli mail: left out: %s\n", text::to_utf8(name).c_str());
    if (result.message == 35029) {
        std::printf("%s\n%s/new/%s\n", text_of(35029).c_str(), store.outbox_path().c_str(),
                    store.last_delivered().c_str());
        return 0;
    }
    if (result.message) std::fprintf(stderr, "qelvio-cli mail: %s\n", text_of(result.message).c_str());
    return 1;
}

}  // namespace qelvio::cli
