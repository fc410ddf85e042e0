#include "sim/LinkFile.h"

#include <stdexcept>
#include <system_error>

namespace vorn::sim {

namespace fs = std::filesystem;

LinkFile::LinkFile(fs::path link, fs::path target)
    : link_(std::move(link)), target_(std::move(target)) {
    const fs::file_status existing = fs::symlink_status(link_);
    if (fs::is_symlink(existing))
        fs::remove(link_);
    else if (fs::exists(existing))
        throw std::runtime_error(link_.string() + " exists and is not a symbolic link");
    fs::create_symlink(target_, link_);
}

LinkFile::~LinkFile() {
    std::error_code error;
    if (fs::read_symlink(link_, error) == target_ && !error)
        fs::remove(link_, error);
}

} // namespace vorn::sim
