#pragma once

namespace vorn {

// Set by the build from the project's version.
inline constexpr const char* kVersion = VORN_VERSION;
inline constexpr const char* kBuildDate = __DATE__;

} // namespace vorn
