// A fresh folder for one test, removed with everything in it at the end.
#pragma once

#include <string>

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return path_; }
    // Path() joined with a relative name by the platform's separator.
    std::string File(const std::string& name) const;

private:
    std::string path_;
};

// The whole content of a file as bytes ("" when it does not exist).
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
