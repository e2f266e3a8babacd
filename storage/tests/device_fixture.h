// A scratch folder that plays the device, with the application's store
// registry over it.
#pragma once

#include "qelvio/p_mcp.h"
#include "platform/device_root.h"
#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

class DeviceFixture : public ::testing::Test {
protected:
    void SetUp() override {
        root = std::filesystem::temp_directory_path() /
               ("qelvio-device-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(root);
        std::filesystem::create_directories(root);
        qelvio::platform::set_device_root(root.string());
        mcp = std::make_unique<p_mcp>();
    }

    void TearDown() override {
        mcp.reset();
        qelvio::platform::clear_fault_plan();
        qelvio::platform::set_device_root("");
        std::error_code ec;
        std::filesystem::permissions(root, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(root, ec);
    }

    // Writes a file under the device root (parents are created).
    void make_file(const std::string& relative, const std::string& content = "x") {
        auto path = root / relative;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << content;
    }
    void make_folder(const std::string& relative) { std::filesystem::create_directories(root / relative); }
    bool exists(const std::string& relative) const { return std::filesystem::exists(root / relative); }
    std::string read(const std::string& relative) const {
        std::ifstream in(root / relative, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // Names in the folder, sorted (to see leftovers such as temporary files).
    std::vector<std::string> listing(const std::string& relative = "") const {
        std::vector<std::string> names;
        for (auto& e : std::filesystem::directory_iterator(root / relative))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    // The node of a device path, resolved through the registry.
    p_filenode* node(const char16_t* device_path) {
        p_irl irl;
        irl.set(u"file", u"", device_path);
        p_filenode* found = nullptr;
        return mcp->openfile(irl, &found) == P_OK ? found : nullptr;
    }

    // Child names of a node, in child order.
    static std::vector<std::string> names(const p_filenode* n) {
        std::vector<std::string> out;
        for (const p_filenode* child : n->getchildren()) out.push_back(child->getname().utf8());
        return out;
    }

    std::filesystem::path root;
    std::unique_ptr<p_mcp> mcp;
};
