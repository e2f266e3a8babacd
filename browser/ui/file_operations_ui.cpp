#include "browser/ui/file_operations_ui.h"

// Placeholder until the clipboard, delete, rename and drag land: every
// operation does nothing and Paste stays disabled.
namespace qelvio::browser {
namespace {

class NoFileOperations : public FileOperationsUi {
public:
    void cut(const std::vector<p_filenode*>&) override {}
    void copy(const std::vector<p_filenode*>&) override {}
    bool can_paste() const override { return false; }
    void paste(p_filenode*) override {}
    void delete_files(const std::vector<p_filenode*>&) override {}
    void rename(const std::vector<p_filenode*>&) override {}
    void drag(const std::vector<p_filenode*>&, QPoint) override {}
    void copy_or_move_into(p_filenode*, const std::vector<p_filenode*>&, bool) override {}
};

}  // namespace

std::unique_ptr<FileOperationsUi> make_file_operations_ui(QWidget*, FrameCalls&) {
    return std::make_unique<NoFileOperations>();
}

}  // namespace qelvio::browser
