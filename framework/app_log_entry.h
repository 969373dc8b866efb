// One record of an application log as a display shows it.
#pragma once

#include <string>

struct AppLogEntry {
    int category = 0;
    std::string text; // the decorated line, without line end
};
