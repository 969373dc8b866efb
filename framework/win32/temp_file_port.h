// TempFilePort: a file written beside its target that replaces the target only when
// the writer declares it complete; closed incomplete, it is deleted and the target
// is left as it was.
#pragma once

#include "framework/file_port.h"

#include <string>

class TempFilePort : public FilePort {
public:
    // Creates "<target>.tmp~" for writing; raises WindowsError when it cannot.
    explicit TempFilePort(const std::string& target);
    ~TempFilePort() override;

    // Closes the file and moves it over the target; raises WindowsError on failure
    // (the target then stays as it was).
    void Complete();

private:
    std::string target_;
    std::string temporary_;
    bool completed_ = false;
};
