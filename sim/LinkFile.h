#pragma once

#include <filesystem>

namespace vorn::sim {

// A symbolic link that lives as long as this object. A symbolic link left at
// the same place by an earlier run is replaced; any other file is left alone
// and refused. The link is removed at the end only while it still points
// where we made it point.
class LinkFile {
public:
    LinkFile(std::filesystem::path link, std::filesystem::path target); // throws
    ~LinkFile();
    LinkFile(const LinkFile&) = delete;
    LinkFile& operator=(const LinkFile&) = delete;

    const std::filesystem::path& path() const { return link_; }

private:
    std::filesystem::path link_;
    std::filesystem::path target_;
};

} // namespace vorn::sim
