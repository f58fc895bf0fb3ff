#include "tests/support/data_folder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace fs = std::filesystem;

DataFolder::DataFolder() {
    previous_ = fs::current_path().string();
    std::string pattern = (fs::temp_directory_path() / "marovant-data-XXXXXX").string();
    if (char* made = mkdtemp(pattern.data())) path_ = made;
    if (!path_.empty()) fs::current_path(path_);
}

DataFolder::~DataFolder() {
    std::error_code ec;
    fs::current_path(previous_, ec);
    if (!path_.empty()) fs::remove_all(path_, ec);
}

std::string DataFolder::Write(const std::string& relative,
                              const std::vector<uint8_t>& bytes) const {
    fs::path full = fs::path(path_) / relative;
    fs::create_directories(full.parent_path());
    std::ofstream out(full, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return full.string();
}

std::string DataFolder::Write(const std::string& relative, const std::string& text) const {
    return Write(relative, std::vector<uint8_t>(text.begin(), text.end()));
}

std::vector<uint8_t> DataFolder::Read(const std::string& relative) const {
    std::ifstream in(fs::path(path_) / relative, std::ios::binary);
    if (!in) return {};
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}
