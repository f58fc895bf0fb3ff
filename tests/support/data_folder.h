// A fresh temporary folder made the working folder for the life of the object, so that game
// file names (".\data\x") resolve inside it; the folder and its files go on destruction.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class DataFolder {
public:
    DataFolder();
    ~DataFolder();
    DataFolder(const DataFolder&) = delete;
    DataFolder& operator=(const DataFolder&) = delete;

    const std::string& path() const { return path_; }
    // Writes `bytes` to `relative` ("/" separated, folders made as needed); the full path.
    std::string Write(const std::string& relative, const std::vector<uint8_t>& bytes) const;
    std::string Write(const std::string& relative, const std::string& text) const;
    // The file's bytes; empty when it cannot be read.
    std::vector<uint8_t> Read(const std::string& relative) const;

private:
    std::string path_;
    std::string previous_;
};
