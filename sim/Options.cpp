#include "sim/Options.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace vorn::sim {
namespace {

using Setter = std::string (*)(Options&, std::string_view);

struct OptionRule {
    std::string_view name;
    bool takesValue;
    Setter set; // returns an error text, empty when the value was taken
};

template <typename Number> std::optional<Number> wholeNumber(std::string_view text) {
    Number value{};
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc{} || stop != end)
        return std::nullopt;
    return value;
}

std::string setScenario(Options& o, std::string_view v) {
    const auto scenario = scenarioFromName(v);
    if (!scenario)
        return "unknown scenario '" + std::string(v) + "' (see --help)";
    o.unit.scenario = *scenario;
    return {};
}

std::string setWheels(Options& o, std::string_view v) {
    const auto n = wholeNumber<int>(v);
    if (!n || (*n != 4 && *n != 6))
        return "--wheels takes 4 or 6, not '" + std::string(v) + "'";
    o.unit.wheels = *n;
    return {};
}

std::string setSeed(Options& o, std::string_view v) {
    const auto n = wholeNumber<std::uint64_t>(v);
    if (!n)
        return "--seed takes a whole number from 0, not '" + std::string(v) + "'";
    o.unit.seed = *n;
    return {};
}

std::string setRate(Options& o, std::string_view v) {
    const auto n = wholeNumber<int>(v);
    if (!n || *n < 0 || *n >= static_cast<int>(kRatePeriods.size()))
        return "--rate takes a digit from 0 to 7, not '" + std::string(v) + "'";
    o.unit.rate = *n;
    return {};
}

std::string setLink(Options& o, std::string_view v) {
    if (v.empty() || v == "." || v == ".." || v.find('/') != std::string_view::npos)
        return "--link takes a plain file name, not '" + std::string(v) + "'";
    o.linkName = v;
    return {};
}

std::string setFolder(Options& o, std::string_view v) {
    if (v.empty())
        return "--folder takes a folder name";
    o.folder = v;
    return {};
}

std::string setShort(Options& o, std::string_view) {
    o.unit.shortForm = true;
    return {};
}

std::string setVerbose(Options& o, std::string_view) {
    o.verbose = true;
    return {};
}

std::string setHelp(Options& o, std::string_view) {
    o.help = true;
    return {};
}

std::string setVersion(Options& o, std::string_view) {
    o.version = true;
    return {};
}

constexpr std::array<OptionRule, 10> kOptions{{
    {"--scenario", true, setScenario},
    {"--wheels", true, setWheels},
    {"--seed", true, setSeed},
    {"--rate", true, setRate},
    {"--short", false, setShort},
    {"--link", true, setLink},
    {"--folder", true, setFolder},
    {"--verbose", false, setVerbose},
    {"--help", false, setHelp},
    {"--version", false, setVersion},
}};

} // namespace

ParsedOptions parseOptions(std::span<const std::string_view> args) {
    Options options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view name = args[i] == "-h" ? "--help" : args[i];
        std::optional<std::string_view> value;
        if (const auto eq = name.find('=');
            name.starts_with("--") && eq != std::string_view::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        const auto* rule = std::find_if(kOptions.begin(), kOptions.end(),
                                        [name](const OptionRule& s) { return s.name == name; });
        if (rule == kOptions.end())
            return {std::nullopt, "unknown option '" + std::string(args[i]) + "'"};
        if (rule->takesValue && !value) {
            if (i + 1 == args.size())
                return {std::nullopt, std::string(name) + " needs a value"};
            value = args[++i];
        }
        if (!rule->takesValue && value)
            return {std::nullopt, std::string(name) + " takes no value"};
        if (std::string error = rule->set(options, value.value_or("")); !error.empty())
            return {std::nullopt, error};
    }
    return {options, {}};
}

std::string usageText() {
    std::string scenarios;
    for (const ScenarioName& entry : kScenarioNames) {
        std::string name(entry.name);
        name.resize(14, ' ');
        scenarios += "      " + name + std::string(entry.what) + "\n";
    }
    return "Usage: vorn-unit-sim [options]\n"
           "Plays a tyre-pressure monitor unit on a pseudo-terminal, reachable through a\n"
           "symbolic link (COM1 in the current folder unless told otherwise). Ctrl-C or\n"
           "SIGTERM ends it and removes the link.\n"
           "\n"
           "  --scenario NAME     what happens on the unit (default steady):\n" +
           scenarios +
           "  --wheels N          4 or 6 wheels (default 4)\n"
           "  --seed N            seed of the unit's randomness (default 1); the same seed\n"
           "                      and the same commands give the same readings\n"
           "  --rate D            report period of each wheel, 0 to 7: 42 ms, 84, 168, 336,\n"
           "                      672 ms, 1.3, 2.6, 5.2 s (default 0); never faster than a\n"
           "                      third of the line allows; the command IST changes it\n"
           "  --short             wheels 0 to 3 report in the 9-character short form\n"
           "  --link NAME         name of the link to the pseudo-terminal (default COM1)\n"
           "  --folder DIR        folder in which the link is made (default .)\n"
           "  --verbose           print every byte sent and received\n"
           "  -h, --help          print this text and end\n"
           "  --version           print the version and end\n";
}

std::string versionText() {
    return std::string("vorn-unit-sim ") + VORN_VERSION + "\n";
}

} // namespace vorn::sim
