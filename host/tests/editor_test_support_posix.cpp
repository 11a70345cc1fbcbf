// Natively there is no window system to read images with or to act on.
#include "editor_test_support.h"

bool readPngFile(const std::string&, PngImage&, std::string& error) {
    error = "no PNG reader in this build";
    return false;
}

bool clickThenClose(const std::string&, int, int) {
    return false;
}
